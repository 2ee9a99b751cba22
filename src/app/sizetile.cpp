#include "app/sizetile.h"

#include "app/app.h"
#include "kit/host/kithost.h"
#include "kit/paint/paint.h"
#include "kit/paint/symbols.h"
#include "kit/theme/focusring.h"
#include "kit/paint/uifont.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double pageSide = 80;
constexpr double guideInset = 4;
// The platform's link blue, whatever the theme.
const QColor guideBlue = QColor::fromRgbF(0.0f, 0.478f, 1.0f, 0.5f);

QFont captionFont()
{
    return vkFont(12, VKWeight::Bold);
}

QFont detailFont()
{
    return vkFont(10);
}

} // namespace

LWTileButton::LWTileButton(QSizeF box, const QString &caption, const QString &detail, QWidget *parent)
    : QAbstractButton(parent), box_(box), caption_(caption), detail_(detail)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(caption);
}

QSize LWTileButton::sizeHint() const
{
    const QSizeF c = vkTextSize(captionFont(), caption_);
    const QSizeF d = vkTextSize(detailFont(), detail_);
    const double w = std::max({box_.width(), c.width(), d.width()}) + 2 * sideMargin;
    const double h = box_.height() + spacing + c.height() + spacing + d.height();
    return QSize(static_cast<int>(std::ceil(w)), static_cast<int>(std::ceil(h)));
}

QRectF LWTileButton::boxRect() const
{
    return QRectF((width() - box_.width()) / 2, 0, box_.width(), box_.height());
}

void LWTileButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        p.setOpacity(0.75);
    const VKKitTheme theme = VELKKitHost::theme();
    const QRectF box = boxRect();
    paintBox(p, box);
    if (hasFocus())
        VKFocusRing::paint(p, VKPaint::roundedRect(box, 6)); // round the page it makes
    const QSizeF c = vkTextSize(captionFont(), caption_);
    double y = box.bottom() + spacing;
    p.setPen(theme.text);
    vkDrawText(p, QRectF(0, y, width(), c.height()), Qt::AlignHCenter | Qt::AlignTop, caption_, captionFont());
    y += c.height() + spacing;
    p.setPen(theme.dim);
    vkDrawText(p, QRectF(0, y, width(), height() - y), Qt::AlignHCenter | Qt::AlignTop, detail_, detailFont());
}

SizeTile::SizeTile(LWApp &app, const LWSizePreset &preset, bool landscape, QWidget *parent)
    : LWTileButton(QSizeF(84, 84), captionFor(preset), preset.detail, parent), preset_(preset), landscape_(landscape)
{
    setToolTip(QStringLiteral("New ") + preset.name + QStringLiteral(", ") + preset.detail);
    // The app may replace the whole screen: nothing of this tile is touched after the call.
    connect(this, &QAbstractButton::clicked, &app,
            [&app, this] { app.newDocument(document(preset_, landscape_)); });
}

QSizeF SizeTile::outline(const LWSizePreset &preset, bool landscape)
{
    double w = preset.width, h = preset.height;
    if ((w < h) == landscape)
        std::swap(w, h);
    const double s = pageSide / std::max(w, h);
    return {w * s, h * s};
}

QString SizeTile::captionFor(const LWSizePreset &preset)
{
    QString name = preset.name;
    return name.replace(QStringLiteral(" Business Card"), QStringLiteral(" Card")).remove(QStringLiteral(" Flyer"));
}

LWDocument SizeTile::document(const LWSizePreset &preset, bool landscape)
{
    const QSizeF o = outline(preset, landscape);
    return LWDocument::blank(preset, o.width() >= o.height(), QStringLiteral("Untitled"));
}

void SizeTile::setLandscape(bool landscape)
{
    landscape_ = landscape;
    update();
}

QRectF SizeTile::pageRect() const
{
    QRectF page(QPointF(), outline(preset_, landscape_));
    page.moveCenter(boxRect().center());
    return page;
}

QRectF SizeTile::guideRect() const
{
    return pageRect().marginsRemoved(QMarginsF(guideInset, guideInset, guideInset, guideInset));
}

void SizeTile::paintBox(QPainter &p, const QRectF &) const
{
    const QPainterPath page = VKPaint::roundedRect(pageRect(), 3);
    VKPaint::drawRoundedShadow(p, pageRect(), 3, QColor(0, 0, 0, 102), 3, QPointF(0, 2));
    p.fillPath(page, Qt::white);
    constexpr double w = 0.8;
    p.strokePath(VKPaint::roundedEdge(guideRect(), 2, w), VKPaint::dashedPen(guideBlue, w, 3, 2));
}

CustomSizeTile::CustomSizeTile(LWApp &app, QWidget *parent)
    : LWTileButton(QSizeF(70, 84), QStringLiteral("Custom\u2026"), QStringLiteral("any size"), parent)
{
    setToolTip(QStringLiteral("Any width and height, in inches or millimeters"));
    connect(this, &QAbstractButton::clicked, &app, [&app] { app.setSheet(LWAppSheet::newCustom); });
}

void CustomSizeTile::paintBox(QPainter &p, const QRectF &box) const
{
    const VKKitTheme theme = VELKKitHost::theme();
    constexpr double w = 1.5;
    p.strokePath(VKPaint::roundedEdge(box, 8, w), VKPaint::dashedPen(theme.dim, w, 5, 4));
    QRectF symbol(0, 0, 26, 26);
    symbol.moveCenter(box.center());
    VKSymbols::paint(p, VKSymbols::ruler, symbol, theme.text);
}
