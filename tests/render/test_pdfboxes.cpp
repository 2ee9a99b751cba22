#include "render/pdf/pdfboxes.h"

#include "render/pdfprobe.h"

#include <QLinearGradient>
#include <QPainter>
#include <gtest/gtest.h>

using LWExport::PdfInfo;
using LWExport::PdfPageBoxes;
using LWExport::PdfPageWriter;

namespace {

const PdfInfo info{QStringLiteral("VELK Leafwrighter \u2014 Velkmoor"), QStringLiteral("Card")};

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
    PdfPageWriter w(page, info);
    QPainter *p = w.beginPage();
    ASSERT_TRUE(p);
    QLinearGradient g(QPointF(20, 0), QPointF(180, 0));
    g.setColorAt(0, QColor(255, 0, 0, 255));
    g.setColorAt(1, QColor(255, 0, 0, 0));
    p->fillRect(QRectF(20, 20, 160, 40), g);
    QImage blue(16, 4, QImage::Format_RGB32);
    blue.fill(QColor(0, 0, 255));
    p->drawImage(QRectF(20, 70, 160, 20), blue);
    const std::optional<QByteArray> pdf = w.finish({{QRectF(QPointF(), page), {}, {}, {}}});
    ASSERT_TRUE(pdf);

    const QImage pop = pdfprobe::poppler(*pdf, 1, 144);
    ASSERT_EQ(pop.size(), QSize(400, 200));
    EXPECT_LT(qGreen(pop.pixel(60, 80)), 60);   // opaque red at the start
    EXPECT_GT(qGreen(pop.pixel(340, 80)), 200); // nearly white at the end
    for (double x : {30.0, 170.0}) {
        const QRgb c = pop.pixel(int(x * 2), 160); // drawn after the gradient, unmasked
        EXPECT_LT(qRed(c), 30) << x;
        EXPECT_GT(qBlue(c), 225) << x;
    }
}

TEST(PdfBoxes, BadInputGivesNoneWithAReason)
{
    QString why;
    EXPECT_FALSE(LWExport::finishPdf("not a pdf at all", {}, info, &why));
    EXPECT_FALSE(why.isEmpty());

    // Qt's two pages given one page's boxes.
    const PdfPageBoxes box{QRectF(0, 0, 100, 50), {}, {}, {}};
    PdfPageWriter w(QSizeF(100, 50), info);
    ASSERT_TRUE(w.beginPage() && w.beginPage());
    const std::optional<QByteArray> two = w.finish({box, box});
    ASSERT_TRUE(two);
    why.clear();
    EXPECT_FALSE(LWExport::finishPdf(*two, {box}, info, &why));
    EXPECT_FALSE(why.isEmpty());
    const PdfPageBoxes bad{QRectF(0, 0, qQNaN(), 50), {}, {}, {}};
    EXPECT_FALSE(LWExport::finishPdf(*two, {bad, bad}, info));

    PdfPageWriter none(QSizeF(100, 50), info);
    EXPECT_FALSE(none.finish({}));
    PdfPageWriter tiny(QSizeF(0.3, 50), info);
    EXPECT_EQ(tiny.beginPage(), nullptr);
}
