#include "render/renderer.h"
#include "render/raster/rastercut.h"

#include "model/geometry.h"
#include "model/units.h"
#include "render/exportpictures.h"
#include "render/icons/icons.h"
#include "render/pictures/imagecache.h"
#include "render/parallel.h"
#include "render/picturetally.h"
#include "render/worker/cancellable.h"
#include "render/text/textlayout.h"

#include <QHash>
#include <QMutexLocker>
#include <QLinearGradient>
#include <QPaintEngine>
#include <QRadialGradient>
#include <cmath>
#include <numbers>

namespace LWRenderer {
namespace {

// Thinner than a millionth of a point (a thirty-thousandth of a 2,400-DPI dot) no device shows an
// outline, and none is drawn: PDF readers would draw it as their thinnest line (Qt's PDF writer
// writes 5e-324 as 0, a hairline).
constexpr double thinnestOutline = 1e-6;
bool hasStroke(const LWElement &e) { return e.stroke && e.stroke->width >= thinnestOutline; }

QPainterPath winding(QPainterPath path)
{
    path.setFillRule(Qt::WindingFill);
    return path;
}

// The area an element may paint, in page space after its rotation: generous, since it only
// sizes the offscreen layer of a half-transparent element.
QRectF paintBounds(const LWElement &e)
{
    if (e.kind == LWElement::Kind::group) {
        QRectF r;
        if (e.children)
            for (const LWElement &c : *e.children)
                if (!c.hidden)
                    r = r.united(paintBounds(c));
        return r;
    }
    QRectF r = e.frame.toQRectF();
    if (e.kind == LWElement::Kind::text && e.text) {
        // Text may run past its box (below it, or above when bottom-aligned); glyphs overhang.
        const double h = LWTextLayout::height(*e.text, std::max(e.frame.width(), 1.0));
        const double pad = std::max(e.text->size, 1.0);
        r = r.adjusted(-pad, -h - pad, pad, h + pad);
        return LWGeometry::rotation(e).mapRect(r);
    }
    const double pad = (hasStroke(e) ? e.stroke->width : 0) + 1;
    return LWGeometry::bounds(e).toQRectF().adjusted(-pad, -pad, pad, pad);
}

// Where the element may leave ink, in the painter's current space (before its own rotation):
// the control points of its outlines, turned, plus its stroke. Text only when `text` asks for it
// (it costs a layout; drawing culls its lines itself), else none.
std::optional<QRectF> inkBounds(const LWElement &e, bool text = false)
{
    const double pad = (hasStroke(e) ? e.stroke->width : 0) + 1;
    const QTransform turn = LWGeometry::rotation(e);
    switch (e.kind) {
    case LWElement::Kind::shape:
        return turn.map(LWGeometry::shapePath(e)).controlPointRect().adjusted(-pad, -pad, pad, pad);
    case LWElement::Kind::icon: {
        const auto outline = e.icon ? LWIcons::path(*e.icon, e.frame) : std::nullopt;
        if (!outline)
            return QRectF();
        return turn.map(*outline).controlPointRect().adjusted(-pad, -pad, pad, pad);
    }
    case LWElement::Kind::image: // clipped to its mask, which lies in the frame
        return LWGeometry::bounds(e).toQRectF().adjusted(-pad, -pad, pad, pad);
    case LWElement::Kind::group: {
        QRectF r;
        if (e.children)
            for (const LWElement &c : *e.children) {
                if (c.hidden)
                    continue;
                const std::optional<QRectF> b = inkBounds(c, text);
                if (!b)
                    return std::nullopt;
                r = r.united(*b);
            }
        return r;
    }
    case LWElement::Kind::text:
        if (!text)
            break;
        return e.text ? turn.mapRect(LWTextLayout::inkBounds(*e.text, e.frame)).adjusted(-1, -1, 1, 1) : QRectF();
    }
    return std::nullopt;
}

// True when the element cannot reach the clip of a bitmap painter (a band's rows): skipping it
// changes no pixel. Unclipped painters and vector devices draw everything as before.
bool outsideBand(const LWElement &e, const QPainter &p)
{
    if (!p.hasClipping() || !p.paintEngine() || p.paintEngine()->type() != QPaintEngine::Raster)
        return false;
    const std::optional<QRectF> ink = inkBounds(e);
    if (!ink)
        return false;
    const QRectF clip = p.clipBoundingRect();
    return ink->isEmpty() ? false : !clip.intersects(*ink);
}

// The longest side, in device pixels, that the painter draws the whole picture of the element at.
LWImageCache::Want wantOf(const LWElement &e, const QPainter &p)
{
    const double perPoint = std::sqrt(std::abs(p.combinedTransform().determinant()));
    return [e, perPoint](QSize upright) {
        const std::optional<LWRenderer::PicturePlace> place = LWRenderer::placePicture(e, QSizeF(upright));
        const double side = place ? std::max(place->whole.width(), place->whole.height()) * perPoint : 0;
        return std::isfinite(side) ? int(std::ceil(std::min(side, 1e9))) : LWImageCache::previewMaxPixels;
    };
}

bool decodable(const LWElement &e, const LWRenderOptions &options, const QPainter &p)
{
    const LWImage &picture = *e.image;
    if (options.pictures && !options.preview)
        return options.pictures->find(picture).has_value();
    if (options.pending && options.preview)
        return options.pending->holds(paintBounds(e)) &&
               LWImageCache::previewSoon(picture, options.pending->priorityFor(paintBounds(e)), wantOf(e, p),
                                         options.pending->showing())
                   .image.has_value();
    if (options.preview)
        return LWImageCache::image(picture, wantOf(e, p)).has_value();
    return LWImageCache::image(picture, false).has_value();
}

// Whether drawing the element once at partial opacity looks like a flattened layer would:
// true when none of its own parts overlap each other.
bool paintsOnce(const LWElement &e, const LWRenderOptions &options, const QPainter &p)
{
    switch (e.kind) {
    case LWElement::Kind::shape:
        return e.isLine() || !(e.fill.isVisible() && hasStroke(e));
    case LWElement::Kind::text:
        // Glyphs overlap in joined scripts, under negative tracking and tight leading.
        return !e.text;
    case LWElement::Kind::image:
        // A picture that does not decode shows the placeholder, whose parts overlap.
        return !e.image || (e.image->data && !hasStroke(e) && decodable(e, options, p));
    case LWElement::Kind::icon:
        return !(e.fill.isVisible() && hasStroke(e));
    case LWElement::Kind::group:
        return false;
    }
    return false;
}

// Qt's PDF engine drops the painter's opacity for gradient brushes: such an element needs a group.
bool paintsGradient(const LWElement &e)
{
    const bool gradient = e.fill.kind == LWFillKind::linear || e.fill.kind == LWFillKind::radial;
    return gradient && ((e.kind == LWElement::Kind::shape && !e.isLine()) || e.kind == LWElement::Kind::icon);
}

void drawContent(const LWElement &e, QPainter &p, const LWRenderOptions &options);

// Coordinates past this many points (about 140 m) come only from hand-edited files; such an
// element is left out, as is one with a coordinate that is not a number: Qt's PDF writer would
// write garbage for it.
constexpr double maxCoordinate = 1e7;

bool sane(double v) { return std::isfinite(v) && std::fabs(v) <= maxCoordinate; }

bool drawableGeometry(const LWElement &e)
{
    if (e.kind == LWElement::Kind::group)
        return true; // a group's own frame and rotation play no part in drawing
    const LWRect &f = e.frame;
    if (!sane(f.x) || !sane(f.y) || !sane(f.w) || !sane(f.h) || !std::isfinite(e.rotation))
        return false;
    if (e.kind == LWElement::Kind::shape && e.points)
        for (const QPointF &pt : *e.points)
            if (!sane(pt.x()) || !sane(pt.y()))
                return false;
    return true;
}

// Draws the element into an offscreen layer at device resolution (600 DPI for a vector device
// without groups) and blends the layer at the element's opacity, so its parts do not show
// through each other. The layer covers only the part of the element inside the device and the
// clip, so each band of a banded bitmap makes a layer of its own rows.
void drawLayered(const LWElement &e, QPainter &p, const LWRenderOptions &options)
{
    const bool vector = p.paintEngine() && p.paintEngine()->type() != QPaintEngine::Raster;
    const QTransform device = p.combinedTransform();
    double k = 1;
    if (vector) {
        const int dpi = std::max(1, p.device()->logicalDpiX());
        k = 600.0 / dpi;
    }
    QRectF area = device.mapRect(paintBounds(e));
    // Only what can show: the device, and the clip (a band's rows), with a margin for smoothing.
    QRectF visible = QRectF(0, 0, p.device()->width(), p.device()->height());
    if (p.hasClipping())
        visible = visible.intersected(device.mapRect(p.clipBoundingRect()));
    area = area.intersected(visible.adjusted(-2, -2, 2, 2));
    if (area.isEmpty())
        return;
    // Keep the layer within a sane size, trading resolution for memory on vector devices.
    const double pixels = area.width() * area.height() * k * k;
    if (pixels > 64e6)
        k *= std::sqrt(64e6 / pixels);
    QRect px = QRectF(area.topLeft() * k, area.size() * k).toAlignedRect();
    if (px.isEmpty())
        return;
    if (!vector) {
        const auto grid = [](int v) {
            return int(std::floor(v / double(LWRasterCut::gridRows))) * LWRasterCut::gridRows;
        };
        px.setTopLeft(QPoint(grid(px.left()), grid(px.top())));
    }
    QImage layer(px.size(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return;
    layer.fill(Qt::transparent);
    {
        QPainter lp(&layer);
        lp.setRenderHints(p.renderHints());
        lp.setTransform(device * QTransform::fromScale(k, k) * QTransform::fromTranslate(-px.x(), -px.y()));
        drawContent(e, lp, options);
    }
    p.save();
    p.resetTransform();
    p.setOpacity(p.opacity() * e.opacity);
    p.setRenderHint(QPainter::LosslessImageRendering, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(QRectF(px.x() / k, px.y() / k, px.width() / k, px.height() / k), layer);
    p.restore();
}

void drawContent(const LWElement &e, QPainter &p, const LWRenderOptions &options)
{
    p.setTransform(LWGeometry::rotation(e), true);
    switch (e.kind) {
    case LWElement::Kind::shape:
        drawShape(e, p);
        break;
    case LWElement::Kind::text:
        if (e.text)
            LWTextLayout::draw(*e.text, e.frame, p);
        break;
    case LWElement::Kind::image:
        drawImage(e, p, options);
        break;
    case LWElement::Kind::icon:
        if (e.icon) {
            if (const auto outline = LWIcons::path(*e.icon, e.frame)) {
                if (e.fill.isVisible())
                    fill(e.fill, *outline, LWRect::fromQRectF(outline->boundingRect()), p);
                if (hasStroke(e))
                    strokePath(*outline, *e.stroke, p);
            }
        }
        break;
    case LWElement::Kind::group:
        if (e.children)
            for (const LWElement &child : *e.children)
                draw(child, p, options);
        break;
    }
}

QColor opaque(std::uint32_t rgb) { return LWColor::hex(rgb).qcolor(); }

bool positive(double v) { return std::isfinite(v) && v > 0; }

// Bitmaps below this many pixels are drawn in one pass: bands would cost more than they save.
constexpr qint64 minBandedPixels = qint64(1) << 20;
constexpr int minBandRows = 64;

// An unfilled ARGB32 premultiplied bitmap; paintBands fills it.
std::optional<QImage> makeBitmap(qint64 w, qint64 h)
{
    if (w <= 0 || h <= 0 || w > maxSide || h > maxSide || w * h > maxBitmapPixels)
        return std::nullopt;
    QImage image(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return std::nullopt;
    return image;
}

void prepare(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
}

void drawBackground(const LWPage &page, const LWDocument &doc, QPainter &p)
{
    const LWRect bleed = doc.bleedRect();
    if (page.background.isVisible() && sane(bleed.x) && sane(bleed.y) && sane(bleed.w) && sane(bleed.h)) {
        QPainterPath path;
        path.addRect(bleed.toQRectF());
        fill(page.background, path, bleed, p);
    }
}

// The background (part -1) or one element of the page, as draw(page) draws it.
void drawPart(const LWPage &page, const LWDocument &doc, QPainter &p, int part, const LWRenderOptions &options)
{
    p.save();
    prepare(p);
    if (part < 0)
        drawBackground(page, doc, p);
    else if (part < page.elements.size())
        draw(page.elements[part], p, options);
    p.restore();
}

} // namespace

void draw(const LWPage &page, const LWDocument &doc, QPainter &p, const LWRenderOptions &options)
{
    p.save();
    prepare(p);
    drawBackground(page, doc, p);
    for (const LWElement &e : page.elements)
        draw(e, p, options);
    p.restore();
}

namespace {

// Equal but for what is never drawn.
bool drawnAlike(const LWElement &x, const LWElement &y)
{
    if (x == y)
        return true;
    if (x.locked == y.locked && x.name == y.name)
        return false;
    LWElement same = y;
    same.locked = x.locked;
    same.name = x.name;
    return x == same;
}

// The elements in the order they are drawn: a group shown at full opacity draws its members and
// nothing of its own, so it counts as them; grouping and ungrouping then change no pixels.
void drawnElements(const QList<LWElement> &elements, QList<const LWElement *> &out)
{
    for (const LWElement &e : elements)
        if (e.kind == LWElement::Kind::group && !e.hidden && e.opacity >= 1) {
            if (e.children)
                drawnElements(*e.children, out);
        } else {
            out.append(&e);
        }
}

} // namespace

std::optional<QRectF> changedInk(const LWPage &before, const LWPage &after)
{
    if (before.background != after.background)
        return std::nullopt;
    QList<const LWElement *> was, now;
    drawnElements(before.elements, was);
    drawnElements(after.elements, now);
    QHash<QUuid, qsizetype> inBefore, inAfter;
    for (qsizetype i = 0; i < was.size(); ++i)
        inBefore.insert(was[i]->id, i);
    for (qsizetype i = 0; i < now.size(); ++i)
        inAfter.insert(now[i]->id, i);
    if (inBefore.size() != was.size() || inAfter.size() != now.size())
        return std::nullopt;
    QRectF ink;
    auto add = [&ink](const LWElement &e) {
        const std::optional<QRectF> b = inkBounds(e, true);
        if (b)
            ink = ink.united(*b);
        return b.has_value();
    };
    // The elements drawn alike must keep their order, the others are repainted where they were
    // and where they are.
    QList<QUuid> keptBefore, keptAfter;
    for (const LWElement *e : was) {
        const qsizetype i = inAfter.value(e->id, -1);
        if (i >= 0 && drawnAlike(*e, *now[i]))
            keptBefore << e->id;
        else if (!add(*e) || (i >= 0 && !add(*now[i])))
            return std::nullopt;
    }
    for (const LWElement *e : now) {
        const qsizetype i = inBefore.value(e->id, -1);
        if (i >= 0 && drawnAlike(*was[i], *e))
            keptAfter << e->id;
        else if (i < 0 && !add(*e))
            return std::nullopt;
    }
    if (keptBefore != keptAfter)
        return std::nullopt;
    return ink;
}

void draw(const LWElement &e, QPainter &p, const LWRenderOptions &options)
{
    if (e.hidden || options.skip.contains(e.id) || !(e.opacity > 0) || !drawableGeometry(e) || outsideBand(e, p))
        return;
    p.save();
    auto *sink = e.opacity < 1 ? dynamic_cast<LayerSink *>(p.device()) : nullptr;
    if (e.opacity < 1 && (!paintsOnce(e, options, p) || (sink && paintsGradient(e)))) {
        if (sink && sink->beginLayer(p, p.opacity() * e.opacity)) {
            p.setOpacity(1); // the group carries the opacity
            drawContent(e, p, options);
            sink->endLayer(p);
        } else {
            drawLayered(e, p, options);
        }
    } else {
        if (e.opacity < 1)
            p.setOpacity(p.opacity() * e.opacity);
        drawContent(e, p, options);
    }
    p.restore();
}

void drawShape(const LWElement &e, QPainter &p)
{
    const QPainterPath path = LWGeometry::shapePath(e);
    if (!e.isLine() && e.fill.isVisible())
        fill(e.fill, path, e.frame, p);
    if (hasStroke(e))
        strokePath(path, *e.stroke, p, e.isLine() ? Qt::RoundCap : Qt::FlatCap);
}

void fill(const LWFill &f, const QPainterPath &rawPath, const LWRect &ref, QPainter &p)
{
    if (f.kind == LWFillKind::none)
        return;
    const QPainterPath path = winding(rawPath);
    if (f.kind == LWFillKind::solid) {
        LWRasterCut::fill(p, path, f.color.qcolor());
        return;
    }
    const double w = ref.width(), h = ref.height();
    const QPointF c(ref.midX(), ref.midY());
    if (!std::isfinite(w) || !std::isfinite(h) || !std::isfinite(c.x()) || !std::isfinite(c.y()))
        return;
    QGradient gradient;
    if (f.kind == LWFillKind::linear) {
        if (!std::isfinite(f.angle))
            return;
        const double a = f.angle * std::numbers::pi / 180;
        const QPointF d(std::cos(a), std::sin(a));
        const double len = std::fabs(w * d.x()) + std::fabs(h * d.y());
        QLinearGradient g(c - d * (len / 2), c + d * (len / 2));
        gradient = g;
    } else {
        gradient = QRadialGradient(c, 0.62 * std::max(w, h));
    }
    gradient.setSpread(QGradient::PadSpread);
    gradient.setInterpolationMode(QGradient::ComponentInterpolation);
    gradient.setColorAt(0, f.color.qcolor());
    gradient.setColorAt(1, f.color2.qcolor());
    p.save();
    LWRasterCut::fill(p, path, QBrush(gradient));
    // The PDF engine re-emits a gradient brush's soft mask while it stays set.
    p.setBrush(Qt::NoBrush);
    p.setPen(Qt::NoPen);
    p.restore();
}

void strokePath(const QPainterPath &path, const LWStroke &s, QPainter &p, Qt::PenCapStyle cap)
{
    if (!(s.width >= thinnestOutline) || !std::isfinite(s.width))
        return;
    p.save();
    QPen pen(QBrush(s.color.qcolor()), s.width, Qt::SolidLine, cap, Qt::RoundJoin);
    if (s.dash > 0 && std::isfinite(s.dash)) {
        // Bound the work: at most 10,000 dashes, fewer for very wide pens, whose every dash
        // covers much of the page. A hand-edited dash of 1e-9 pt would otherwise make this
        // renderer and every PDF reader draw billions (they turn invisible far sooner). Bound so,
        // the path ends halfway through a gap: a reader may start a dash of no length where a
        // pattern ends right at it, and a very wide pen draws that as a line across the page.
        const double maxDashes = std::clamp(2e6 / s.width, 1.0, 10000.0);
        const double dash = std::max(s.dash, path.length() / (1.7 * maxDashes - 0.35));
        // Qt measures dashes in pen widths.
        pen.setDashPattern({dash / s.width, 0.7 * dash / s.width});
        pen.setDashOffset(0);
    }
    LWRasterCut::stroke(p, path, pen);
    p.restore();
}

std::optional<PicturePlace> placePicture(const LWElement &e, QSizeF upright)
{
    if (!e.image)
        return std::nullopt;
    const LWImage &pic = *e.image;
    const LWRect frame = e.frame;
    const double wi = upright.width(), hi = upright.height();
    // Crop in whole pixels: origin rounded down, far edges up; outside the picture is cut off.
    const double cw = std::max((1 - pic.cropL - pic.cropR) * wi, 1.0);
    const double ch = std::max((1 - pic.cropT - pic.cropB) * hi, 1.0);
    const double x0 = std::floor(wi * pic.cropL), y0 = std::floor(hi * pic.cropT);
    const double x1 = std::ceil(wi * pic.cropL + cw), y1 = std::ceil(hi * pic.cropT + ch);
    QRectF src = QRectF(x0, y0, x1 - x0, y1 - y0).intersected(QRectF(0, 0, wi, hi));
    if (src.isEmpty() || !src.isValid())
        src = QRectF(0, 0, wi, hi);

    const double picAspect = src.width() / std::max(src.height(), 1.0);
    const double fw = frame.width();
    const double fh = frame.height() <= 0.001 ? 0.001 : frame.height();
    const double frameAspect = fw / fh;
    QSizeF size;
    const bool wider = frameAspect > picAspect;
    if (pic.fit == LWImageFit::fill)
        size = wider ? QSizeF(fw, fw / picAspect) : QSizeF(picAspect * fh, fh);
    else
        size = wider ? QSizeF(picAspect * fh, fh) : QSizeF(fw, fw / picAspect);
    const QRectF target(frame.midX() - size.width() / 2, frame.midY() - size.height() / 2, size.width(),
                        size.height());
    if (!std::isfinite(target.width()) || !std::isfinite(target.height()))
        return std::nullopt;
    // The whole picture mapped so that the crop lands on target: no pixel copies, and a PDF
    // stores each picture once however it is cropped.
    const double sx = target.width() / src.width(), sy = target.height() / src.height();
    return PicturePlace{target, QRectF(target.x() - src.x() * sx, target.y() - src.y() * sy, wi * sx, hi * sy)};
}

void drawImage(const LWElement &e, QPainter &p, const LWRenderOptions &options)
{
    if (!e.image)
        return;
    const LWImage &pic = *e.image;
    const LWRect frame = e.frame;
    const QPainterPath mask = winding(LWGeometry::maskPath(pic.mask, frame, e.cornerRadius));
    p.save();
    auto *sink = options.preview ? nullptr : dynamic_cast<PictureSink *>(p.device());
    const std::optional<PictureSink::StandIn> standIn = sink ? sink->standIn(pic) : std::nullopt;
    // The pixels and the size the crop is measured in: an export's pictures may be decoded
    // smaller than they are, and are cropped as the full picture would be.
    std::optional<QImage> decoded;
    QSizeF upright;
    QRectF part(0, 0, 1, 1); // what the pixels hold of the picture
    bool waiting = false;    // not decoded yet: the stand-in
    if (standIn) {
        upright = standIn->upright;
    } else if (options.pictures && !options.preview) {
        if (const std::optional<LWExportPictures::Picture> found = options.pictures->find(pic))
            decoded = found->image, upright = found->upright, part = found->part;
    } else if (options.pending && options.preview && !options.pending->holds(paintBounds(e))) {
        waiting = true; // beside what the device holds: nothing of it shows
    } else if (options.pending && options.preview) {
        // A smaller step drawn scaled until the one asked comes; the stand-in only before any.
        const QRectF ink = paintBounds(e);
        const LWImageCache::Want want = wantOf(e, p);
        const LWImageCache::Soon soon =
            LWImageCache::previewSoon(pic, options.pending->priorityFor(ink), want, options.pending->showing());
        if ((decoded = soon.image))
            upright = decoded->size();
        waiting = soon.pending && !decoded;
        if (soon.pending)
            options.pending->add(pic, ink, want);
    } else if (!options.preview && LWDecodeWorkers::Cancellable::heard()) {
        // A cancelled export asks for no picture again.
    } else if ((decoded = options.preview ? LWImageCache::image(pic, wantOf(e, p)) : LWImageCache::image(pic, false))) {
        upright = decoded->size();
    }
    const std::optional<PicturePlace> place =
        standIn || (decoded && !decoded->isNull()) ? placePicture(e, upright) : std::nullopt;
    const bool placeholder = !waiting && !standIn && (!decoded || decoded->isNull());
    if (options.tally && !options.preview)
        options.tally->drew(e, placeholder);
    const bool plainMask = pic.mask == LWMask::none && !(e.cornerRadius > 0);
    const bool pixels = place && !waiting && !placeholder && !standIn;
    const QRectF drawn =
        pixels ? QRectF(place->whole.x() + part.x() * place->whole.width(),
                        place->whole.y() + part.y() * place->whole.height(),
                        part.width() * place->whole.width(), part.height() * place->whole.height())
               : QRectF();
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (pixels && LWRasterCut::drawTurned(p, mask, place->target, drawn, *decoded)) {
        p.restore();
        if (hasStroke(e))
            strokePath(mask, *e.stroke, p);
        return;
    }
    LWRasterCut::clip(p, mask, place && !waiting && !placeholder ? &place->target : nullptr, plainMask);
    if (waiting) {
        drawPendingPicture(frame, p);
    } else if (placeholder) {
        drawPhotoPlaceholder(frame, p);
    } else if (standIn) {
        const QRectF &whole = place->whole;
        p.setRenderHint(QPainter::LosslessImageRendering, true); // the device finds it by its pixels
        p.setTransform(standIn->stored * QTransform(whole.width(), 0, 0, whole.height(), whole.x(), whole.y()), true);
        p.drawImage(QRectF(0, 0, 1, 1), standIn->image);
    } else if (pixels) {
        p.drawImage(drawn, *decoded);
    }
    p.restore();
    if (hasStroke(e))
        strokePath(mask, *e.stroke, p);
}

void drawPhotoPlaceholder(const LWRect &rect, QPainter &p)
{
    const LWRect r = rect.standardized();
    const double w = r.w, h = r.h;
    QPainterPath sky;
    sky.addRect(r.toQRectF());
    fill(LWFill::linear(LWColor::hex(0xCFE3EA), LWColor::hex(0xEEF2E6), 90), sky, r, p);

    const double d = 0.18 * std::min(w, h);
    QPainterPath sun;
    sun.addEllipse(QPointF(r.x + 0.68 * w, r.y + 0.26 * h), d / 2, d / 2);
    LWRasterCut::fill(p, winding(sun), opaque(0xF6E7B8));

    struct Hill {
        std::uint32_t color;
        double base, amplitude, phase;
    };
    for (const Hill &hill : {Hill{0x9DBFA8, 0.62, 0.07, 0.6}, Hill{0x6E9C83, 0.74, 0.06, 2.4},
                             Hill{0x4E7D66, 0.86, 0.04, 4.0}}) {
        QPainterPath path;
        path.moveTo(r.x, r.y + h);
        for (int i = 0; i <= 24; ++i)
            path.lineTo(r.x + w * i / 24.0,
                        r.y + h * (hill.base + hill.amplitude * std::sin(2 * std::numbers::pi * i / 24.0 + hill.phase)));
        path.lineTo(r.x + w, r.y + h);
        path.closeSubpath();
        LWRasterCut::fill(p, winding(path), opaque(hill.color));
    }
}

void drawPendingPicture(const LWRect &rect, QPainter &p)
{
    const QRectF r = rect.standardized().toQRectF();
    p.save();
    p.fillRect(r, QColor(0xEE, 0xF0, 0xEE));
    // A sixth of the frame's shorter side, kept between 14 and 48 device pixels (so it follows
    // the view's zoom within reason), and never past a third of the frame.
    const QTransform &m = p.worldTransform();
    const double perPoint = std::max(std::sqrt(std::abs(m.determinant())), 1e-6);
    const double side = std::min(r.width(), r.height());
    const double d = std::min(std::clamp(side / 6, 14 / perPoint, 48 / perPoint), side / 3);
    if (d > 0 && std::isfinite(d)) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QPointF c = r.center();
        const int dots = 8;
        for (int i = 0; i < dots; ++i) {
            const double a = 2 * std::numbers::pi * i / dots;
            const QPointF at = c + QPointF(std::cos(a), std::sin(a)) * (d * 0.38);
            QColor dot(0x8A, 0x94, 0x8E);
            dot.setAlphaF(0.25 + 0.75 * i / (dots - 1));
            QPainterPath path;
            path.addEllipse(at, d * 0.09, d * 0.09);
            p.fillPath(path, dot);
        }
    }
    p.restore();
}

int bandCount(int width, int height)
{
    if (qint64(width) * height < minBandedPixels)
        return 1;
    return std::clamp(height / minBandRows, 1, LWParallel::workers());
}

void paintBands(QImage &image, int bands, bool opaqueWhite, const std::function<void(QPainter &)> &paint)
{
    const int h = image.height();
    bands = std::clamp(bands, 1, std::max(h, 1));
    if (bands == 1) {
        image.fill(opaqueWhite ? Qt::white : Qt::transparent);
        QPainter p(&image);
        paint(p);
        return;
    }
    uchar *bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const int rows = (h + bands - 1) / bands;
    LWParallel::forEach(bands, [&](int i) {
        const int top = i * rows, bottom = std::min(h, top + rows);
        if (top >= bottom)
            return;
        QImage rowsOnly(bits + top * stride, image.width(), bottom - top, stride, image.format());
        paintRows(rowsOnly, top, h, opaqueWhite, paint);
    });
}

void paintRows(QImage &rows, int top, int height, bool opaqueWhite, const std::function<void(QPainter &)> &paint)
{
    if (rows.isNull() || top < 0 || top + rows.height() > height || height > maxSide)
        return;
    rows.fill(opaqueWhite ? Qt::white : Qt::transparent);
    paintOverRows(rows, top, height, paint);
}

void paintOverRows(QImage &rows, int top, int height, const std::function<void(QPainter &)> &paint)
{
    if (rows.isNull() || top < 0 || top + rows.height() > height || height > maxSide)
        return;
    // The rows paint through an image object as tall as the whole bitmap whose first row lies
    // `top` rows above them, clipped to them: the device, and so every coordinate, is the one a
    // single pass sees, and the raster engine touches nothing outside the clip. (A device of
    // the rows alone would shift gradients and pictures by rounding and let Qt dash strokes
    // differently, since its dasher skips what lies outside the device.)
    const qsizetype stride = rows.bytesPerLine();
    auto *origin = reinterpret_cast<uchar *>(reinterpret_cast<quintptr>(rows.bits()) - quintptr(top) * quintptr(stride));
    QImage whole(origin, rows.width(), height, stride, rows.format());
    QPainter p(&whole);
    p.setClipRect(QRect(0, top, rows.width(), rows.height()));
    paint(p);
}

namespace {

// The page's area drawn at sx x sy pixels per point onto a w x h bitmap.
std::optional<QImage> pageBitmap(const LWDocument &doc, int page, const LWRect &area, qint64 w, qint64 h, double sx,
                                 double sy, bool opaqueWhite, const LWRenderOptions &options)
{
    auto image = makeBitmap(w, h);
    if (!image)
        return std::nullopt;
    paintBands(*image, bandCount(image->width(), image->height()), opaqueWhite, [&](QPainter &p) {
        p.scale(sx, sy);
        p.translate(-area.minX(), -area.minY());
        draw(doc.pages[page], doc, p, options);
    });
    return image;
}

std::optional<LWRect> pageArea(const LWDocument &doc, int page, bool includeBleed)
{
    if (page < 0 || page >= doc.pages.size())
        return std::nullopt;
    const LWRect area = includeBleed ? doc.bleedRect() : doc.trimRect();
    if (area.isNull() || !positive(area.width()) || !positive(area.height()))
        return std::nullopt;
    return area;
}

} // namespace

std::optional<QImage> bitmap(const LWDocument &doc, int page, double ppp, bool includeBleed, bool opaqueWhite,
                             const LWRenderOptions &options)
{
    const std::optional<LWRect> area = pageArea(doc, page, includeBleed);
    if (!area || !positive(ppp))
        return std::nullopt;
    return pageBitmap(doc, page, *area, LWUnits::roundClamped(area->width() * ppp),
                      LWUnits::roundClamped(area->height() * ppp), ppp, ppp, opaqueWhite, options);
}

std::optional<QImage> bitmap(const LWDocument &doc, int page, DPI dpi, bool includeBleed)
{
    const std::optional<PrintPage> print = printPage(doc, page, dpi, includeBleed);
    if (!print)
        return std::nullopt;
    auto image = makeBitmap(print->width, print->height);
    if (!image)
        return std::nullopt;
    paintBands(*image, bandCount(image->width(), image->height()), true, print->paint);
    return image;
}

std::optional<PrintPage> printPage(const LWDocument &doc, int page, DPI dpi, bool includeBleed,
                                   const LWRenderOptions &options)
{
    const std::optional<LWRect> area = pageArea(doc, page, includeBleed);
    if (!area || !positive(dpi.value))
        return std::nullopt;
    const qint64 w = LWUnits::pixels(area->width(), dpi.value), h = LWUnits::pixels(area->height(), dpi.value);
    if (w < 1 || h < 1 || w > maxSide || h > maxSide)
        return std::nullopt;
    const double sx = double(w) / area->width(), sy = double(h) / area->height();
    const LWRect box = *area;
    return PrintPage{int(w), int(h),
                     [&doc, page, box, sx, sy, options](QPainter &p) {
                         p.scale(sx, sy);
                         p.translate(-box.minX(), -box.minY());
                         draw(doc.pages[page], doc, p, options);
                     },
                     [&doc, page, box, sx, sy](QPainter &p, int part, const LWRenderOptions &partOptions) {
                         p.scale(sx, sy);
                         p.translate(-box.minX(), -box.minY());
                         drawPart(doc.pages[page], doc, p, part, partOptions);
                     }};
}

std::optional<QImage> bitmap(int width, int height, bool opaqueWhite, const std::function<void(QPainter &)> &paint)
{
    auto image = makeBitmap(width, height);
    if (!image)
        return std::nullopt;
    paintBands(*image, bandCount(image->width(), image->height()), opaqueWhite, [&](QPainter &p) {
        prepare(p);
        if (paint)
            paint(p);
    });
    return image;
}

} // namespace LWRenderer

void LWPendingPictures::add(const LWImage &image, const QRectF &ink, const LWImageCache::Want &want)
{
    QMutexLocker guard(&m_lock);
    m_pictures.append({image, ink, want});
}

QList<LWPendingPictures::Picture> LWPendingPictures::pictures() const
{
    QMutexLocker guard(&m_lock);
    return m_pictures;
}
