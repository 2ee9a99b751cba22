#include "editor_fixture.h"

#include "editor/imagepicker.h"
#include "render/imagecache.h"
#include "render/renderer.h"
#include "support/testpictures.h"

#include <QFile>
#include <QRegularExpression>

using namespace LWTestPictures;

namespace {

LWDocument letter() { return LWDocument::blank(LWSizePreset::letter, std::nullopt); }

void expectFrame(const LWRect &got, const LWRect &want)
{
    EXPECT_NEAR(got.x, want.x, 1e-9);
    EXPECT_NEAR(got.y, want.y, 1e-9);
    EXPECT_NEAR(got.w, want.w, 1e-9);
    EXPECT_NEAR(got.h, want.h, 1e-9);
}

const LWElement &named(const LWEditor &ed, const QUuid &id)
{
    return *std::find_if(ed.elements().cbegin(), ed.elements().cend(), [&](const LWElement &e) { return e.id == id; });
}

// The element alone, drawn at `ppp` pixels per point.
QImage drawn(const LWElement &e, double ppp)
{
    const LWRect f = e.frame.standardized();
    return *LWRenderer::bitmap(int(f.w * ppp), int(f.h * ppp), true, [&](QPainter &p) {
        p.scale(ppp, ppp);
        p.translate(-f.x, -f.y);
        LWRenderer::draw(e, p);
    });
}

QByteArray png(int w, int h, QColor c = Qt::gray) { return encode(plain(w, h, c), "png"); }

// An image element on top of the front page, locked or not.
QUuid addFrame(LWDocument &doc, const LWRect &r, bool locked = false)
{
    LWElement e = LWElement::makePhoto(r);
    e.locked = locked;
    doc.pages[0].elements.append(e);
    return e.id;
}

QUuid addShape(LWDocument &doc, const LWRect &r, LWElementKind kind = LWElementKind::shape, bool locked = false)
{
    LWElement e(kind, QStringLiteral("x"), r);
    e.locked = locked;
    doc.pages[0].elements.append(e);
    return e.id;
}

} // namespace

TEST_F(EditorTest, NewPicturesArePrintSizedShrunkToThePageAndCentred)
{
    struct Case {
        const char *name;
        QByteArray bytes;
        std::optional<QPointF> at;
        LWRect frame;
    };
    const Case cases[] = {
        {"photo shrinks to 68 %", encode(plain(3000, 2400, Qt::gray), "jpeg", 20), {}, {61.2, 200.16, 489.6, 391.68}},
        {"logo at natural size", png(600, 300), {}, {234, 360, 144, 72}},
        {"logo on the drop point, off the page", png(600, 300), QPointF(600, 10), {528, -26, 144, 72}},
        {"EXIF orientation 6 is turned", turnedQuarter(encode(plain(4000, 3000, Qt::gray), "jpeg", 20)), {},
         {68.4, 79.2, 475.2, 633.6}},
        {"top-down BMP: 10 x 1000 px", topDownBmp(10, 10), {}, {304.8, 276, 2.4, 240}},
        {"PPM of no width: 1000 x 1000 px", QByteArray("P6\n0 10\n255\n"), {}, {186, 276, 240, 240}},
        {"TIFF tagged a quarter turn", encode(twoTone(40, 30), "tiff", -1, QImageIOHandler::TransformationRotate90), {},
         {302.4, 391.2, 7.2, 9.6}},
        {"WebP", encode(twoTone(20, 10), "webp"), {}, {303.6, 394.8, 4.8, 2.4}},
        {"HEIC", heic(twoTone(64, 48)), {}, {298.32, 390.24, 15.36, 11.52}},
        {"HEIC turned in its container", heic(twoTone(64, 48), heif_orientation_rotate_90_cw), {},
         {300.24, 388.32, 11.52, 15.36}},
    };
    const qint64 decodes = LWImageCache::stats().decodes;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto ed = make(letter());
        ASSERT_TRUE(ed->placeImage(c.bytes, c.at));
        ASSERT_EQ(ed->elements().size(), 1);
        const LWElement &e = ed->elements().first();
        EXPECT_EQ(e.kind, LWElementKind::image);
        EXPECT_EQ(e.name, QStringLiteral("Picture"));
        expectFrame(e.frame, c.frame);
        ASSERT_TRUE(e.image);
        EXPECT_EQ(e.image->data, c.bytes);
        EXPECT_EQ(e.image->fit, LWImageFit::fill);
        EXPECT_EQ(e.image->mask, LWMask::none);
        EXPECT_FALSE(e.image->assetID.isEmpty());
        EXPECT_EQ(ed->selection(), QList<QUuid>{e.id});
        EXPECT_EQ(ed->undoStack().size(), 1);
        EXPECT_FALSE(ed->message());
    }
    EXPECT_EQ(LWImageCache::stats().decodes, decodes); // properties only, never pixels
}

TEST_F(EditorTest, UnreadableBytesSetTheMessageAndChangeNothing)
{
    LWDocument doc = letter();
    const QUuid frame = addFrame(doc, LWRect(10, 10, 100, 100));
    auto ed = make(doc);
    ed->setSelection({frame});
    EXPECT_FALSE(ed->placeImage(QByteArray("Dear customer,\nthank you for your order.\n")));
    EXPECT_EQ(ed->message(), QStringLiteral(
        "That file isn't a picture VELK Leafwrighter can read (use JPEG, PNG, HEIC or TIFF)."));
    EXPECT_EQ(ed->doc(), doc);
    EXPECT_EQ(ed->undoStack().size(), 0);
    EXPECT_FALSE(ed->dirty());
}

TEST_F(EditorTest, SelectedFrameTakesThePictureKeepingItsShape)
{
    LWDocument doc = letter();
    LWElement frame = LWElement::makePhoto(LWRect(100, 120, 200, 150), LWMask::ellipse);
    frame.image->fit = LWImageFit::fit;
    frame.image->cropL = frame.image->cropT = frame.image->cropR = frame.image->cropB = 0.1;
    doc.pages[0].elements.append(frame);
    auto ed = make(doc);
    ed->setSelection({frame.id});

    const QByteArray red = png(40, 30, Qt::red), blue = png(40, 30, Qt::blue);
    ASSERT_TRUE(ed->placeImage(red, QPointF(500, 700)));
    const LWElement filled = named(*ed, frame.id);
    EXPECT_EQ(filled.frame, frame.frame);
    EXPECT_EQ(filled.image->fit, LWImageFit::fit);
    EXPECT_EQ(filled.image->mask, LWMask::ellipse);
    EXPECT_EQ(filled.image->cropL + filled.image->cropT + filled.image->cropR + filled.image->cropB, 0);
    EXPECT_EQ(filled.image->data, red);
    EXPECT_NE(filled.image->assetID, frame.image->assetID);
    EXPECT_EQ(ed->elements().size(), 1);
    EXPECT_EQ(ed->selection(), QList<QUuid>{frame.id});
    EXPECT_TRUE(reddish(drawn(filled, 1).pixel(100, 75)));

    // A second picture gets its own asset id, so the cache cannot serve the first one.
    ASSERT_TRUE(ed->placeImage(blue));
    const LWElement refilled = named(*ed, frame.id);
    EXPECT_NE(refilled.image->assetID, filled.image->assetID);
    EXPECT_TRUE(bluish(drawn(refilled, 1).pixel(100, 75)));
    EXPECT_EQ(ed->undoStack().size(), 2);

    ed->undo();
    EXPECT_EQ(named(*ed, frame.id), filled);
}

TEST_F(EditorTest, LockedPictureRefusesSilently)
{
    LWDocument doc = letter();
    const QUuid locked = addFrame(doc, LWRect(10, 10, 100, 100), true);
    auto ed = make(doc);
    ed->setSelection({locked});
    EXPECT_FALSE(ed->placeImage(png(10, 10)));
    EXPECT_EQ(ed->doc(), doc);
    EXPECT_EQ(ed->undoStack().size(), 0);
    EXPECT_FALSE(ed->message());
}

TEST_F(EditorTest, DropsFillTheTopUnlockedFrameUnderThePoint)
{
    // Front to back at (50, 50): a locked frame over an open one; at (350, 50) a locked frame
    // over a shape; a text box elsewhere.
    LWDocument doc = letter();
    const QUuid open = addFrame(doc, LWRect(0, 0, 100, 100));
    const QUuid shape = addShape(doc, LWRect(300, 0, 100, 100));
    addFrame(doc, LWRect(0, 0, 100, 100), true);
    addFrame(doc, LWRect(300, 0, 100, 100), true);
    const QUuid text = addShape(doc, LWRect(300, 500, 100, 40), LWElementKind::text);

    struct Case {
        const char *name;
        QList<QUuid> selection;
        QPointF at;
        std::optional<QUuid> filled; // none: a new picture centred on the point
    };
    const Case cases[] = {
        {"locked frame skipped, open one below", {}, {50, 50}, open},
        {"locked frame over a shape", {}, {350, 50}, std::nullopt},
        {"text box selected, drop on a frame", {text}, {50, 50}, open},
        {"text box selected, drop on the empty page", {text}, {200, 300}, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto ed = make(doc);
        ed->setSelection(c.selection);
        ASSERT_TRUE(ed->placeImage(png(100, 100), c.at));
        EXPECT_EQ(ed->undoStack().size(), 1);
        if (c.filled) {
            EXPECT_EQ(ed->elements().size(), doc.pages[0].elements.size());
            EXPECT_TRUE(named(*ed, *c.filled).image->data);
            EXPECT_EQ(ed->selection(), QList<QUuid>{*c.filled});
        } else {
            ASSERT_EQ(ed->elements().size(), doc.pages[0].elements.size() + 1);
            const LWElement &added = ed->elements().last();
            EXPECT_EQ(added.frame.center(), c.at);
            EXPECT_EQ(ed->selection(), QList<QUuid>{added.id});
        }
        EXPECT_EQ(named(*ed, shape), named(*make(doc), shape));
        ed->undo();
        EXPECT_EQ(ed->doc().pages, doc.pages);
        EXPECT_EQ(ed->selection(), c.selection);
    }
}

TEST_F(EditorTest, HeicIsDrawnUpright)
{
    auto ed = make(letter());
    ASSERT_TRUE(ed->placeImage(heic(twoTone(64, 48))));
    QImage img = drawn(ed->elements().last(), 10);
    EXPECT_TRUE(reddish(img.pixel(10, img.height() / 2)));
    EXPECT_TRUE(bluish(img.pixel(img.width() - 10, img.height() / 2)));

    // Turned a quarter clockwise in its container: the left (red) half is on top.
    ed->setSelection({});
    ASSERT_TRUE(ed->placeImage(heic(twoTone(64, 48), heif_orientation_rotate_90_cw)));
    img = drawn(ed->elements().last(), 10);
    EXPECT_LT(img.width(), img.height());
    EXPECT_TRUE(reddish(img.pixel(img.width() / 2, 10)));
    EXPECT_TRUE(bluish(img.pixel(img.width() / 2, img.height() - 10)));
}

TEST_F(EditorTest, PlacedFilesAreBoundedAndMissingOnesSilent)
{
    // A real JPEG header followed by zeros, grown sparsely to the limit.
    const QString path = dir.filePath(QStringLiteral("big.jpg"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(encode(plain(600, 300, Qt::gray), "jpeg"));
        ASSERT_TRUE(f.resize(LWImagePicker::maxFileSize));
    }
    auto ed = make(letter());
    EXPECT_TRUE(LWImagePicker::placeFile(*ed, path));
    EXPECT_EQ(ed->elements().last().image->data->size(), LWImagePicker::maxFileSize);
    EXPECT_EQ(ed->elements().last().frame.width(), 144);

    ed = make(letter());
    ASSERT_TRUE(QFile::resize(path, LWImagePicker::maxFileSize + 1));
    EXPECT_FALSE(LWImagePicker::placeFile(*ed, path));
    EXPECT_EQ(ed->message(), LWEditor::unreadablePictureMessage);
    EXPECT_EQ(ed->undoStack().size(), 0);

    ed = make(letter());
    EXPECT_FALSE(LWImagePicker::placeFile(*ed, dir.filePath(QStringLiteral("gone.jpg"))));
    EXPECT_FALSE(ed->message());
    EXPECT_EQ(ed->undoStack().size(), 0);
}

TEST(ImagePicker, FilterTakesPictureNamesInEitherCase)
{
    const QStringList patterns = LWImagePicker::patterns();
    const auto taken = [&](const QString &name) {
        return std::any_of(patterns.cbegin(), patterns.cend(), [&](const QString &p) {
            return QRegularExpression::fromWildcard(p, Qt::CaseSensitive).match(name).hasMatch();
        });
    };
    for (const char *name : {"IMG_1.HEIC", "scan.TIF", "photo.heif", "logo.png", "shot.JPG", "pic.webp"})
        EXPECT_TRUE(taken(QString::fromLatin1(name))) << name;
    EXPECT_FALSE(taken(QStringLiteral("notes.txt")));
    EXPECT_TRUE(LWImagePicker::nameFilter().contains(QStringLiteral("*.heic *.HEIC")));
}
