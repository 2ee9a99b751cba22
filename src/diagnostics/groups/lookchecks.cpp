#include "diagnostics/groups/lookchecks.h"

#include "app/app.h"
#include "app/startscreen.h"
#include "diagnostics/screens.h"
#include "diagnostics/selftestaids.h"
#include "diagnostics/selftestgroups.h"
#include "kit/host/kithost.h"
#include "kit/theme/style.h"
#include "kit/theme/themeroot.h"
#include "kit/theme/themes.h"
#include "kit/zoom/zoom.h"
#include "kit/zoom/zoomhost.h"
#include "model/file/prefs.h"

#include <QWidget>
#include <cmath>
#include <cstdio>

namespace LWSelfTest
{

namespace
{

using Family = VELKTheme::Family;

Verdict builtInCheck()
{
    const QList<VELKTheme> &themes = VELKThemes::builtIn();
    const auto count = [&](Family f) {
        return std::count_if(themes.begin(), themes.end(), [f](const VELKTheme &t) { return t.family == f; });
    };
    QStringList names;
    for (const VELKTheme &t : themes)
        names << t.name;
    return {themes.size() == 6 && count(Family::masculine) == 2 && count(Family::feminine) == 2 &&
                count(Family::black) >= 1 && count(Family::gray) >= 1,
            QStringLiteral("six themes: 2 masculine, 2 feminine, black, gray (") +
                names.join(QStringLiteral(", ")) + QLatin1Char(')')};
}

bool readable(const VELKTheme &t)
{
    using C = VELKTheme::RGB;
    return C::contrast(t.text, t.bg) >= 7 && C::contrast(t.text, t.panelTop) >= 4.5 &&
           C::contrast(t.dim, t.panelBottom) >= 4.5 && C::contrast(C::white, t.accent) >= 4.5;
}

// The start screen in a theme root, as the window shows it.
QWidget *startScreen()
{
    return new VELKThemeRoot([] { return new StartScreen(LWApp::shared()); });
}

QWidget *redZoomHost()
{
    auto *red = new QWidget;
    red->setAutoFillBackground(true);
    QPalette palette = red->palette();
    palette.setColor(QPalette::Window, Qt::red);
    red->setPalette(palette);
    return new VKZoomHost(red, {1240, 760});
}

LWColor lwColor(const QColor &c)
{
    const QColor rgb = c.toRgb();
    return {rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()};
}

} // namespace

QString accentKey(const QColor &accent)
{
    if (!accent.isValid())
        return {};
    const QColor rgb = accent.toRgb();
    char text[64];
    std::snprintf(text, sizeof text, "%.2f%.2f%.2f", rgb.redF(), rgb.greenF(), rgb.blueF());
    return QString::fromLatin1(text);
}

Verdict accentCheck(const QSet<QString> &keys)
{
    return {keys.size() == 7,
            QStringLiteral("each of the 7 themes changes the accent color used by the controls")};
}

Verdict startScreenCheck(const QList<double> &samples)
{
    QSet<qint64> values;
    for (double s : samples)
        values.insert(qint64(std::trunc(s * 100)));
    return {
        samples.size() == 7 && values.size() >= 6,
        QStringLiteral("the start screen draws in every theme, and the themes look different (%1 renders)")
            .arg(samples.size())};
}

// Writes the theme and the zoom while it runs and puts both back. Within the self-test both land
// in the run's throw-away settings file, never in the user's.
void looks(LWTestRun &run)
{
    run.begin(QStringLiteral("Themes and interface zoom"));
    const Verdict builtIn = builtInCheck();
    run.check(builtIn.ok, builtIn.label);
    run.check(VKZoom::clamp(0.5) == 0.85 && VKZoom::clamp(3.0) == 2.0 && VKZoom::clamp(1.15) == 1.15,
              QStringLiteral("interface zoom 85% \u2013 200%"));

    VELKThemes::registerThemes(LWThemes::extras());
    const VELKTheme forest = VELKThemes::named(LWThemes::forestID);
    const QList<VELKTheme> all = VELKThemes::all();
    run.check(forest.name == QLatin1String("Forest Green") && all.count(forest) == 1 && all.size() >= 7,
              QStringLiteral("7th theme \"Forest Green\" added through the kit's theme hook (%1 themes)")
                  .arg(all.size()));
    run.check(forest.id == LWThemes::forestID && readable(forest),
              QStringLiteral(
                  "Forest Green keeps text readable (same rules as the six built-in themes, plus white on "
                  "its buttons)"));

    LWSettings &settings = LWSettings::shared();
    const QVariant storedTheme = settings.value(VELKThemes::key);
    QSet<QString> accents;
    QList<double> samples;
    for (const VELKTheme &theme : VELKThemes::builtIn() + QList<VELKTheme>{forest}) {
        VELKThemes::setCurrentID(theme.id);
        accents.insert(accentKey(VELKKitHost::theme().accent));
        if (const std::optional<QImage> image = LWScreens::render(startScreen(), {1240, 700})) {
            const Sample s = pixel(Pixels(*image), 8, 8);
            samples << s.r + 10 * s.g + 100 * s.b;
        }
    }
    if (storedTheme.isValid())
        settings.setValue(VELKThemes::key, storedTheme);
    else
        settings.remove(VELKThemes::key);
    const Verdict accent = accentCheck(accents);
    run.check(accent.ok, accent.label);
    const Verdict screens = startScreenCheck(samples);
    run.check(screens.ok, screens.label);

    const double storedZoom = VKZoom::value();
    for (const double z : {0.85, 1.0, 2.0}) {
        VKZoom::setValue(z);
        const QSize size(int(std::lround(1240 * z)), int(std::lround(760 * z)));
        run.check(LWScreens::render(redZoomHost(), size).has_value(),
                  QStringLiteral("the window content renders at %1% interface zoom")
                      .arg(qint64(std::trunc(z * 100))));
    }
    VKZoom::setValue(storedZoom);

    run.check(LWColor::contrast(lwColor(LWStyle::lcdText()), lwColor(LWStyle::lcdBG())) >= 7,
              QStringLiteral("LCD read-out text is easy to read (7:1+)"));
}

} // namespace LWSelfTest
