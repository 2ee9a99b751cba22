#include "kit/paint/paint.h"
#include "kit/paint/symbols.h"
#include "kit/paint/uifont.h"
#include "render/text/fonts.h"
#include "snapshot.h"

#include <QDir>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QSvgRenderer>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>

namespace {

QImage paintOn(QSize size, double dpr, const std::function<void(QPainter &)> &draw)
{
    QImage img(size * dpr, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return img;
}

const QStringList uiFaces = {QStringLiteral("Nunito-Regular"), QStringLiteral("Nunito-Medium"),
                             QStringLiteral("Nunito-SemiBold"), QStringLiteral("Nunito-Bold"),
                             QStringLiteral("Nunito-ExtraBold"), QStringLiteral("Nunito-Black"),
                             QStringLiteral("JetBrainsMono-Medium")};

// A widget that paints one shadow, by its outline or stretched.
class ShadowWidget : public QWidget {
public:
    explicit ShadowWidget(bool stretched, QWidget *parent) : QWidget(parent), stretched_(stretched) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF shape(12, 10, 150, 60);
        if (stretched_)
            VKPaint::drawRoundedShadow(p, shape, 9, QColor(0, 0, 0, 102), 3, {0, 2});
        else
            VKPaint::drawShadow(p, VKPaint::roundedRect(shape, 9), QColor(0, 0, 0, 102), 3, {0, 2});
    }

private:
    bool stretched_;
};

} // namespace

TEST(KitFonts, ResolveToTheBundledInterfaceFaces)
{
    const struct {
        QFont font;
        QString face;
    } cases[] = {
        {vkFont(12.5, VKWeight::Bold), QStringLiteral("Nunito-Bold")},
        {vkFont(12), QStringLiteral("Nunito-Regular")},
        {vkFont(10, VKWeight::Heavy), QStringLiteral("Nunito-ExtraBold")},
        {vkFont(10, VKWeight::Black), QStringLiteral("Nunito-Black")},
        {vkFont(11, VKWeight::Semibold), QStringLiteral("Nunito-SemiBold")},
        {[] { QFont f = vkMono(10.5); f.setWeight(QFont::Medium); return f; }(), QStringLiteral("JetBrainsMono-Medium")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.face.toStdString());
        EXPECT_EQ(LWFonts::postScriptNameOf(c.font), c.face);
        EXPECT_TRUE(QFontInfo(c.font).family().startsWith(c.face.startsWith(u'N') ? u"Nunito" : u"JetBrains Mono"));
    }
    EXPECT_EQ(QFontInfo(vkFont(12.5, VKWeight::Bold)).weight(), QFont::Bold);
}

TEST(KitFonts, FractionalSizesKeepTheirWidth)
{
    const QString text = QStringLiteral("Print-ready business cards");
    const auto width = [&](double px) { return vkTextSize(vkFont(px), text).width(); };
    EXPECT_GT(width(12.5), width(12));
    EXPECT_LT(width(12.5), width(13));
    EXPECT_NEAR(vkPixelSize(vkFont(12.5)), 12.5, 1e-9);
}

TEST(KitFonts, InterfaceFacesStayOutOfTheFontLists)
{
    LWFonts::registerBundled();
    const QStringList families = LWFonts::families();
    for (const QString &f : families)
        EXPECT_FALSE(f.startsWith(QLatin1String("Nunito")) && !f.startsWith(QLatin1String("Nunito Sans"))) << f.toStdString();
    const QStringList templates = LWFonts::templateFonts();
    for (const QString &face : uiFaces) {
        EXPECT_FALSE(templates.contains(face)) << face.toStdString();
        EXPECT_FALSE(LWFonts::registeredPostScript().contains(face)) << face.toStdString();
    }
    // JetBrains Mono is a stand-in family too; its interface Medium is no member of it.
    for (const auto &[ps, style] : LWFonts::members(QStringLiteral("JetBrains Mono")))
        EXPECT_NE(ps, QStringLiteral("JetBrainsMono-Medium"));
}

TEST(KitSymbols, EveryTableFileIsLaidOutAndValid)
{
    const auto folder = VKSymbols::resourceFolder();
    ASSERT_TRUE(folder.has_value());
    QSet<QString> expected{QStringLiteral("LICENSE")};
    for (const VKSymbols::Entry &e : VKSymbols::table()) {
        const auto file = VKSymbols::fileFor(e.name);
        ASSERT_TRUE(file.has_value()) << e.name.toStdString();
        EXPECT_TRUE(QSvgRenderer(*file).isValid()) << e.file.toStdString();
        expected.insert(e.file);
    }
    const QStringList present = QDir(*folder).entryList(QDir::Files);
    EXPECT_EQ(QSet<QString>(present.begin(), present.end()), expected);
    EXPECT_FALSE(VKSymbols::fileFor(QStringLiteral("no.such.symbol")).has_value());
}

TEST(KitSymbols, DrawTintedInsideTheirBoxAtDevicePixels)
{
    const QImage img = paintOn({48, 48}, 2, [](QPainter &p) {
        VKSymbols::paint(p, VKSymbols::magnifyingGlass, QRectF(8, 8, 16, 16), Qt::red);
    });
    const QRect ink = inkBox(img);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_TRUE(QRect(16, 16, 32, 32).contains(ink)) << ink.x() << "," << ink.y() << " " << ink.width() << "x" << ink.height();
    EXPECT_GE(ink.width(), 24); // the glyph fills most of its 32 device pixels
    EXPECT_EQ(qAlpha(img.pixel(ink.topLeft())), 0); // the glyph's shape, not its box
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb px = img.pixel(x, y);
            if (qAlpha(px) > 0) {
                ASSERT_EQ(qGreen(px), 0);
                ASSERT_EQ(qBlue(px), 0);
                ASSERT_EQ(qRed(px), qAlpha(px)); // premultiplied pure red
            }
        }
    const QImage none = paintOn({48, 48}, 2, [](QPainter &p) {
        VKSymbols::paint(p, QStringLiteral("no.such.symbol"), QRectF(8, 8, 16, 16), Qt::red);
    });
    EXPECT_TRUE(inkBox(none).isEmpty());
}

TEST(KitPaint, EdgeLinesStayInsideTheirShape)
{
    for (const double dpr : {1.0, 2.0}) {
        const QRectF shape(3.3, 2.7, 61.4, 23.1);
        const QImage edge = paintOn({70, 30}, dpr, [&](QPainter &p) {
            p.strokePath(VKPaint::capsuleEdge(shape, 1.2), QPen(Qt::black, 1.2));
        });
        // No pixel may be covered by the edge more than by the capsule itself.
        const QImage body = paintOn({70, 30}, dpr, [&](QPainter &p) { p.fillPath(VKPaint::capsule(shape), Qt::black); });
        int inked = 0;
        for (int y = 0; y < edge.height(); ++y)
            for (int x = 0; x < edge.width(); ++x) {
                const int a = qAlpha(edge.pixel(x, y));
                inked += a > 0;
                if (a > qAlpha(body.pixel(x, y)) + 8)
                    ADD_FAILURE() << "ink outside at " << x << "," << y << " dpr " << dpr << ": " << a << " > "
                                  << qAlpha(body.pixel(x, y));
            }
        EXPECT_GT(inked, 100);
    }
}

TEST(KitPaint, DashesMeasureInPixels)
{
    const QImage img = paintOn({100, 20}, 1, [](QPainter &p) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(VKPaint::dashedPen(Qt::black, 1.5, 5, 4));
        p.drawLine(QPointF(0, 10), QPointF(90, 10));
    });
    QList<int> runs;
    bool on = true;
    int run = 0;
    for (int x = 0; x < 90; ++x) {
        const bool inked = qAlpha(img.pixel(x, 10)) > 0;
        if (inked != on) {
            runs.append(run);
            on = inked;
            run = 0;
        }
        ++run;
    }
    ASSERT_GE(runs.size(), 6);
    for (qsizetype i = 0; i < 6; ++i)
        EXPECT_EQ(runs[i], i % 2 == 0 ? 5 : 4) << "run " << i;
}

TEST(KitPaint, ShadowFadesOutInsideItsMargin)
{
    const double radius = 3;
    const QPointF offset(0, 2);
    const int m = VKPaint::shadowMargin(radius, offset);
    EXPECT_EQ(m, 7);
    const QRectF shape(m, m, 40, 16);
    for (const double dpr : {1.0, 2.0}) {
        const QImage img = paintOn(QSize(40 + 2 * m, 16 + 2 * m), dpr, [&](QPainter &p) {
            QPainterPath path;
            path.addRect(shape);
            VKPaint::drawShadow(p, path, QColor(0, 0, 0, 102), radius, offset);
        });
        const int w = img.width(), h = img.height();
        int edgeMax = 0;
        for (int x = 0; x < w; ++x)
            edgeMax = std::max({edgeMax, qAlpha(img.pixel(x, 0)), qAlpha(img.pixel(x, h - 1))});
        for (int y = 0; y < h; ++y)
            edgeMax = std::max({edgeMax, qAlpha(img.pixel(0, y)), qAlpha(img.pixel(w - 1, y))});
        EXPECT_LE(edgeMax, 1) << "dpr " << dpr;
        // Full strength well inside the shape, a soft fall-off below it (the offset side).
        EXPECT_NEAR(qAlpha(img.pixel(w / 2, h / 2)), 102, 2);
        const int below = qAlpha(img.pixel(w / 2, static_cast<int>((m + 16 + 2) * dpr)));
        EXPECT_GT(below, 10);
        EXPECT_LT(below, 90);
    }
    // One mask per device scale.
    VKPaint::clearShadowCache();
    QPainterPath path;
    path.addRect(shape);
    for (const double dpr : {1.0, 2.0, 2.0})
        (void)paintOn({60, 40}, dpr, [&](QPainter &p) { VKPaint::drawShadow(p, path, Qt::black, radius, offset); });
    EXPECT_EQ(VKPaint::shadowCacheSize(), 2);
}

TEST(KitPaint, RoundedShadowsOfEverySizeShareOneSmallMask)
{
    // Panels dragged through many sizes at two scales, and a capsule, an odd radius and a
    // small square: each matches the shadow of its outline, and the cache keeps one mask per
    // radius, blur and scale.
    const struct {
        double radius, blur;
        QPointF offset;
    } looks[] = {{14, 6, {0, 4}}, {3, 3, {0, 2}}, {7.5, 2.5, {2, 2}}};
    VKPaint::clearShadowCache();
    int sizes = 0;
    for (const double dpr : {1.0, 1.5, 2.0}) {
        for (const auto &look : looks) {
            // Even lengths: whole device pixels at 1.5 too (the stretched shadow snaps to them).
            for (int w = 10; w <= 400; w += 38) {
                const int h = 6 + (w * 7) % 230;
                const QRectF shape(20, 20, w, h);
                const QSize canvas(w + 40, h + 40);
                const QImage exact = paintOn(canvas, dpr, [&](QPainter &p) {
                    VKPaint::drawShadow(p, VKPaint::roundedRect(shape, look.radius), QColor(0, 0, 0, 102), look.blur, look.offset);
                });
                const QImage stretched = paintOn(canvas, dpr, [&](QPainter &p) {
                    VKPaint::drawRoundedShadow(p, shape, look.radius, QColor(0, 0, 0, 102), look.blur, look.offset);
                });
                int worst = 0;
                for (int y = 0; y < exact.height(); ++y)
                    for (int x = 0; x < exact.width(); ++x)
                        worst = std::max(worst, std::abs(qAlpha(exact.pixel(x, y)) - qAlpha(stretched.pixel(x, y))));
                EXPECT_LE(worst, 2) << w << " x " << h << " at " << dpr << ", radius " << look.radius;
                ++sizes;
            }
        }
    }
    EXPECT_GT(sizes, 50);
    VKPaint::clearShadowCache();
    for (int w = 100; w < 1600; w += 13)
        (void)paintOn({w + 40, 300}, 2, [&](QPainter &p) {
            VKPaint::drawRoundedShadow(p, QRectF(20, 20, w, 260), 14, QColor(0, 0, 0, 89), 6, {0, 3});
        });
    EXPECT_EQ(VKPaint::shadowCacheSize(), 1);
    EXPECT_LT(VKPaint::shadowCacheBytes(), 200'000);
}

TEST(KitPaint, ShadowCacheStaysWithinItsBudgetAndRedrawsTheSame)
{
    // Stars of many sizes (no rounded rectangle to share a mask) at scale 2, well past the budget.
    const auto star = [](double size) {
        QPainterPath path;
        for (int i = 0; i < 10; ++i) {
            const double r = (i % 2 ? 0.4 : 1.0) * size / 2, a = i * M_PI / 5;
            const QPointF pt(20 + size / 2 + r * std::sin(a), 20 + size / 2 - r * std::cos(a));
            i == 0 ? path.moveTo(pt) : path.lineTo(pt);
        }
        path.closeSubpath();
        return path;
    };
    const auto draw = [&](double size, double dpr = 2) {
        return paintOn(QSize(int(size) + 40, int(size) + 40), dpr,
                       [&](QPainter &p) { VKPaint::drawShadow(p, star(size), QColor(0, 0, 0, 128), 4, {0, 2}); });
    };
    VKPaint::clearShadowCache();
    const QImage first = draw(100);
    for (double size = 101; size < 300; size += 3) {
        (void)draw(size);
        EXPECT_LE(VKPaint::shadowCacheBytes(), VKPaint::shadowCacheBudget) << size;
    }
    EXPECT_GT(VKPaint::shadowCacheSize(), 1);
    EXPECT_TRUE(draw(100) == first); // dropped long ago, made again the same
    // One mask larger than the whole budget is drawn and not kept.
    VKPaint::clearShadowCache();
    const QImage huge = draw(1500, 1);
    EXPECT_EQ(VKPaint::shadowCacheSize(), 0);
    EXPECT_GT(qAlpha(huge.pixel(770, 772)), 100);
}

TEST(KitPaint, RoundedShadowsLandInPlaceInsideChildWidgets)
{
    // A child widget away from its window's corner paints through an offset the painter keeps
    // apart from its transform.
    for (const double dpr : {1.0, 1.5, 2.0}) { // whole device pixels at each
        QImage images[2];
        for (const bool stretched : {false, true}) {
            QWidget window;
            window.resize(300, 200);
            auto *child = new ShadowWidget(stretched, &window);
            child->setGeometry(38, 24, 200, 100);
            QImage &img = images[stretched];
            img = QImage(QSize(300, 200) * dpr, QImage::Format_ARGB32_Premultiplied);
            img.setDevicePixelRatio(dpr);
            img.fill(Qt::transparent);
            window.render(&img, {}, {}, QWidget::DrawChildren);
        }
        int worst = 0;
        for (int y = 0; y < images[0].height(); ++y)
            for (int x = 0; x < images[0].width(); ++x)
                worst = std::max(worst, std::abs(qAlpha(images[0].pixel(x, y)) - qAlpha(images[1].pixel(x, y))));
        EXPECT_LE(worst, 2) << dpr;
        EXPECT_GT(qAlpha(images[1].pixel(QPoint(38 + 80, 24 + 40) * dpr)), 90);
    }
}
