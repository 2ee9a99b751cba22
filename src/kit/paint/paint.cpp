#include "kit/paint/paint.h"

#include <QCache>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace VKPaint {

QRectF edgeRect(const QRectF &shape, double w)
{
    return shape.adjusted(w / 2, w / 2, -w / 2, -w / 2);
}

double edgeRadius(double radius, double w)
{
    return std::max(0.0, radius - w / 2);
}

namespace {

// One quarter of the continuous corner, in units of the radius: (a, b) lie along the edge
// entering the corner and the edge leaving it, measured from the corner point. The curve leaves
// the straight edge 1.52866 r before the corner and is symmetric about the diagonal.
constexpr double smoothReach = 1.52866483;
struct CornerPoint {
    double a, b;
};
constexpr std::array<CornerPoint, 6> firstHalf{{
    {1.08849323, 0.0}, {0.86840689, 0.02197916}, {0.66993427, 0.06549600}, // curve off the edge
    {0.63149399, 0.07491100},                                              // short line
    {0.37282392, 0.16905899}, {0.16906013, 0.37282401},                    // the arc's controls
}};

void addCorner(QPainterPath &path, QPointF corner, QPointF in, QPointF out, double r)
{
    const auto at = [&](double a, double b) { return corner + in * (a * r) + out * (b * r); };
    const auto &c = firstHalf;
    path.cubicTo(at(c[0].a, c[0].b), at(c[1].a, c[1].b), at(c[2].a, c[2].b));
    path.lineTo(at(c[3].a, c[3].b));
    path.cubicTo(at(c[4].a, c[4].b), at(c[5].a, c[5].b), at(c[3].b, c[3].a));
    // The first part mirrored about the diagonal, walked backwards.
    path.lineTo(at(c[2].b, c[2].a));
    path.cubicTo(at(c[1].b, c[1].a), at(c[0].b, c[0].a), at(0, smoothReach));
}

} // namespace

namespace {

// How addRoundedRect draws a rectangle: the radius it uses and whether the corners are continuous.
struct Corners {
    double radius = 0;
    bool continuous = false;
    // How far the corner's curve runs along each edge.
    double reach() const { return continuous ? radius * smoothReach : radius; }
};

Corners cornersOf(const QRectF &r, double radius)
{
    const double half = std::min(r.width(), r.height()) / 2;
    radius = std::clamp(radius, 0.0, half);
    return {radius, radius > 0 && radius * smoothReach <= half};
}

void addCorners(QPainterPath &path, const QRectF &r, const Corners &corners)
{
    const double radius = corners.radius;
    if (radius <= 0) {
        path.addRect(r);
        return;
    }
    if (!corners.continuous) {
        path.addRoundedRect(r, radius, radius);
        return;
    }
    const double reach = radius * smoothReach;
    path.moveTo(r.left() + reach, r.top());
    path.lineTo(r.right() - reach, r.top());
    addCorner(path, r.topRight(), {-1, 0}, {0, 1}, radius);
    path.lineTo(r.right(), r.bottom() - reach);
    addCorner(path, r.bottomRight(), {0, -1}, {-1, 0}, radius);
    path.lineTo(r.left() + reach, r.bottom());
    addCorner(path, r.bottomLeft(), {1, 0}, {0, -1}, radius);
    path.lineTo(r.left(), r.top() + reach);
    addCorner(path, r.topLeft(), {0, 1}, {1, 0}, radius);
    path.closeSubpath();
}

} // namespace

void addRoundedRect(QPainterPath &path, const QRectF &rect, double radius)
{
    const QRectF r = rect.normalized();
    addCorners(path, r, cornersOf(r, radius));
}

QPainterPath roundedRect(const QRectF &rect, double radius)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    addRoundedRect(path, rect, radius);
    return path;
}

QPainterPath capsule(const QRectF &rect)
{
    return roundedRect(rect, std::min(rect.width(), rect.height()) / 2);
}

QPainterPath capsuleEdge(const QRectF &rect, double w)
{
    return capsule(edgeRect(rect, w));
}

QPainterPath roundedEdge(const QRectF &rect, double radius, double w)
{
    return roundedRect(edgeRect(rect, w), edgeRadius(radius, w));
}

QLinearGradient vertical(const QRectF &rect, std::initializer_list<QColor> colours)
{
    QLinearGradient g(QPointF(rect.center().x(), rect.top()), QPointF(rect.center().x(), rect.bottom()));
    const qsizetype n = static_cast<qsizetype>(colours.size());
    qsizetype i = 0;
    for (const QColor &c : colours)
        g.setColorAt(n > 1 ? double(i++) / double(n - 1) : 0.0, c);
    return g;
}

QPen dashedPen(const QColor &colour, double width, double on, double off)
{
    QPen pen(colour, width, Qt::CustomDashLine, Qt::FlatCap);
    pen.setDashPattern({on / width, off / width});
    return pen;
}

int shadowMargin(double radius, QPointF offset)
{
    return static_cast<int>(std::ceil(1.5 * std::max(0.0, radius) + std::hypot(offset.x(), offset.y()) - 1e-9));
}

QMargins shadowMargins(double radius, QPointF offset)
{
    const int m = shadowMargin(radius, offset);
    return {m, m, m, m};
}

double deviceScale(const QPainter &painter)
{
    const QTransform t = painter.deviceTransform();
    return std::sqrt(std::abs(t.m11() * t.m22() - t.m12() * t.m21()));
}

namespace {

struct ShadowMask {
    QImage image;   // premultiplied colour, device pixels
    QPointF origin; // image top-left in the shape's coordinates
};

QCache<QByteArray, ShadowMask> &shadowCache()
{
    static QCache<QByteArray, ShadowMask> cache(shadowCacheBudget);
    return cache;
}

// A mask from the cache, made and stored when missing; a mask larger than the whole budget is
// used once and not kept.
template <typename Make>
ShadowMask cachedMask(const QByteArray &key, Make make)
{
    auto &cache = shadowCache();
    if (const ShadowMask *hit = cache.object(key))
        return *hit;
    ShadowMask mask = make();
    const qsizetype cost = std::max<qsizetype>(1, mask.image.sizeInBytes());
    if (cost <= cache.maxCost())
        cache.insert(key, new ShadowMask(mask), cost);
    return mask;
}

QByteArray shadowKey(const QPainterPath &shape, const QColor &colour, double radius, double scale)
{
    QByteArray key;
    const int n = shape.elementCount();
    key.reserve(n * 17 + 32);
    const auto put = [&key](auto v) { key.append(reinterpret_cast<const char *>(&v), sizeof v); };
    put(radius);
    put(std::round(scale * 1000) / 1000);
    put(colour.rgba64());
    put(static_cast<int>(shape.fillRule()));
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element e = shape.elementAt(i);
        put(static_cast<char>(e.type));
        put(e.x);
        put(e.y);
    }
    return key;
}

// Separable Gaussian blur of an 8-bit alpha image, in place.
void blurAlpha(QImage &alpha, double sigma)
{
    const int k = static_cast<int>(std::ceil(3 * sigma));
    if (k < 1)
        return;
    std::vector<float> kernel(2 * k + 1);
    float sum = 0;
    for (int i = -k; i <= k; ++i)
        sum += kernel[i + k] = static_cast<float>(std::exp(-(i * i) / (2 * sigma * sigma)));
    for (float &v : kernel)
        v /= sum;
    const int w = alpha.width(), h = alpha.height();
    std::vector<float> line(std::max(w, h)), out(std::max(w, h));
    const auto pass = [&](int count, int length, auto at) {
        for (int j = 0; j < count; ++j) {
            for (int i = 0; i < length; ++i)
                line[i] = at(j, i);
            for (int i = 0; i < length; ++i) {
                float acc = 0;
                const int lo = std::max(0, i - k), hi = std::min(length - 1, i + k);
                for (int t = lo; t <= hi; ++t)
                    acc += line[t] * kernel[t - i + k];
                out[i] = acc;
            }
            for (int i = 0; i < length; ++i)
                at(j, i) = static_cast<uchar>(std::clamp(std::lround(out[i]), 0L, 255L));
        }
    };
    pass(h, w, [&](int y, int x) -> uchar & { return alpha.scanLine(y)[x]; });
    pass(w, h, [&](int x, int y) -> uchar & { return alpha.scanLine(y)[x]; });
}

ShadowMask makeShadow(const QPainterPath &shape, const QColor &colour, double radius, double scale)
{
    const double sigma = radius / 2 * scale;
    const int margin = static_cast<int>(std::ceil(3 * sigma)) + 1;
    const QRectF bounds = shape.boundingRect();
    const QSize size(static_cast<int>(std::ceil(bounds.width() * scale)) + 2 * margin,
                     static_cast<int>(std::ceil(bounds.height() * scale)) + 2 * margin);
    QImage alpha(size, QImage::Format_Alpha8);
    alpha.fill(0);
    {
        QPainter p(&alpha);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(margin, margin);
        p.scale(scale, scale);
        p.translate(-bounds.topLeft());
        p.fillPath(shape, Qt::black);
    }
    blurAlpha(alpha, sigma);
    QImage tinted(size, QImage::Format_ARGB32_Premultiplied);
    const QRgb base = colour.rgba();
    for (int y = 0; y < size.height(); ++y) {
        const uchar *a = alpha.constScanLine(y);
        auto *out = reinterpret_cast<QRgb *>(tinted.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int alphaOut = (qAlpha(base) * a[x] + 127) / 255;
            out[x] = qPremultiply(qRgba(qRed(base), qGreen(base), qBlue(base), alphaOut));
        }
    }
    return {tinted, bounds.topLeft() - QPointF(margin, margin) / scale};
}

} // namespace

void drawShadow(QPainter &painter, const QPainterPath &shape, const QColor &colour, double radius,
                QPointF offset)
{
    if (shape.isEmpty() || colour.alpha() == 0)
        return;
    const double scale = std::max(deviceScale(painter), 0.01);
    const ShadowMask mask =
        cachedMask(shadowKey(shape, colour, radius, scale), [&] { return makeShadow(shape, colour, radius, scale); });
    const QSizeF logical = QSizeF(mask.image.size()) / scale;
    painter.drawImage(QRectF(mask.origin + offset, logical), mask.image);
}

namespace {

// One axis of a rounded rectangle's shadow in device pixels: the mask's source spans and where
// they go. A long side is drawn from a short mask: both corner parts as they are and one pixel
// of the straight middle stretched between them.
struct Span {
    int source, sourceLength, target, targetLength;
};

struct Axis {
    int maskLength; // the shape's length in the mask
    QList<Span> spans;
};

// `start` and `length`: the shape's whole-pixel extent; `corner`: the pixels from each end inside
// which the blurred corner differs from the straight side; `margin`: the blur's reach outside.
Axis axis(int start, int length, int corner, int margin)
{
    if (length <= 2 * corner + 1)
        return {length, {{0, length + 2 * margin, start - margin, length + 2 * margin}}};
    const int end = margin + corner;
    return {2 * corner + 1,
            {{0, end, start - margin, end},
             {end, 1, start + corner, length - 2 * corner},
             {end + 1, end, start + length - corner, end}}};
}

} // namespace

void drawRoundedShadow(QPainter &painter, const QRectF &rect, double cornerRadius, const QColor &colour,
                       double radius, QPointF offset)
{
    const QRectF r = rect.normalized();
    if (r.isEmpty() || colour.alpha() == 0)
        return;
    const QTransform t = painter.deviceTransform();
    const double s = t.m11();
    const QRectF device = t.mapRect(r.translated(offset));
    const int left = static_cast<int>(std::lround(device.left())), top = static_cast<int>(std::lround(device.top()));
    const int width = static_cast<int>(std::lround(device.right())) - left;
    const int height = static_cast<int>(std::lround(device.bottom())) - top;
    // Turned, sheared or unevenly scaled painters, and shapes thinner than a pixel: the outline.
    if (t.type() > QTransform::TxScale || !(s > 0) || std::abs(t.m22() - s) > 1e-9 || width < 1 || height < 1) {
        drawShadow(painter, roundedRect(r, cornerRadius), colour, radius, offset);
        return;
    }
    const Corners corners = cornersOf(r, cornerRadius);
    const double blur = std::max(0.0, radius) * s, deviceRadius = corners.radius * s;
    const int reach = static_cast<int>(std::ceil(3 * blur / 2)); // the blur kernel's half width
    const int margin = reach + 1;
    const int corner = static_cast<int>(std::ceil(corners.reach() * s)) + reach + 1;
    const Axis across = axis(left, width, corner, margin), down = axis(top, height, corner, margin);

    QByteArray key("rounded");
    const auto put = [&key](auto v) { key.append(reinterpret_cast<const char *>(&v), sizeof v); };
    put(std::round(blur * 1000) / 1000);
    put(std::round(deviceRadius * 1000) / 1000);
    put(corners.continuous);
    put(colour.rgba64());
    put(across.maskLength);
    put(down.maskLength);
    const ShadowMask mask = cachedMask(key, [&] {
        QPainterPath shape;
        shape.setFillRule(Qt::WindingFill);
        const QRectF box(0, 0, across.maskLength, down.maskLength);
        addCorners(shape, box, {std::min(deviceRadius, std::min(box.width(), box.height()) / 2), corners.continuous});
        return makeShadow(shape, colour, blur, 1);
    });

    // Whole device pixels, mapped back through the painter's own transform (which may carry a
    // child widget's offset apart from its world transform), without smoothing: a stretched
    // pixel repeats exactly, with no seams.
    const QTransform back = t.inverted();
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (const Span &y : down.spans)
        for (const Span &x : across.spans)
            painter.drawImage(back.mapRect(QRectF(x.target, y.target, x.targetLength, y.targetLength)), mask.image,
                              QRectF(x.source, y.source, x.sourceLength, y.sourceLength));
    painter.restore();
}

void Layer::draw(QPainter &painter, QSize size, const QByteArray &key, double opacity,
                 const std::function<void(QPainter &)> &render)
{
    const double scale = std::max(deviceScale(painter), 0.01);
    const QSize pixels(static_cast<int>(std::ceil(size.width() * scale)), static_cast<int>(std::ceil(size.height() * scale)));
    if (pixmap_.isNull() || key != key_ || pixmap_.size() != pixels || scale_ != scale) {
        // Qt never scales a painter below 1 from a device pixel ratio: the scale is set by hand
        // and the image kept at ratio 1, drawn back into the box it was made for.
        pixmap_ = QPixmap(pixels);
        pixmap_.fill(Qt::transparent);
        QPainter p(&pixmap_);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale, scale);
        render(p);
        key_ = key;
        scale_ = scale;
    }
    painter.save();
    painter.setOpacity(painter.opacity() * opacity);
    painter.drawPixmap(QRectF(0, 0, pixels.width() / scale, pixels.height() / scale), pixmap_, QRectF(pixmap_.rect()));
    painter.restore();
}

qsizetype shadowCacheSize()
{
    return shadowCache().size();
}

qsizetype shadowCacheBytes()
{
    return shadowCache().totalCost();
}

void clearShadowCache()
{
    shadowCache().clear();
}

} // namespace VKPaint
