#pragma once
// Paths cut to what a raster painter can show. Qt's raster engine rasterises a path, to clip, fill
// or stroke, over its whole extent within the device, whatever the clip: a page drawn a band at a
// time would pay for a whole frame, outline or star in every band. Cut to the band's rows in
// device pixels first, a path costs what the band shows of it.
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QTransform>

namespace LWRasterCut {

// Every cut path is cut at each multiple of this many device rows and columns, and what shows is
// widened to them: a band's (or a repainted part's) cut then has the same vertices within it as
// the whole page's, so its edges are the same to the last level (Qt rounds each vertex; a vertex
// elsewhere on an edge tilts it by a fraction of a level). A layer drawn for a part starts on
// such a row and column.
inline constexpr int gridRows = 8;

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

// Fills the winding `path` with `brush`. On a raster device a path that spans more than a few
// dozen device rows (turned or not) is cut to what the painter can show first. The rule asks
// nothing of what shows, so a page drawn in one pass cuts the same paths as its bands and gets
// their pixels.
void fill(QPainter &p, const QPainterPath &path, const QBrush &brush);

// Strokes `path` with `pen` as QPainter::strokePath does. On a raster device a pen wider than a
// pixel has its outline made here and filled through fill(): a band pays for what it shows of
// the outline, not for the whole of it. That outline keeps to the true curve within a sixteenth
// of a device pixel, and its dashes are laid along it (Qt's own keep to a quarter of a point and
// lay dashes along curves flattened to half a point, pixels off at print resolutions).
// Any width a double holds costs what shows: on every device a round-joined pen wider than four
// times what the path and the painter's reach span together is drawn at that width (it covers
// the same there, its dashes as long), and on a raster device the arcs of a pen whose round joins
// or caps would need over 256 even steps per half turn are cut finer only where they show. A
// pattern Qt's PDF writer cannot write (it writes a number's whole part as 32 bits) is laid here.
void stroke(QPainter &p, const QPainterPath &path, const QPen &pen);

// Draws `image`, placed on `rect`, within `mask` and `target` (the painter's space), as clipping
// to them and drawing it would, when the painter is a raster device under a turn; else draws
// nothing and returns false. Drawn in tiles of what shows, each filled with the picture's pixels
// it needs: a band pays for what it shows, and the picture's edge is the same on a page drawn
// whole as in bands (Qt's own turned drawing cuts its edge at a band's).
[[nodiscard]] bool drawTurned(QPainter &p, const QPainterPath &mask, const QRectF &target, const QRectF &rect,
                              const QImage &image);

// Device pixels, summed over every call above on a raster device, of the bounds of what the
// painter was handed to fill, stroke or clip by (within the device): what the bands cost Qt's
// rasteriser, counted the same however busy the machine is.
[[nodiscard]] qint64 askedPixels();

// Elements, summed over every stroke() on a raster device, of the outlines it handed to fill()
// (with the joins and caps made here): what outlines cost the cut, whatever the machine's load.
[[nodiscard]] qint64 outlineElements();

// Fills, summed over every stroke() on a raster device, of an outline as the union of its parts a
// square at a time (a pen 256 device pixels wide or wider, or one drawn as what it covers): which
// way a wide pen was drawn, as either draws the same pixels.
[[nodiscard]] qint64 unionFills();

} // namespace LWRasterCut
