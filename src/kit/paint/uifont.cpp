#include "kit/paint/uifont.h"

#include "render/text/fonts.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QTransform>
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
    f.setPointSizeF(vkPointSize(px));
    f.setWeight(static_cast<QFont::Weight>(weight));
    return f;
}

} // namespace

double vkPointSize(double px)
{
    return px * 72.0 / logicalDpi();
}

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
    return font.pointSizeF() > 0 ? font.pointSizeF() * logicalDpi() / 72.0 : font.pixelSize();
}

namespace {

// Text is laid out at this many times its size and drawn scaled back, so the whole-pixel
// rounding Qt applies costs at most 1/32 px.
constexpr double fine = 16;

QFont magnified(QFont f)
{
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * fine);
    else
        f.setPixelSize(f.pixelSize() * static_cast<int>(fine));
    if (f.letterSpacingType() == QFont::AbsoluteSpacing)
        f.setLetterSpacing(QFont::AbsoluteSpacing, f.letterSpacing() * fine);
    return f;
}

} // namespace

QSizeF vkTextSize(const QFont &font, const QString &text)
{
    const QFontMetricsF fm(magnified(font));
    return {fm.horizontalAdvance(text) / fine, fm.height() / fine};
}

QString vkElidedText(const QFont &font, const QString &text, double width)
{
    return QFontMetricsF(magnified(font)).elidedText(text, Qt::ElideRight, width * fine);
}

QPainterPath vkTextPath(const QFont &font, const QString &text, QPointF topLeft)
{
    const QFont big = magnified(font);
    QPainterPath path;
    path.addText(QPointF(0, QFontMetricsF(big).ascent()), big, text);
    QTransform t;
    t.translate(topLeft.x(), topLeft.y());
    t.scale(1 / fine, 1 / fine);
    return t.map(path);
}

void vkDrawText(QPainter &painter, const QRectF &rect, int flags, const QString &text, const QFont &font)
{
    painter.save();
    painter.translate(rect.topLeft());
    painter.scale(1 / fine, 1 / fine);
    painter.setFont(magnified(font));
    painter.drawText(QRectF(0, 0, rect.width() * fine, rect.height() * fine), flags, text);
    painter.restore();
}
