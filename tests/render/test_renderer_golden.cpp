#include "render/text/fonts.h"
#include "render/renderer.h"

#include "support/samplepages.h"

#include <QDir>
#include <gtest/gtest.h>

// Whole pages compared with reference images that were made by this renderer once and checked
// by eye. LW_UPDATE_GOLDEN=1 rewrites them; on a mismatch the actual image is written beside
// the test binary for a look.
namespace {

QByteArray samplePhoto() { return LWSamplePages::encoded(LWSamplePages::landscape(640, 480)); }

LWDocument cardWithEveryKind()
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Golden card"));
    LWPage &page = doc.pages[0];
    page.background = LWFill::linear(LWColor::hex(0xFBF7EF), LWColor::hex(0xE4EEF4), 120);
    auto &els = page.elements;
    els.append(LWElement::makeShape(LWShapeKind::rectangle, {-9, -9, 100, 162}, LWFill::solid(LWColor::hex(0x24425E)),
                                    std::nullopt));
    els.append(LWElement::makeShape(LWShapeKind::ellipse, {14, 14, 60, 60}, LWFill::radial(LWColor::hex(0xFFD27A), LWColor::hex(0xE0703A)),
                                    LWStroke(LWColor::white, 2)));
    els.append(LWElement::makeShape(LWShapeKind::triangle, {20, 86, 24, 20}, LWFill::solid(LWColor::hex(0xF2C14E)), std::nullopt));
    LWElement poly = LWElement::makeShape(LWShapeKind::polygon, {50, 86, 24, 22}, LWFill::solid(LWColor::hex(0x8FC1A9)), std::nullopt);
    poly.sides = 6;
    els.append(poly);
    LWElement star = LWElement::makeShape(LWShapeKind::star, {20, 112, 24, 24}, LWFill::solid(LWColor::white), std::nullopt);
    star.sides = 5;
    els.append(star);
    els.append(LWElement::makePath({{0, 1}, {0.5, 0}, {1, 1}, {0.5, 0.6}}, {50, 112, 26, 24},
                                   LWFill::solid(LWColor::hex(0xE27D60)), true, std::nullopt));
    els.append(LWElement::makeLine({100, 70}, {240, 70}, LWStroke(LWColor::hex(0x24425E), 1.5, 4)));

    LWText name(QStringLiteral("Avery Lindqvist"), QStringLiteral("AbrilFatface-Regular"), 17, LWColor::hex(0x24425E));
    els.append(LWElement::makeText(name, {100, 22, 144, 26}));
    LWText role(QStringLiteral("studio potter"), QStringLiteral("AvenirNext-Regular"), 8, LWColor::hex(0x6B7B8C), 200);
    role.uppercase = true;
    els.append(LWElement::makeText(role, {100, 50, 144, 14}));
    LWText contact(QStringLiteral("hello@lindqvist.example\n+1 555 0142"), QStringLiteral("Arvo"), 7.5,
                   LWColor::hex(0x24425E), 0, 1.3, LWTextAlign::right);
    contact.underline = true;
    els.append(LWElement::makeText(contact, {150, 80, 94, 30}));

    LWElement pic = LWElement::makePhoto({104, 84, 40, 44}, LWMask::hexagon);
    pic.image->data = samplePhoto();
    pic.image->assetID = QStringLiteral("golden-photo");
    pic.stroke = LWStroke(LWColor::white, 1.5);
    els.append(pic);
    els.append(LWElement::makePhoto({200, 112, 40, 26}, LWMask::rounded, 6));
    LWElement icon = LWElement::makeIcon(QStringLiteral("leaf"), {222, 6, 24, 24},
                                         LWFill::linear(LWColor::hex(0x8FC1A9), LWColor::hex(0x24425E), 45));
    els.append(icon);

    LWElement a = LWElement::makeShape(LWShapeKind::ellipse, {160, 116, 22, 22}, LWFill::solid(LWColor::hex(0xE27D60)), std::nullopt);
    LWElement b = LWElement::makeShape(LWShapeKind::ellipse, {172, 116, 22, 22}, LWFill::solid(LWColor::hex(0xE27D60)), std::nullopt);
    LWElement group(LWElement::Kind::group, QStringLiteral("Dots"), {160, 116, 34, 22});
    group.children = QList<LWElement>{a, b};
    group.opacity = 0.6;
    els.append(group);
    LWElement turned = LWElement::makeShape(LWShapeKind::rectangle, {226, 128, 16, 16}, LWFill::solid(LWColor::hex(0xF2C14E)),
                                            std::nullopt, 3);
    turned.rotation = 30;
    els.append(turned);
    return doc;
}

LWDocument flyer()
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Golden flyer"));
    LWPage &page = doc.pages[0];
    page.background = LWFill::solid(LWColor::hex(0xF7F3EA));
    auto &els = page.elements;
    LWSamplePages::appendMasthead(els, samplePhoto(), QStringLiteral("golden-photo"), 0.1);
    LWText body(QStringLiteral("Fresh bread, local honey, handmade soap and seasonal vegetables from farms within "
                               "twenty miles. Live music from noon, and warm cider by the fountain.\nSaturday 10 – 4"),
                QStringLiteral("Arvo"), 14, LWColor::hex(0x333333), 0, 1.25, LWTextAlign::justified);
    els.append(LWElement::makeText(body, {54, 360, 504, 160}));
    LWSamplePages::appendSign(els, 560, 120, LWFill::none());
    return doc;
}

void compareWithGolden(const QImage &actual, const QString &name)
{
    const QString dir = qEnvironmentVariable("LW_TEST_DATA") + QStringLiteral("/golden");
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (qEnvironmentVariable("LW_UPDATE_GOLDEN") == QLatin1String("1")) {
        QDir().mkpath(dir);
        ASSERT_TRUE(actual.save(path));
        return;
    }
    const QImage golden = QImage(path).convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(golden.isNull()) << "missing " << path.toStdString();
    const QImage img = actual.convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(img.size(), golden.size());
    qint64 total = 0, off = 0;
    for (int y = 0; y < img.height(); ++y) {
        const QRgb *a = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        const QRgb *g = reinterpret_cast<const QRgb *>(golden.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int d = std::max({std::abs(qRed(a[x]) - qRed(g[x])), std::abs(qGreen(a[x]) - qGreen(g[x])),
                                    std::abs(qBlue(a[x]) - qBlue(g[x])), std::abs(qAlpha(a[x]) - qAlpha(g[x]))});
            total += d;
            off += d > 40;
        }
    }
    const double pixels = double(img.width()) * img.height();
    const bool ok = total / pixels < 1.0 && off / pixels < 0.003;
    if (!ok)
        actual.save(name + QStringLiteral("-actual.png"));
    EXPECT_TRUE(ok) << name.toStdString() << ": mean difference " << total / pixels << ", pixels off " << off;
}

} // namespace

class RendererGolden : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
};

TEST_F(RendererGolden, CardFrontWithEveryKind)
{
    const auto img = LWRenderer::bitmap(cardWithEveryKind(), 0, 3.0, true);
    ASSERT_TRUE(img);
    compareWithGolden(*img, QStringLiteral("card-front"));
}

TEST_F(RendererGolden, LetterFlyer)
{
    const auto img = LWRenderer::bitmap(flyer(), 0, 1.0, false);
    ASSERT_TRUE(img);
    compareWithGolden(*img, QStringLiteral("flyer"));
}
