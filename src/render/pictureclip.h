#pragma once
// The clip of a picture drawn on a raster device, worked out in device pixels and cut to the
// rows and columns that can show. Qt's raster engine rasterises a clip path over its whole
// extent, so a page drawn a band at a time would pay for the whole turned frame in every band;
// a clip cut to the band costs what the band shows.
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QTransform>

namespace LWPictureClip {

// `mask` (page points) intersected with `target` when given (a rectangle in page points, turned
// with the mask), both mapped by `device` and cut to `visible` (device pixels). Curves are
// flattened to well under a hundredth of a pixel's area at the edge, so the cut path covers the
// pixels the whole path would, to a level or two of their anti-aliased edge; every cut of the
// same mask shares its edges, so bands cut apart join without a seam. Winding fill.
[[nodiscard]] QPainterPath cut(const QPainterPath &mask, const QRectF *target, const QTransform &device,
                               const QRectF &visible);

// Clips the painter to `mask` and, when given, `target` (page points under its transform). On a
// raster device the clip is cut to what the painter can show; an upright plain mask and an upright
// target stay Qt's own pixel-aligned rectangles, as on every other device.
void apply(QPainter &p, const QPainterPath &mask, const QRectF *target, bool plainMask);

} // namespace LWPictureClip
