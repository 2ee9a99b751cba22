#include "kit/uifont.h"

#include "render/fonts.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

// Point sizes are resolved against the screen's logical DPI; fractional pixel sizes survive only
// as fractional point sizes.
double logicalDpi()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

QFont uiFont(const QString &family, double px, int weight)
{
    LWFonts::registerBundled();
    QFont f(family);
    f.setPointSizeF(px * 72.0 / logicalDpi());
    f.setWeight(static_cast<QFont::Weight>(weight));
    return f;
}

} // namespace

QFont vkFont(double px, VKWeight weight)
{
    return uiFont(QStringLiteral("Nunito"), px, static_cast<int>(weight));
}

QFont vkMono(double px)
{
    QFont f = uiFont(QStringLiteral("JetBrains Mono"), px, QFont::Normal);
    f.setStyleHint(QFont::Monospace);
    return f;
}

QFont vkTracked(QFont font, double px)
{
    font.setLetterSpacing(QFont::AbsoluteSpacing, px);
    return font;
}

double vkPixelSize(const QFont &font)
{
    return font.pointSizeF() * logicalDpi() / 72.0;
}
