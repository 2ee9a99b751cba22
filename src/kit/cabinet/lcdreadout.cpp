#include "kit/cabinet/lcdreadout.h"

#include "kit/paint/paint.h"
#include "kit/theme/style.h"
#include "kit/paint/uifont.h"

#include <QDataStream>
#include <QIODevice>
#include <QPainter>

#include <cmath>

namespace {
constexpr double padX = 12, padY = 6, spacing = 1, corner = 10;
}

LCDReadout::LCDReadout(const QStringList &lines, double minWidth, QWidget *parent)
    : QWidget(parent), lines_(lines), minWidth_(minWidth)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void LCDReadout::setLines(const QStringList &lines)
{
    lines_ = lines;
    updateGeometry();
    update();
}

void LCDReadout::setTextColour(const std::optional<QColor> &colour)
{
    if (textColour_ == colour)
        return;
    textColour_ = colour;
    update();
}

void LCDReadout::setMinWidth(double minWidth)
{
    minWidth_ = minWidth;
    updateGeometry();
    update();
}

QFont LCDReadout::rowFont(qsizetype row)
{
    if (row == 0) {
        QFont f = vkMono(12.5);
        f.setWeight(QFont::Bold);
        return f;
    }
    QFont f = vkMono(10.5);
    f.setWeight(QFont::Medium);
    return f;
}

QSize LCDReadout::sizeHint() const
{
    double widest = 0, height = 2 * padY;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const QSizeF row = vkTextSize(rowFont(i), lines_[i]);
        widest = std::max(widest, row.width());
        height += row.height() + (i > 0 ? spacing : 0);
    }
    return QSize(static_cast<int>(std::ceil(std::max(minWidth_, widest + 2 * padX))), static_cast<int>(std::ceil(height)));
}

QSize LCDReadout::minimumSizeHint() const
{
    return QSize(static_cast<int>(std::ceil(minWidth_)), sizeHint().height());
}

// The glowing text is dear to draw: the picture is kept until the lines, size or colours change.
void LCDReadout::paintEvent(QPaintEvent *)
{
    QByteArray key;
    {
        QDataStream s(&key, QIODevice::WriteOnly);
        s << lines_ << LWStyle::lcdBG() << textColour_.value_or(LWStyle::lcdText()) << LWStyle::lcdDim();
    }
    QPainter p(this);
    layer_.draw(p, size(), key, 1, [this](QPainter &layer) { paint(layer); });
}

void LCDReadout::paint(QPainter &p) const
{
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF window(rect());
    const QPainterPath shape = VKPaint::roundedRect(window, corner);
    p.fillPath(shape, LWStyle::lcdBG());
    p.strokePath(VKPaint::roundedEdge(window, corner, 1.5),
                 QPen(QBrush(VKPaint::vertical(window, {QColor(0, 0, 0, 230), QColor(255, 255, 255, 64)})), 1.5));

    const QColor first = textColour_.value_or(LWStyle::lcdText());
    QColor glow = first;
    glow.setAlphaF(0.45f);
    const double room = std::max(0.0, window.width() - 2 * padX);
    double y = padY;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const QFont font = rowFont(i);
        const QString shown = vkElidedText(font, lines_[i], room);
        const double height = vkTextSize(font, shown).height();
        const QPainterPath text = vkTextPath(font, shown, QPointF(padX, y));
        VKPaint::drawShadow(p, text, glow, 3, {});
        p.fillPath(text, i == 0 ? first : LWStyle::lcdDim());
        y += height + spacing;
    }

    // Glass: white 8 % at the top fading to clear at the middle, over the text.
    QLinearGradient glass(QPointF(window.center().x(), window.top()), window.center());
    glass.setColorAt(0, QColor(255, 255, 255, 20));
    glass.setColorAt(1, Qt::transparent);
    p.fillPath(shape, glass);
}
