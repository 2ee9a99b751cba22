#include "pdfprobe.h"

#include "model/document.h"
#include "render/export.h"
#include "render/text/fonts.h"
#include "render/pdf/pdffile.h"
#include "render/sheet.h"

#include <gtest/gtest.h>

// Half-transparent elements whose parts overlap go into PDF transparency groups: the overlap is
// no darker, text stays text and nothing is turned into a picture.
namespace {

LWDocument cardWithGroups()
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Groups"));
    auto black = LWFill::solid(LWColor::black);
    LWElement a = LWElement::makeShape(LWShapeKind::rectangle, {20, 20, 120, 60}, black, std::nullopt);
    LWElement b = LWElement::makeShape(LWShapeKind::rectangle, {100, 20, 120, 60}, black, std::nullopt);
    LWElement group(LWElement::Kind::group, QStringLiteral("Pair"), {20, 20, 200, 60});
    group.children = QList<LWElement>{a, b};
    group.opacity = 0.5;
    doc.pages[0].elements.append(group);
    LWText t(QStringLiteral("Groups stay text"), QStringLiteral("Arvo"), 12, LWColor::black);
    t.underline = true;
    LWElement text = LWElement::makeText(t, {20, 100, 200, 20});
    text.opacity = 0.5;
    doc.pages[0].elements.append(text);
    // Drawn after the groups: must land on the same page, fully opaque.
    doc.pages[0].elements.append(
        LWElement::makeShape(LWShapeKind::rectangle, {230, 20, 10, 10}, LWFill::solid(LWColor::hex(0xFF0000)), std::nullopt));
    doc.pages[1].elements.append(
        LWElement::makeShape(LWShapeKind::rectangle, {0, 0, 50, 50}, LWFill::solid(LWColor::hex(0x0000FF)), std::nullopt));
    return doc;
}

int grey(QRgb c) { return qGray(c); }

} // namespace

class ExportGroups : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
};

TEST_F(ExportGroups, OverlapsStayEvenAndTextStaysText)
{
    const LWDocument doc = cardWithGroups();
    const auto pdf = LWExport::pdfData(doc, {0, 1}, true);
    ASSERT_TRUE(pdf);
    const auto boxes = pdfprobe::boxes(*pdf);
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_TRUE(pdfprobe::near(boxes[0].trim, QRectF(9, 9, 252, 144)));
    EXPECT_EQ(pdfprobe::imageCount(*pdf), 0);
    EXPECT_TRUE(pdfprobe::text(*pdf).contains(QStringLiteral("Groups stay text")));
    // The text sits in a nested form, yet the page itself still lists its font.
    EXPECT_GE(LWPdfFile::fontResourceCount(*pdf, 0).value_or(-1), 1);

    // 1 px per point; the page starts at the bleed edge, 9 pt before the trim.
    const QImage img = pdfprobe::poppler(*pdf, 1, 72);
    ASSERT_FALSE(img.isNull());
    const int single = grey(img.pixel(9 + 60, 9 + 50)), overlap = grey(img.pixel(9 + 120, 9 + 50));
    EXPECT_NEAR(single, 128, 12);
    EXPECT_NEAR(overlap, single, 4);
    EXPECT_EQ(QColor(img.pixel(9 + 235, 9 + 25)), QColor(Qt::red));
    const QImage back = pdfprobe::poppler(*pdf, 2, 72);
    EXPECT_EQ(QColor(back.pixel(9 + 25, 9 + 25)), QColor(Qt::blue));

    // A second reader agrees.
    const QImage qt = pdfprobe::qtpdf(*pdf, 0, QSize(270, 162));
    EXPECT_NEAR(grey(qt.pixel(9 + 120, 9 + 50)), grey(qt.pixel(9 + 60, 9 + 50)), 4);
}

TEST_F(ExportGroups, SheetCardsKeepTheirGroupsInsideTheirSlots)
{
    const LWDocument doc = cardWithGroups();
    const auto layout = LWExport::SheetLayout::make(doc);
    ASSERT_TRUE(layout);
    const auto pdf = LWExport::sheetPDF(doc, {0});
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdfprobe::boxes(*pdf).size(), 1);
    EXPECT_EQ(pdfprobe::imageCount(*pdf), 0);
    const QImage img = pdfprobe::poppler(*pdf, 1, 72);
    for (int i = 0; i < layout->count(); ++i) {
        const QRectF slot = layout->slot(i % layout->cols, i / layout->cols, false);
        const QPointF single = slot.topLeft() + QPointF(60, 50), overlap = slot.topLeft() + QPointF(120, 50);
        EXPECT_NEAR(grey(img.pixel(single.toPoint())), 128, 12) << "card " << i;
        EXPECT_NEAR(grey(img.pixel(overlap.toPoint())), grey(img.pixel(single.toPoint())), 4) << "card " << i;
    }
}
