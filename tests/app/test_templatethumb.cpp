#include "thumbs_fixture.h"

#include "app/templatethumb.h"
#include "templates/templates.h"

#include <QPalette>

namespace {

const QColor background(40, 60, 90);

// White at 8 % over the background, as the placeholder paints it.
QColor placeholderOver(const QColor &bg)
{
    const auto mix = [](int c) { return c + (255 - c) * 20 / 255; };
    return QColor(mix(bg.red()), mix(bg.green()), mix(bg.blue()));
}

bool near(const QColor &a, const QColor &b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())}) <= 2;
}

struct Shot {
    QImage image;
    QRectF frame;
    QColor at(double fx, double fy) const
    {
        return image.pixelColor(int(frame.x() + fx * frame.width()), int(frame.y() + fy * frame.height()));
    }
};

Shot grab(TemplateThumb &thumb)
{
    thumb.setAutoFillBackground(true);
    QPalette palette = thumb.palette();
    palette.setColor(QPalette::Window, background);
    thumb.setPalette(palette);
    thumb.resize(thumb.sizeHint());
    const QImage image = thumb.grab().toImage();
    return {image, thumb.frameRect()};
}

} // namespace

TEST(TemplateThumb, FrameFollowsTheTemplatesSize)
{
    const struct {
        const char *id;
        double height;
        QSizeF frame;
    } cases[] = {{"card-001", 100, {175, 100}}, {"flyer-001", 200, {200 * 612.0 / 792, 200}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.id);
        const std::optional<LWTemplate> t = LWTemplates::named(QString::fromLatin1(c.id));
        ASSERT_TRUE(t);
        const QSizeF frame = templateThumbFrame(*t, c.height);
        EXPECT_NEAR(frame.width(), c.frame.width(), 1e-9);
        EXPECT_NEAR(frame.height(), c.frame.height(), 1e-9);
    }
}

TEST(TemplateThumb, ShowsThePlaceholderAndSpinnerUntilTheImageArrivesOrFails)
{
    for (const Made made : {Made::pages, Made::noPages}) {
        SCOPED_TRACE(int(made));
        LWThumbs store;
        auto log = std::make_shared<MakeLog>();
        TemplateThumb thumb(fakeTemplate(QStringLiteral("w"), log, {LWColor(1, 0, 0)}, made, true), 0, 100, &store);

        const Shot waiting = grab(thumb);
        const QPoint spoke = (waiting.frame.center() - QPointF(0, 6)).toPoint(); // the spinner's top spoke
        EXPECT_TRUE(near(waiting.at(0.25, 0.25), placeholderOver(background))) << waiting.at(0.25, 0.25).name().toStdString();
        EXPECT_FALSE(near(waiting.image.pixelColor(spoke), placeholderOver(background)));
        EXPECT_TRUE(LWSpinnerClock::shared().isRunning());

        log->gate.release();
        ASSERT_TRUE(settle(store));
        const Shot done = grab(thumb);
        EXPECT_FALSE(LWSpinnerClock::shared().isRunning());
        if (made == Made::noPages) {
            EXPECT_TRUE(near(done.image.pixelColor(spoke), placeholderOver(background)));
            continue;
        }
        EXPECT_EQ(done.at(0.5, 0.5), QColor(Qt::red));
        const QColor below = done.image.pixelColor(int(done.frame.center().x()), int(done.frame.bottom() + 2));
        EXPECT_LT(below.lightness(), background.lightness() - 10); // the shadow
    }
}
