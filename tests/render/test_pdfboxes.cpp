#include "render/pdfboxes.h"

#include "render/pdfprobe.h"

#include <QLinearGradient>
#include <QPainter>
#include <gtest/gtest.h>

using LWExport::PdfInfo;
using LWExport::PdfPageBoxes;
using LWExport::PdfPageWriter;

namespace {

const PdfInfo info{QStringLiteral("VELK Leafwrighter \u2014 Velkmoor"), QStringLiteral("Card")};

// Two pages of a card-with-bleed layout: media = crop = bleed, trim inset by 9.
QByteArray cardPdf(QSizeF page, int pages = 2)
{
    PdfPageWriter w(page, info);
    QList<PdfPageBoxes> boxes;
    for (int i = 0; i < pages; ++i) {
        QPainter *p = w.beginPage();
        if (!p)
            return {};
        p->fillRect(QRectF(0, 0, 10, 10), Qt::black);
        const QRectF all(0, 0, page.width(), page.height());
        boxes.append({all, all, all, all.adjusted(9, 9, -9, -9)});
    }
    return w.finish(boxes).value_or(QByteArray());
}

} // namespace

// Qt rounds A4 to 595 x 842 and flips about 842: without the writer's shift everything would sit
// 0.11 pt too high, and nothing past x = 595 may be lost.
TEST(PdfBoxes, ContentLandsWherePageSpaceSays)
{
    const QSizeF a4(595.276, 841.89);
    PdfPageWriter w(a4, info);
    QPainter *p = w.beginPage();
    ASSERT_TRUE(p);
    p->fillRect(QRectF(0, 0, 10, 10), Qt::black);
    p->fillRect(QRectF(a4.width() - 10, a4.height() - 10, 10, 10), Qt::black);
    const std::optional<QByteArray> pdf = w.finish({{QRectF(QPointF(), a4), {}, {}, {}}});
    ASSERT_TRUE(pdf);

    const double scale = 20; // pixels per point
    const QImage top = pdfprobe::poppler(*pdf, 1, 72 * scale, QRect(0, 0, 300, 300));
    ASSERT_FALSE(top.isNull());
    auto at = [&](const QImage &img, QPointF origin, double x, double y) {
        return img.pixel(int((x - origin.x()) * scale), int((y - origin.y()) * scale));
    };
    EXPECT_TRUE(pdfprobe::isBlack(at(top, {}, 0.05, 0.05)));
    EXPECT_TRUE(pdfprobe::isBlack(at(top, {}, 9.95, 9.95)));
    EXPECT_TRUE(pdfprobe::isWhite(at(top, {}, 10.05, 10.05)));

    const QPointF corner(a4.width() - 15, a4.height() - 15);
    const QImage bottom = pdfprobe::poppler(
        *pdf, 1, 72 * scale, QRect(int(corner.x() * scale), int(corner.y() * scale), 300, 300));
    ASSERT_FALSE(bottom.isNull());
    const QPointF o(int(corner.x() * scale) / scale, int(corner.y() * scale) / scale);
    EXPECT_TRUE(pdfprobe::isBlack(at(bottom, o, a4.width() - 0.05, a4.height() - 0.05)));
    EXPECT_TRUE(pdfprobe::isBlack(at(bottom, o, a4.width() - 9.95, a4.height() - 9.95)));
    EXPECT_TRUE(pdfprobe::isWhite(at(bottom, o, a4.width() - 10.05, a4.height() - 10.05)));
}

// A red ramp that fades to transparent, as Qt 6.4 writes it, must fade in PDF readers too.
TEST(PdfBoxes, GradientTransparencySurvives)
{
    const QSizeF page(200, 100);
    auto paint = [](QPainter &p) {
        QLinearGradient g(QPointF(20, 0), QPointF(180, 0));
        g.setColorAt(0, QColor(255, 0, 0, 255));
        g.setColorAt(1, QColor(255, 0, 0, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRect(QRectF(20, 20, 160, 40));
        QImage blue(16, 4, QImage::Format_RGB32);
        blue.fill(QColor(0, 0, 255));
        p.drawImage(QRectF(20, 70, 160, 20), blue);
    };
    PdfPageWriter w(page, info);
    QPainter *p = w.beginPage();
    ASSERT_TRUE(p);
    paint(*p);
    const std::optional<QByteArray> pdf = w.finish({{QRectF(QPointF(), page), {}, {}, {}}});
    ASSERT_TRUE(pdf);

    QImage ref(400, 200, QImage::Format_ARGB32_Premultiplied);
    ref.fill(Qt::white);
    {
        QPainter rp(&ref);
        rp.scale(2, 2);
        paint(rp);
    }
    const QImage pop = pdfprobe::poppler(*pdf, 1, 144);
    ASSERT_EQ(pop.size(), ref.size());
    for (double x : {30.0, 60.0, 100.0, 140.0, 170.0}) {
        SCOPED_TRACE(x);
        const QRgb want = ref.pixel(int(x * 2), 80), got = pop.pixel(int(x * 2), 80);
        EXPECT_NEAR(qRed(got), qRed(want), 12);
        EXPECT_NEAR(qGreen(got), qGreen(want), 12);
        EXPECT_NEAR(qBlue(got), qBlue(want), 12);
        const QRgb blue = pop.pixel(int(x * 2), 160); // drawn after the gradient, unmasked
        EXPECT_LT(qRed(blue), 30);
        EXPECT_GT(qBlue(blue), 225);
    }
    // Qt PDF leaves unpainted pixels transparent: the faded end must be (nearly) clear.
    const QImage qt = pdfprobe::qtpdf(*pdf, 0, QSize(400, 200));
    ASSERT_FALSE(qt.isNull());
    EXPECT_GT(qAlpha(qt.pixel(50, 80)), 200);
    EXPECT_LT(qAlpha(qt.pixel(355, 80)), 40);
}

TEST(PdfBoxes, DocumentInformationIsTextExactlyAsGiven)
{
    const PdfInfo tricky{QStringLiteral("VELK Leafwrighter \u2014 Velkmoor"),
                         QStringLiteral("Caf\u00e9 (north) \\ \u201cdeli\u201d \U0001F3A8")};
    PdfPageWriter w(QSizeF(100, 100), tricky);
    ASSERT_TRUE(w.beginPage());
    const std::optional<QByteArray> pdf = w.finish({{QRectF(0, 0, 100, 100), {}, {}, {}}});
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdfprobe::info(*pdf, "/Creator"), tricky.creator);
    EXPECT_EQ(pdfprobe::info(*pdf, "/Title"), tricky.title);

    PdfPageWriter plain(QSizeF(100, 100), {tricky.creator, QString()});
    ASSERT_TRUE(plain.beginPage());
    const std::optional<QByteArray> untitled = plain.finish({{QRectF(0, 0, 100, 100), {}, {}, {}}});
    ASSERT_TRUE(untitled);
    EXPECT_EQ(pdfprobe::info(*untitled, "/Title"), QString());
}

TEST(PdfBoxes, BadInputGivesNoneWithAReason)
{
    QString why;
    EXPECT_FALSE(LWExport::finishPdf("not a pdf at all", {}, info, &why));
    EXPECT_FALSE(why.isEmpty());

    const QByteArray two = cardPdf(QSizeF(100, 50), 2);
    ASSERT_FALSE(two.isEmpty());
    why.clear();
    EXPECT_FALSE(LWExport::finishPdf(two, {{QRectF(0, 0, 100, 50), {}, {}, {}}}, info, &why));
    EXPECT_FALSE(why.isEmpty());
    const PdfPageBoxes bad{QRectF(0, 0, qQNaN(), 50), {}, {}, {}};
    EXPECT_FALSE(LWExport::finishPdf(two, {bad, bad}, info));

    PdfPageWriter none(QSizeF(100, 50), info);
    EXPECT_FALSE(none.finish({}));
    PdfPageWriter empty(QSizeF(0, 50), info);
    EXPECT_EQ(empty.beginPage(), nullptr);
    PdfPageWriter tiny(QSizeF(0.3, 50), info);
    EXPECT_EQ(tiny.beginPage(), nullptr);
}
