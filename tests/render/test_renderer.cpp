#include "render/renderer.h"

#include "model/geometry.h"
#include "render/text/fonts.h"
#include "render/icons/icons.h"

#include <QBuffer>
#include <QImageWriter>
#include <QThread>
#include <gtest/gtest.h>
#include <cmath>

namespace {

LWDocument card(const LWFill &background = LWFill::solid(LWColor::white))
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    doc.pages[0].background = background;
    return doc;
}

// Renders one element on a transparent 1 px-per-point canvas of the given size.
QImage render(const LWElement &e, int w = 300, int h = 200)
{
    return *LWRenderer::bitmap(w, h, false, [&](QPainter &p) { LWRenderer::draw(e, p); });
}

QColor at(const QImage &img, double x, double y) { return img.pixelColor(int(x), int(y)); }

bool near(const QColor &c, const LWColor &want, int tol = 3)
{
    const QColor w = want.qcolor();
    return std::abs(c.red() - w.red()) <= tol && std::abs(c.green() - w.green()) <= tol &&
           std::abs(c.blue() - w.blue()) <= tol && std::abs(c.alpha() - w.alpha()) <= tol;
}

QByteArray png(int w, int h, const std::function<void(QImage &)> &paint)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    paint(img);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QImageWriter(&buf, "png").write(img);
    return bytes;
}

LWElement photo(const LWRect &frame, const QByteArray &bytes, LWImageFit fit)
{
    LWElement e = LWElement::makePhoto(frame);
    e.image->data = bytes;
    e.image->fit = fit;
    e.image->assetID = QUuid::createUuid().toString();
    return e;
}

const LWColor red = LWColor::hex(0xFF0000), blue = LWColor::hex(0x0000FF);

} // namespace

TEST(RendererBitmap, SizesAndRefusals)
{
    LWDocument doc = card();
    auto withBleed = LWRenderer::bitmap(doc, 0, LWRenderer::DPI{300}, true);
    auto trimOnly = LWRenderer::bitmap(doc, 0, LWRenderer::DPI{300}, false);
    ASSERT_TRUE(withBleed && trimOnly);
    EXPECT_EQ(withBleed->size(), QSize(1125, 675));
    EXPECT_EQ(trimOnly->size(), QSize(1050, 600));
    EXPECT_FALSE(LWRenderer::bitmap(doc, 0, 0.001, false));          // rounds to 0 px
    EXPECT_FALSE(LWRenderer::bitmap(doc, 2, 1.0, false)); // a card has pages 0 and 1 only
    EXPECT_FALSE(LWRenderer::bitmap(doc, -1, 1.0, false));
    EXPECT_FALSE(LWRenderer::bitmap(doc, 0, std::nan(""), false));
    EXPECT_FALSE(LWRenderer::bitmap(doc, 0, LWRenderer::DPI{1e6}, false)); // over the pixel cap
    doc.width = INFINITY;
    EXPECT_FALSE(LWRenderer::bitmap(doc, 0, 1.0, false));
    EXPECT_FALSE(LWRenderer::bitmap(0, 10, true, {}));

    LWDocument poster = LWDocument::blank(LWSizePreset::tabloid, std::nullopt);
    auto big = LWRenderer::bitmap(poster, 0, LWRenderer::DPI{600}, true);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->size(), QSize(6750, 10350));
}

TEST(RendererBitmap, InvisibleBackgroundStaysTransparent)
{
    for (const LWFill &bg : {LWFill::none(), LWFill::solid(LWColor::clear)}) {
        auto img = LWRenderer::bitmap(card(bg), 0, 1.0, true, false);
        ASSERT_TRUE(img);
        EXPECT_EQ(at(*img, 50, 50).alpha(), 0);
    }
    auto img = LWRenderer::bitmap(card(LWFill::solid(red)), 0, 1.0, true, false);
    EXPECT_TRUE(near(at(*img, 1, 1), red)); // the background covers the bleed too
}

TEST(RendererShapes, StrokesDashesAndLines)
{
    // A horizontal dashed line, 4 on and 2.8 off, with flat caps for a path that is not a line.
    LWElement rect = LWElement::makeShape(LWShapeKind::rectangle, {10, 50, 280, 100}, LWFill::none(),
                                          LWStroke(LWColor::black, 2, 4));
    const QImage img = render(rect);
    // Scan the top edge (y = 50): on/off runs starting at x = 10.
    std::vector<int> runs;
    bool on = true;
    int len = 0;
    for (int x = 10; x < 60; ++x) {
        const bool ink = img.pixelColor(x, 50).alpha() > 127;
        if (ink == on) {
            ++len;
        } else {
            runs.push_back(len);
            on = ink;
            len = 1;
        }
    }
    ASSERT_GE(runs.size(), 4u);
    EXPECT_NEAR(runs[0], 4, 1);
    EXPECT_NEAR(runs[1], 2.8, 1);
    EXPECT_NEAR(runs[2], 4, 1);

    // A line is never filled and draws nothing without a stroke; its stroke has round caps.
    LWElement line = LWElement::makeLine({20, 100}, {200, 100}, LWStroke(blue, 10));
    line.fill = LWFill::solid(red);
    const QImage li = render(line);
    EXPECT_TRUE(near(at(li, 100, 100), blue));
    EXPECT_GT(at(li, 16, 100).alpha(), 200); // round cap reaches past the end point
    EXPECT_EQ(at(li, 100, 90).alpha(), 0);
    line.stroke->width = 0;
    const QImage none = render(line);
    EXPECT_EQ(none.pixelColor(100, 100).alpha(), 0);
}

TEST(RendererFills, GradientGeometry)
{
    // Angle 90 on 200 x 100 runs from the top edge to the bottom edge.
    LWElement e = LWElement::makeShape(LWShapeKind::rectangle, {0, 0, 200, 100}, LWFill::linear(red, blue, 90),
                                       std::nullopt);
    QImage img = render(e, 200, 100);
    EXPECT_TRUE(near(at(img, 100, 0), red, 8));
    EXPECT_TRUE(near(at(img, 100, 99), blue, 8));
    EXPECT_TRUE(near(at(img, 0, 50), red.mix(blue, 0.5), 8));
    EXPECT_EQ(at(img, 0, 30), at(img, 199, 30)); // no change along a row

    // 45 degrees on a square runs corner to corner.
    e.frame = {0, 0, 100, 100};
    e.fill.angle = 45;
    img = render(e, 100, 100);
    EXPECT_TRUE(near(at(img, 0, 0), red, 8));
    EXPECT_TRUE(near(at(img, 99, 99), blue, 8));
    EXPECT_TRUE(near(at(img, 99, 0), red.mix(blue, 0.5), 8));

    // Radial: colour2 from 62 pt out on a 100 x 100 frame; the corners are plain colour2.
    e.fill = LWFill::radial(red, blue);
    img = render(e, 100, 100);
    EXPECT_TRUE(near(at(img, 50, 50), red, 8));
    EXPECT_TRUE(near(at(img, 1, 1), blue, 3));
    EXPECT_TRUE(near(at(img, 50 + 31, 50), red.mix(blue, 0.5), 10));
}

TEST(RendererFills, IconGradientSpansItsOutline)
{
    LWElement icon = LWElement::makeIcon(QStringLiteral("phone"), {0, 0, 300, 100}, LWFill::linear(red, blue, 0));
    const QImage img = render(icon, 300, 100);
    const QRectF box = LWIcons::path(*icon.icon, icon.frame)->boundingRect();
    // The first and last ink columns of the outline carry the two end colours.
    auto inkColumn = [&](bool fromLeft) {
        for (int i = 0; i < 300; ++i) {
            const int x = fromLeft ? i : 299 - i;
            for (int y = 0; y < 100; ++y)
                if (img.pixelColor(x, y).alpha() == 255)
                    return img.pixelColor(x, y);
        }
        return QColor();
    };
    EXPECT_GT(box.left(), 90); // the icon is centred in the wide frame
    EXPECT_TRUE(near(inkColumn(true), red, 25));
    EXPECT_TRUE(near(inkColumn(false), blue, 25));
}

TEST(RendererPictures, CropFillFitPlaceholderAndStroke)
{
    // A square picture, left half red and right half blue.
    const QByteArray square = png(100, 100, [](QImage &img) {
        QPainter p(&img);
        p.fillRect(0, 0, 50, 100, Qt::red);
        p.fillRect(50, 0, 50, 100, Qt::blue);
    });
    QImage img = render(photo({0, 0, 200, 100}, square, LWImageFit::fill), 200, 100);
    // Drawn 200 x 200 centred: the red/blue boundary sits at x = 100.
    EXPECT_TRUE(near(at(img, 98, 50), red, 10));
    EXPECT_TRUE(near(at(img, 102, 50), blue, 10));
    img = render(photo({0, 0, 200, 100}, square, LWImageFit::fit), 200, 100);
    EXPECT_EQ(at(img, 49, 50).alpha(), 0); // 50-point bands stay empty
    EXPECT_TRUE(near(at(img, 52, 50), red, 10));
    EXPECT_TRUE(near(at(img, 148, 50), blue, 10));
    EXPECT_EQ(at(img, 151, 50).alpha(), 0);

    // Crops of 0.1 on 1000 x 800 take (100, 80, 800, 640): mark that rectangle's corner pixels.
    const QByteArray marked = png(1000, 800, [](QImage &img) {
        QPainter p(&img);
        p.fillRect(0, 0, 1000, 800, Qt::black);
        p.fillRect(100, 80, 800, 640, Qt::green);
    });
    LWElement cropped = photo({0, 0, 200, 160}, marked, LWImageFit::fill);
    cropped.image->cropL = cropped.image->cropT = cropped.image->cropR = cropped.image->cropB = 0.1;
    img = render(cropped, 200, 160);
    EXPECT_TRUE(near(at(img, 1, 1), LWColor::hex(0x00FF00), 10));
    EXPECT_TRUE(near(at(img, 198, 158), LWColor::hex(0x00FF00), 10));

    // Without data: the placeholder, clipped to the mask, under the stroke.
    LWElement empty = LWElement::makePhoto({0, 0, 200, 100}, LWMask::ellipse);
    empty.stroke = LWStroke(red, 4);
    img = render(empty, 200, 100);
    EXPECT_EQ(at(img, 2, 2).alpha(), 0);                            // outside the ellipse
    EXPECT_TRUE(near(at(img, 100, 95), LWColor::hex(0x4E7D66), 6)); // front hill
    EXPECT_TRUE(near(at(img, 100, 1), red, 10));                    // stroke over the top
    // Without a picture record: nothing at all.
    empty.image.reset();
    img = render(empty, 200, 100);
    EXPECT_EQ(at(img, 100, 1).alpha(), 0);
    EXPECT_EQ(at(img, 100, 50).alpha(), 0);
}

TEST(RendererOpacity, GroupsFadeAsOneImage)
{
    LWElement a = LWElement::makeShape(LWShapeKind::rectangle, {0, 0, 120, 100}, LWFill::solid(LWColor::black), std::nullopt);
    LWElement b = LWElement::makeShape(LWShapeKind::rectangle, {80, 0, 120, 100}, LWFill::solid(LWColor::black), std::nullopt);
    LWElement group(LWElement::Kind::group, QStringLiteral("Group"), {0, 0, 200, 100});
    group.children = QList<LWElement>{a, b};
    group.opacity = 0.5;
    QImage img = render(group, 200, 100);
    EXPECT_NEAR(at(img, 40, 50).alpha(), 128, 3);
    EXPECT_NEAR(at(img, 100, 50).alpha(), 128, 3); // the overlap is no darker

    // A rectangle with fill and stroke at half opacity: the stroke does not show the fill through.
    LWElement r = LWElement::makeShape(LWShapeKind::rectangle, {20, 20, 100, 60}, LWFill::solid(red),
                                       LWStroke(blue, 10));
    r.opacity = 0.5;
    img = render(r, 200, 100);
    const QColor edge = at(img, 20, 50);
    EXPECT_NEAR(edge.alpha(), 128, 3);
    EXPECT_LT(edge.red(), 20);

    // A half-transparent picture that does not decode fades its placeholder as one image: the
    // hills do not show the sky through.
    LWElement broken = photo({0, 0, 200, 100}, QByteArrayLiteral("not a picture"), LWImageFit::fill);
    broken.stroke.reset();
    broken.opacity = 0.5;
    img = render(broken, 200, 100);
    EXPECT_NEAR(at(img, 100, 5).alpha(), 128, 3);  // sky alone
    EXPECT_NEAR(at(img, 100, 95).alpha(), 128, 3); // front hill over the sky and the other hills

    // Opacity 0 hides, also inside a group; above 1 draws at full strength.
    group.opacity = 1;
    (*group.children)[0].opacity = 0;
    img = render(group, 200, 100);
    EXPECT_EQ(at(img, 40, 50).alpha(), 0);
    (*group.children)[0].opacity = 1.5;
    img = render(group, 200, 100);
    EXPECT_EQ(at(img, 40, 50).alpha(), 255);
}

TEST(RendererVisibility, HiddenSkippedAndGroupRotation)
{
    LWElement a = LWElement::makeShape(LWShapeKind::rectangle, {0, 0, 50, 50}, LWFill::solid(red), std::nullopt);
    LWElement b = LWElement::makeShape(LWShapeKind::rectangle, {100, 0, 50, 50}, LWFill::solid(blue), std::nullopt);
    LWElement group(LWElement::Kind::group, QStringLiteral("Group"), {0, 0, 150, 50});
    group.children = QList<LWElement>{a, b};
    group.rotation = 90; // never applied to a group
    QImage img = render(group, 200, 100);
    EXPECT_TRUE(near(at(img, 25, 25), red));
    EXPECT_TRUE(near(at(img, 125, 25), blue));

    group.hidden = true;
    img = render(group, 200, 100);
    EXPECT_EQ(at(img, 25, 25).alpha(), 0);
    group.hidden = false;
    LWRenderOptions skipChild;
    skipChild.skip.insert(a.id);
    img = *LWRenderer::bitmap(200, 100, false, [&](QPainter &p) { LWRenderer::draw(group, p, skipChild); });
    EXPECT_EQ(at(img, 25, 25).alpha(), 0);
    EXPECT_TRUE(near(at(img, 125, 25), blue));
    LWRenderOptions skipGroup;
    skipGroup.skip.insert(group.id);
    img = *LWRenderer::bitmap(200, 100, false, [&](QPainter &p) { LWRenderer::draw(group, p, skipGroup); });
    EXPECT_EQ(at(img, 125, 25).alpha(), 0);
}

TEST(RendererThreads, WorkerAndMainThreadDrawAlike)
{
    LWDocument doc = card(LWFill::linear(red, blue, 30));
    doc.pages[0].elements.append(LWElement::makeShape(LWShapeKind::star, {20, 20, 100, 100}, LWFill::radial(LWColor::white, red),
                                                      LWStroke(LWColor::black, 2, 3)));
    doc.pages[0].elements.append(LWElement::makeIcon(QStringLiteral("globe"), {150, 20, 80, 80}, LWFill::solid(LWColor::black)));
    LWText words(QStringLiteral("Thumbnails draw text too"), QStringLiteral("AbrilFatface-Regular"), 14, LWColor::black, 20);
    doc.pages[0].elements.append(LWElement::makeText(words, {20, 110, 220, 30}));
    words.fontName = QStringLiteral("AvenirNext-Regular");
    LWElement faded = LWElement::makeText(words, {20, 125, 220, 20});
    faded.opacity = 0.5;
    doc.pages[0].elements.append(faded);
    LWFonts::registerBundled();
    std::optional<QImage> there;
    std::unique_ptr<QThread> worker(QThread::create([&] { there = LWRenderer::bitmap(doc, 0, 2.0, true); }));
    worker->start();
    const auto here = LWRenderer::bitmap(doc, 0, 2.0, true);
    worker->wait();
    ASSERT_TRUE(here && there);
    EXPECT_EQ(*here, *there);
}
