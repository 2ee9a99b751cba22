#include "render/sheet.h"

#include "model/document.h"
#include "render/export.h"
#include "render/text/fonts.h"
#include "render/pdfprobe.h"

#include <QPainter>
#include <gtest/gtest.h>

using LWExport::SheetLayout;

namespace {

LWDocument cardOfSize(double w, double h, LWDocKind kind = LWDocKind::businessCard)
{
    return LWDocument::blank(kind, QStringLiteral("custom"), w, h, 9, QStringLiteral("Harbour Bakery"));
}

// A front with a yellow background, a red corner square and a blue bar reaching into the left
// bleed; a back alike in green. Only the bleed part of the bar lies outside the card.
LWDocument markedCard()
{
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Harbour Bakery"));
    const LWColor bg[2] = {LWColor(1, 0.9, 0.2), LWColor(0.3, 0.8, 0.3)};
    for (int i = 0; i < 2; ++i) {
        doc.pages[i].background = LWFill::solid(bg[i]);
        doc.pages[i].elements.append(LWElement::makeShape(LWShapeKind::rectangle, LWRect(0, 0, 30, 30),
                                                          LWFill::solid(LWColor(1, 0, 0)), std::nullopt));
        doc.pages[i].elements.append(LWElement::makeShape(LWShapeKind::rectangle, LWRect(-9, 40, 21, 60),
                                                          LWFill::solid(LWColor(0, 0, 1)), std::nullopt));
    }
    return doc;
}

bool isRed(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}
bool isBlue(QRgb c)
{
    return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60;
}

} // namespace

TEST(Sheet, UsCardGoesTenUpOnLetter)
{
    const std::optional<SheetLayout> l = SheetLayout::make(cardOfSize(252, 144));
    ASSERT_TRUE(l);
    EXPECT_EQ(l->paperName, "Letter");
    EXPECT_EQ(l->cols, 2);
    EXPECT_EQ(l->rows, 5);
    EXPECT_EQ(l->origin, QPointF(54, 36));
    EXPECT_EQ(l->count(), 10);
    EXPECT_EQ(l->grid(), QRectF(54, 36, 504, 720));
    EXPECT_EQ(l->cutXs(), (QList<double>{54, 306, 558}));
    EXPECT_EQ(l->cutYs(), (QList<double>{36, 180, 324, 468, 612, 756}));

    const QList<QLineF> marks = l->marks();
    ASSERT_EQ(marks.size(), 18);
    EXPECT_EQ(marks[0], QLineF(54, 13.5, 54, 31.5));
    EXPECT_EQ(marks[1], QLineF(54, 760.5, 54, 778.5));
    EXPECT_EQ(marks[6], QLineF(31.5, 36, 49.5, 36));

    EXPECT_EQ(l->slot(0, 0, false), QRectF(54, 36, 252, 144));
    EXPECT_EQ(l->slot(0, 0, true), QRectF(306, 36, 252, 144));
    EXPECT_EQ(l->slot(1, 4, true), QRectF(54, 612, 252, 144));
}

TEST(Sheet, PaperAndOrientationFollowTheOrderOfTrial)
{
    std::optional<SheetLayout> l = SheetLayout::make(cardOfSize(144, 252));
    ASSERT_TRUE(l);
    EXPECT_EQ(l->paperName, "Letter (landscape)");
    EXPECT_EQ(l->cols, 5);
    EXPECT_EQ(l->rows, 2);
    EXPECT_EQ(l->origin, QPointF(36, 54));

    const LWDocument eu = LWDocument::blank(LWSizePreset::euCard, std::nullopt);
    l = SheetLayout::make(eu);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->paperName, "A4");
    EXPECT_NEAR(l->origin.x(), 56.693, 0.001);
    EXPECT_NEAR(l->origin.y(), 31.181, 0.001);

    // A margin of exactly 28.5 fits; a hundredth more card does not fit anywhere.
    l = SheetLayout::make(cardOfSize(277.5, 144));
    ASSERT_TRUE(l);
    EXPECT_EQ(l->paperName, "Letter");
    EXPECT_EQ(l->origin, QPointF(28.5, 36));
    EXPECT_FALSE(SheetLayout::make(cardOfSize(277.51, 144)));

    // Only real business cards get a sheet.
    EXPECT_FALSE(SheetLayout::make(LWDocument::blank(LWSizePreset::letter, std::nullopt)));
    EXPECT_FALSE(SheetLayout::make(cardOfSize(252, 144, LWDocKind::custom)));
    EXPECT_FALSE(LWExport::sheetPDF(cardOfSize(252, 144, LWDocKind::flyer), {0}));
    // A card without size (or a negative one) would "fit" every paper.
    for (auto [w, h] : {std::pair(-252.0, 144.0), std::pair(252.0, qQNaN())})
        EXPECT_FALSE(SheetLayout::make(cardOfSize(w, h))) << w << " " << h;
}

TEST(Sheet, BitmapPlacesEveryCopyInItsSlotAndMarksBlackInTheMargin)
{
    LWFonts::registerBundled();
    const LWDocument doc = markedCard();
    for (int side : {0, 1}) {
        SCOPED_TRACE(side);
        const std::optional<LWExport::SheetBitmap> sheet = LWExport::sheetBitmap(doc, side, 300);
        ASSERT_TRUE(sheet);
        const QImage &img = sheet->image;
        ASSERT_EQ(img.size(), QSize(2550, 3300));
        const SheetLayout &l = sheet->layout;
        const double s = 300.0 / 72;
        auto at = [&](double x, double y) { return img.pixel(int(x * s), int(y * s)); };
        const QRgb bg = side == 0 ? qRgb(255, 230, 51) : qRgb(77, 204, 77);
        for (int row = 0; row < l.rows; ++row) {
            for (int col = 0; col < l.cols; ++col) {
                const QRectF slot = l.slot(col, row, side > 0);
                EXPECT_TRUE(isRed(at(slot.left() + 5, slot.top() + 5))) << col << "," << row;
                EXPECT_TRUE(isBlue(at(slot.left() + 5, slot.top() + 70)));
                // The bar's bleed part is clipped: it neither reaches the margin nor the card to the left.
                const QRgb left = at(slot.left() - 4, slot.top() + 70);
                EXPECT_FALSE(isBlue(left)) << col << "," << row;
                EXPECT_NEAR(qGreen(at(slot.right() - 20, slot.bottom() - 20)), qGreen(bg), 3);
            }
        }
        // Margin: white except the marks and the caption.
        EXPECT_EQ(at(l.grid().left() - 10, l.grid().top() + 70), qRgb(255, 255, 255));
        for (const QLineF &m : l.marks())
            EXPECT_TRUE(pdfprobe::isBlack(img.pixel(int(m.center().x() * s), int(m.center().y() * s))));
        // No mark runs across the cards: the middle cut line inside the grid shows the card.
        EXPECT_FALSE(pdfprobe::isBlack(at(306, 150)));
        EXPECT_FALSE(pdfprobe::isBlack(at(100, 180)));
    }
    EXPECT_FALSE(LWExport::sheetBitmap(doc, 2, 300));
}

// 0.5 pt wide, butt caps: a square cap would reach 0.25 pt past each end.
TEST(Sheet, MarksAreHalfPointBlackWithButtCaps)
{
    const LWDocument doc = markedCard();
    const std::optional<SheetLayout> l = SheetLayout::make(doc);
    ASSERT_TRUE(l);
    const double s = 40; // pixels per point around the first mark, (54, 13.5) -> (54, 31.5)
    QImage img(int(4 * s), int(22 * s), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.scale(s, s);
        p.translate(-52, -11.5); // the image shows x 52...56, y 11.5...33.5
        LWExport::drawSheet(doc, 0, *l, p);
    }
    auto at = [&](double x, double y) { return img.pixel(int((x - 52) * s), int((y - 11.5) * s)); };
    EXPECT_TRUE(pdfprobe::isBlack(at(54, 20)));
    EXPECT_TRUE(pdfprobe::isBlack(at(54.2, 20)));
    EXPECT_TRUE(pdfprobe::isWhite(at(54.3, 20)));
    EXPECT_TRUE(pdfprobe::isBlack(at(54, 31.45)));
    EXPECT_TRUE(pdfprobe::isWhite(at(54, 31.6)));
}

TEST(Sheet, PdfHasOnePaperPagePerSideWithCaptions)
{
    LWFonts::registerBundled();
    const LWDocument doc = markedCard();
    const std::optional<QByteArray> pdf = LWExport::sheetPDF(doc, {1, 0});
    ASSERT_TRUE(pdf);
    const QList<pdfprobe::Boxes> pages = pdfprobe::boxes(*pdf);
    ASSERT_EQ(pages.size(), 2);
    for (const pdfprobe::Boxes &b : pages) {
        EXPECT_TRUE(pdfprobe::near(b.media, {0, 0, 612, 792}, 0.0001));
        EXPECT_FALSE(b.crop || b.bleed || b.trim);
    }
    EXPECT_EQ(pdfprobe::info(*pdf, "/Title"), QStringLiteral("Harbour Bakery \u2014 print sheet"));
    EXPECT_EQ(pdfprobe::info(*pdf, "/Creator"), LWExport::creatorText);

    auto pageText = [&](int page) { // ligatures such as "fl" extract as U+FB02
        return pdfprobe::text(*pdf, page).normalized(QString::NormalizationForm_KC).simplified();
    };
    EXPECT_EQ(pageText(1).toStdString(),
              QStringLiteral("BACKS \u00B7 Harbour Bakery \u00B7 cut on the crop marks \u00B7 print "
                             "double-sided, flip on long edge")
                  .toStdString());
    EXPECT_EQ(pageText(2).toStdString(),
              QStringLiteral("FRONTS \u00B7 Harbour Bakery \u00B7 cut on the crop marks").toStdString());

    // The backs page shows the green copies, mirrored slots and all, exactly on the paper.
    const QImage backs = pdfprobe::poppler(*pdf, 1, 72);
    ASSERT_EQ(backs.size(), QSize(612, 792));
    EXPECT_TRUE(isRed(backs.pixel(306 + 5, 36 + 5)));
    EXPECT_GT(qGreen(backs.pixel(306 + 200, 36 + 120)), 180);
    EXPECT_TRUE(pdfprobe::isWhite(backs.pixel(40, 100)));
}

TEST(Sheet, PdfSkipsBadSidesAndIsExactOnA4)
{
    LWDocument eu = LWDocument::blank(LWSizePreset::euCard, std::nullopt, QStringLiteral("EU"));
    eu.pages.removeLast();
    const std::optional<QByteArray> pdf = LWExport::sheetPDF(eu, {0, 1});
    ASSERT_TRUE(pdf);
    const QList<pdfprobe::Boxes> pages = pdfprobe::boxes(*pdf);
    ASSERT_EQ(pages.size(), 1); // a one-page card asked for [0, 1]: fronts only
    EXPECT_TRUE(pdfprobe::near(pages[0].media, {0, 0, 595.276, 841.89}, 0.0001));
    EXPECT_FALSE(LWExport::sheetPDF(eu, {1, -1}));
    EXPECT_FALSE(LWExport::sheetPDF(eu, {}));
}
