#pragma once
// Paths cut to what a raster painter can show. Qt's raster engine rasterises a turned path, to
// clip or to fill, over its whole extent: a page drawn a band at a time would pay for a whole
// turned frame in every band. Cut to the band's rows in device pixels first, a path costs what
// the band shows of it.
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QTransform>

namespace LWRasterCut {

// `path` (winding) intersected with `target` when given (a rectangle turned with the path), both
// mapped by `device` and cut to `visible` (device pixels). Curves are flattened to a sixteenth of
// the half pixel Qt flattens to, so the cut path covers the pixels the whole path would, to a
// level or two of their anti-aliased edge; every cut of the same path shares its edges, so bands
// cut apart join without a seam.
[[nodiscard]] QPainterPath cut(const QPainterPath &path, const QRectF *target, const QTransform &device,
                               const QRectF &visible);

// Clips the painter to `mask` and, when given, `target` (both under its transform). On a raster
// device the clip is cut to what the painter can show; an upright plain mask and an upright target
// stay Qt's own pixel-aligned rectangles, as on every other device.
void clip(QPainter &p, const QPainterPath &mask, const QRectF *target, bool plainMask);

// The winding path to fill: on a raster device under a turn, cut to what the painter can show
// when it reaches far past that (the same pixels, drawn at the cost of what shows); else itself.
[[nodiscard]] QPainterPath shown(const QPainterPath &path, QPainter &p);

} // namespace LWRasterCut
