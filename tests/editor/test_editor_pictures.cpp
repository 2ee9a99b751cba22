#include "editor_fixture.h"

#include "editor/imagepicker.h"
#include "render/pictures/imagecache.h"
#include "render/renderer.h"
#include "support/hostilepictures.h"
#include "support/testpictures.h"

#include <QFile>
#include <QRegularExpression>

using namespace LWTestPictures;

#include <malloc.h>

namespace {

// The element alone, drawn at 10 pixels per point.
QImage drawn(const LWElement &e)
{
    const LWRect f = e.frame.standardized();
    return *LWRenderer::bitmap(int(f.w * 10), int(f.h * 10), true, [&](QPainter &p) {
        p.scale(10, 10);
        p.translate(-f.x, -f.y);
        LWRenderer::draw(e, p);
    });
}

QByteArray png(int w, int h) { return encode(plain(w, h, Qt::gray), "png"); }

// A BMP whose header gives a width of 0: the reader takes it but reports no size.
QByteArray noWidthBmp()
{
    QByteArray bmp = encode(plain(10, 10, Qt::gray), "bmp");
    qToLittleEndian<qint32>(0, bmp.data() + 18);
    return bmp;
}

LWElement frame(const LWRect &r, bool locked = false)
{
    LWElement e = LWElement::makePhoto(r);
    e.locked = locked;
    return e;
}

} // namespace

TEST_F(EditorTest, NewPicturesArePrintSizedShrunkToThePageAndCentred)
{
    const struct {
        const char *name;
        QByteArray bytes;
        std::optional<QPointF> at;
        LWRect frame;
    } cases[] = {
        {"photo shrinks to 68 %", encode(plain(3000, 2400, Qt::gray), "jpeg", 20), {}, {61.2, 200.16, 489.6, 391.68}},
        {"logo at natural size", png(600, 300), {}, {234, 360, 144, 72}},
        {"logo on the drop point, off the page", png(600, 300), QPointF(600, 10), {528, -26, 144, 72}},
        {"EXIF orientation 6 is turned", turnedQuarter(encode(plain(4000, 3000, Qt::gray), "jpeg", 20)), {},
         {68.4, 79.2, 475.2, 633.6}},
        {"top-down BMP: 10 x 1000 px", topDownBmp(10, 10), {}, {304.8, 276, 2.4, 240}},
        {"BMP of no width: 1000 x 1000 px", noWidthBmp(), {}, {186, 276, 240, 240}},
        {"HEIC turned in its container", heic(twoTone(64, 48), heif_orientation_rotate_90_cw), {},
         {300.24, 388.32, 11.52, 15.36}},
    };
    const qint64 decodes = LWImageCache::stats().decodes;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto ed = make(letter());
        ASSERT_TRUE(ed->placeImage(c.bytes, c.at));
        ASSERT_EQ(ed->elements().size(), 1);
        const LWElement &e = ed->elements().first();
        EXPECT_EQ(e.kind, LWElementKind::image);
        EXPECT_EQ(e.name, QStringLiteral("Picture"));
        for (const auto &[got, want] : {std::pair{e.frame.x, c.frame.x}, {e.frame.y, c.frame.y},
                                        {e.frame.w, c.frame.w}, {e.frame.h, c.frame.h}})
            EXPECT_NEAR(got, want, 1e-9);
        ASSERT_TRUE(e.image);
        EXPECT_EQ(e.image->data, c.bytes);
        EXPECT_EQ(e.image->mask, LWMask::none);
        EXPECT_FALSE(e.image->assetID.isEmpty());
        EXPECT_FALSE(ed->message());
        EXPECT_EQ(ed->selection(), QList<QUuid>{e.id});
        EXPECT_EQ(ed->undoStack().size(), 1);
    }
    EXPECT_EQ(LWImageCache::stats().decodes, decodes); // properties only, never pixels

    // Turned a quarter clockwise in its container, a HEIC is drawn upright: its left (red) half on top.
    auto ed = make(letter());
    ASSERT_TRUE(ed->placeImage(heic(twoTone(64, 48), heif_orientation_rotate_90_cw)));
    const QImage img = drawn(ed->elements().last());
    EXPECT_TRUE(reddish(img.pixel(img.width() / 2, 10)));
    EXPECT_TRUE(bluish(img.pixel(img.width() / 2, img.height() - 10)));
}

TEST_F(EditorTest, SelectedFrameTakesThePictureKeepingItsShape)
{
    LWElement shaped = LWElement::makePhoto(LWRect(100, 120, 200, 150), LWMask::ellipse);
    shaped.image->fit = LWImageFit::fit;
    shaped.image->cropL = shaped.image->cropT = shaped.image->cropR = shaped.image->cropB = 0.1;
    auto ed = make(letter({shaped}), {shaped.id});

    const QByteArray red = encode(plain(40, 30, Qt::red), "png"), blue = encode(plain(40, 30, Qt::blue), "png");
    ASSERT_TRUE(ed->placeImage(red, QPointF(500, 700)));
    const LWElement filled = *ed->element(shaped.id);
    LWElement expected = shaped;
    expected.image->cropL = expected.image->cropT = expected.image->cropR = expected.image->cropB = 0;
    expected.image->data = red;
    expected.image->assetID = filled.image->assetID;
    EXPECT_EQ(filled, expected); // frame, fit and mask kept, crops gone
    EXPECT_NE(filled.image->assetID, shaped.image->assetID);
    EXPECT_EQ(ed->elements().size(), 1);
    EXPECT_EQ(ed->selection(), QList<QUuid>{shaped.id});

    // A second picture gets its own asset id, so the cache cannot serve the first one.
    ASSERT_TRUE(ed->placeImage(blue));
    EXPECT_NE(ed->element(shaped.id)->image->assetID, filled.image->assetID);
    EXPECT_TRUE(bluish(drawn(*ed->element(shaped.id)).pixel(1000, 750)));
    EXPECT_EQ(ed->undoStack().size(), 2);
    ed->undo();
    EXPECT_EQ(*ed->element(shaped.id), filled);
}

TEST_F(EditorTest, DropsFillTheTopUnlockedFrameUnderThePoint)
{
    // Front to back at (50, 50): a locked frame over an open one; at (350, 50) a locked frame
    // over a shape; a text box elsewhere.
    const LWElement open = frame({0, 0, 100, 100}), shape(LWElementKind::shape, "x", {300, 0, 100, 100}),
                    text(LWElementKind::text, "t", {300, 500, 100, 40});
    const LWDocument doc = letter({open, shape, frame({0, 0, 100, 100}, true), frame({300, 0, 100, 100}, true), text});
    const struct {
        QList<QUuid> selection;
        QPointF at;
        std::optional<QUuid> filled; // none: a new picture centred on the point
    } cases[] = {
        {{}, {50, 50}, open.id},          // locked frame skipped, open one below
        {{}, {350, 50}, std::nullopt},    // locked frame over a shape
        {{text.id}, {50, 50}, open.id},   // text box selected, drop on a frame
        {{text.id}, {200, 300}, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        auto ed = make(doc, c.selection);
        ASSERT_TRUE(ed->placeImage(png(100, 100), c.at));
        EXPECT_EQ(ed->undoStack().size(), 1);
        const LWElement &target = c.filled ? *ed->element(*c.filled) : ed->elements().last();
        EXPECT_EQ(ed->elements().size(), doc.pages[0].elements.size() + (c.filled ? 0 : 1));
        EXPECT_TRUE(target.image->data);
        if (!c.filled) {
            EXPECT_EQ(target.frame.center(), c.at);
        }
        EXPECT_EQ(ed->selection(), QList<QUuid>{target.id});
        EXPECT_EQ(*ed->element(shape.id), shape);
    }
}

TEST_F(EditorTest, PlacedFilesAreBoundedAndMissingOnesSilent)
{
    // The loading thread's work and the main thread's placing, run here one after the other.
    const auto placeFile = [](LWEditor &editor, const QString &file) {
        return LWImagePicker::place(editor, LWImagePicker::loadFile(file), editor.pictureTarget());
    };
    // A real JPEG header followed by zeros, grown sparsely to the limit.
    const QString path = dir.filePath(QStringLiteral("big.jpg"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(encode(plain(600, 300, Qt::gray), "jpeg"));
        ASSERT_TRUE(f.resize(LWImagePicker::maxFileSize));
    }
    auto ed = make(letter());
    EXPECT_TRUE(placeFile(*ed, path));
    EXPECT_EQ(ed->elements().last().image->data->size(), LWImagePicker::maxFileSize);

    ASSERT_TRUE(QFile::resize(path, LWImagePicker::maxFileSize + 1));
    for (const auto &[file, message] : {std::pair{path, std::optional(LWEditor::unreadablePictureMessage)},
                                        {dir.filePath(QStringLiteral("gone.jpg")), std::nullopt}}) {
        ed = make(letter());
        EXPECT_FALSE(placeFile(*ed, file));
        EXPECT_EQ(ed->message(), message);
        EXPECT_FALSE(ed->canUndo());
    }

    // 150 MB of zeros: refused from its head, before anything the size of the file is reserved.
    const QString zeros = dir.filePath(QStringLiteral("zeros.png"));
    {
        QFile f(zeros);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(150 << 20));
    }
    ed = make(letter());
    const auto heap = [] { return mallinfo2().uordblks + mallinfo2().hblkhd; };
    const size_t before = heap();
    size_t peak = before;
    QObject::connect(ed.get(), &LWEditor::messageChanged, [&] { peak = std::max(peak, heap()); });
    EXPECT_FALSE(placeFile(*ed, zeros));
    EXPECT_EQ(ed->message(), LWEditor::unreadablePictureMessage);
    EXPECT_LT(std::max(peak, heap()) - before, size_t(1) << 20);
}

TEST(ImagePicker, FilterTakesPictureNamesInEitherCase)
{
    const QStringList patterns = LWImagePicker::patterns();
    const auto taken = [&](const char *name) {
        return std::any_of(patterns.cbegin(), patterns.cend(), [&](const QString &p) {
            return QRegularExpression::fromWildcard(p, Qt::CaseSensitive).match(QString::fromLatin1(name)).hasMatch();
        });
    };
    for (const char *name : {"IMG_1.HEIC", "scan.TIF", "photo.heif", "logo.png", "shot.JPG", "pic.webp", "a.gif", "b.BMP", "c.avif", "D.AVIF"})
        EXPECT_TRUE(taken(name)) << name;
    for (const char *name : {"notes.txt", "logo.svg", "logo.SVGZ", "flyer.pdf", "icon.ico", "scan.ppm", "cursor.xpm"})
        EXPECT_FALSE(taken(name)) << name;
    EXPECT_TRUE(LWImagePicker::nameFilter().contains(QStringLiteral("*.heic *.HEIC")));
    EXPECT_FALSE(LWImagePicker::nameFilter().contains(QStringLiteral("svg"), Qt::CaseInsensitive));

    // The drop's type check.
    for (const char *type :
         {"image/png", "image/JPEG", "image/heic", "image/tiff", "image/webp", "image/gif", "image/bmp", "image/avif"})
        EXPECT_TRUE(LWImagePicker::readsType(QString::fromLatin1(type))) << type;
    for (const char *type : {"image/svg+xml", "image/svg+xml-compressed", "application/pdf", "image/x-icon", "text/plain"})
        EXPECT_FALSE(LWImagePicker::readsType(QString::fromLatin1(type))) << type;
}

TEST_F(EditorTest, ChosenFilesArePlacedOnlyInTheFormatsTheProgramTakes)
{
    // Whatever their names say, only the bytes' own format counts; the others get the message.
    const QImage img = LWTestPictures::twoTone(60, 30);
    const QString secret = dir.filePath(QStringLiteral("secret.png"));
    QFile(secret).open(QIODevice::WriteOnly);
    const QByteArray svg = LWHostilePictures::svgNaming(QUrl::fromLocalFile(secret).toString());
    const struct {
        const char *name;
        QByteArray bytes;
        bool placed;
    } cases[] = {
        {"a.jpg", encode(img, "jpeg"), true},
        {"a.png", encode(img, "png"), true},
        {"a.heic", heic(img), true},
        {"a 4:4:4 .heic", heic(img, heif_orientation_normal, 8, heif_compression_HEVC, "444"), true},
        {"a.avif", heic(img, heif_orientation_normal, 8, heif_compression_AV1), true},
        {"a.tif", encode(img, "tiff"), true},
        {"a.webp", encode(img, "webp"), true},
        {"a.gif", twoToneGif(60, 30), true},
        {"a.bmp", encode(img, "bmp"), true},
        {"a TIFF named .png", encode(img, "tiff"), true},
        {"logo.svg", svg, false},
        {"logo.svgz", LWHostilePictures::gzipBomb(svg, ' ', 0, {}), false},
        {"an SVG named .png", svg, false},
        {"flyer.pdf", QByteArray("%PDF-1.4\n%%EOF\n"), false},
        {"icon.ico", encode(img, "ico"), false},
        {"scan.ppm", encode(img, "ppm"), false},
        {"cursor.xpm", encode(img, "xpm"), false},
    };
    ASSERT_EQ(storedChroma(cases[3].bytes), heif_chroma_444);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(c.bytes) == c.bytes.size());
        f.close();
        auto ed = make(letter());
        EXPECT_EQ(LWImagePicker::place(*ed, LWImagePicker::loadFile(path), ed->pictureTarget()), c.placed);
        EXPECT_EQ(ed->elements().size(), c.placed ? 1 : 0);
        EXPECT_EQ(ed->message(), c.placed ? std::nullopt : std::optional(LWEditor::unreadablePictureMessage));
        if (c.placed) { // 60 x 30 pixels at 300 DPI, drawn with their own colours: red, then blue
            EXPECT_NEAR(ed->elements()[0].frame.w, 14.4, 1e-9);
            EXPECT_NEAR(ed->elements()[0].frame.h, 7.2, 1e-9);
            const QImage shown = drawn(ed->elements()[0]);
            EXPECT_TRUE(reddish(shown.pixel(shown.width() / 4, shown.height() / 2)));
            EXPECT_TRUE(bluish(shown.pixel(shown.width() * 3 / 4, shown.height() / 2)));
        }
    }
}
