#pragma once
#include <QColor>
#include <QLinearGradient>
#include <QMargins>
#include <QPainterPath>
#include <QPixmap>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <functional>
#include <initializer_list>

class QPainter;

// Drawing helpers shared by the kit's controls. Lengths are interface pixels; every helper works
// on any painter transform.
namespace VKPaint {

// An edge line of width `w` lies inside its shape: the stroked outline is the shape inset by w/2,
// its corner radius shrunk by the same amount (never below 0).
[[nodiscard]] QRectF edgeRect(const QRectF &shape, double w);
[[nodiscard]] double edgeRadius(double radius, double w);

// Rounded rectangle with continuous (squircle-like) corners. A radius too large for the smooth
// curve falls back to circular arcs; one at or beyond half the short side makes a capsule.
void addRoundedRect(QPainterPath &path, const QRectF &rect, double radius);
[[nodiscard]] QPainterPath roundedRect(const QRectF &rect, double radius);
// Fully rounded ends along the longer side.
[[nodiscard]] QPainterPath capsule(const QRectF &rect);
// The capsule's edge line of width `w`: the outline to stroke so the line stays inside `rect`.
[[nodiscard]] QPainterPath capsuleEdge(const QRectF &rect, double w);
[[nodiscard]] QPainterPath roundedEdge(const QRectF &rect, double radius, double w);

// Top-centre to bottom-centre of `rect`, colours at evenly spaced stops.
[[nodiscard]] QLinearGradient vertical(const QRectF &rect, std::initializer_list<QColor> colours);

// A dashed pen of `on`/`off` lengths in pixels (Qt counts dashes in pen widths), flat caps.
[[nodiscard]] QPen dashedPen(const QColor &colour, double width, double on, double off);

// The room a shadow or glow of blur `radius` needs outside its shape: ceil(1.5 r + |offset|) on
// every side (the blur fades out within 3 sigma, sigma = r / 2).
[[nodiscard]] int shadowMargin(double radius, QPointF offset);
[[nodiscard]] QMargins shadowMargins(double radius, QPointF offset);

// Draws the blurred silhouette of `shape` in `colour`, moved by `offset`. The blurred mask is
// cached by shape, radius, colour and the painter's device scale, so zooming stays sharp.
void drawShadow(QPainter &painter, const QPainterPath &shape, const QColor &colour, double radius,
                QPointF offset);
// The shadow of roundedRect(rect, cornerRadius), placed on whole device pixels: one small mask
// of blurred corners per radius, blur, colour and scale serves every size, its straight middle
// stretched along the sides (a turned or sheared painter gets drawShadow instead).
void drawRoundedShadow(QPainter &painter, const QRectF &rect, double cornerRadius, const QColor &colour,
                       double radius, QPointF offset);
// The masks of both calls share one cache of at most shadowCacheBudget bytes, least recently
// used dropped first; a mask larger than the budget is drawn and not kept.
inline constexpr qsizetype shadowCacheBudget = qsizetype(6) << 20;
// Number of cached shadow masks and their bytes (tests and diagnostics).
[[nodiscard]] qsizetype shadowCacheSize();
[[nodiscard]] qsizetype shadowCacheBytes();
void clearShadowCache();

// How a disabled control shows: its whole look at this opacity, as the platform fades its own.
inline constexpr double disabledOpacity = 0.4;

// The device pixels per interface pixel of the painter's current transform.
[[nodiscard]] double deviceScale(const QPainter &painter);

// A widget's painting kept as one image at the painter's device scale (below 1 as well). draw()
// renders it anew through `render` (a transparent image of `size`, antialiased) only when `key`,
// the size or the scale changed, then composites it over (0, 0, size) with `opacity` as one layer.
class Layer {
public:
    void draw(QPainter &painter, QSize size, const QByteArray &key, double opacity,
              const std::function<void(QPainter &)> &render);

private:
    QPixmap pixmap_;
    QByteArray key_;
    double scale_ = 0;
};

} // namespace VKPaint
