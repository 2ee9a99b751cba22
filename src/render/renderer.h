#pragma once
#include "model/document.h"
#include "render/pictures/imagecache.h"

#include <QImage>
#include <QMutex>
#include <QPainter>
#include <QPainterPath>
#include <QSet>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>

class LWExportPictures;
class LWPendingPictures;
class LWPictureTally;

// What a drawing call may leave out or simplify. Never stored.
struct LWRenderOptions {
    bool preview = false; // pictures from the preview cache, at the step of their drawn size (at most 1600 px)
    QSet<QUuid> skip;     // elements not drawn; a skipped group hides its members too
    // An export's own decoded pictures, drawn instead of the cache's (full-size drawing only); a
    // picture it lacks is drawn as the missing-picture art.
    std::shared_ptr<const LWExportPictures> pictures;
    // Preview drawing only: set, pictures are not waited for (see LWPendingPictures); unset, a
    // picture is decoded before it is drawn, as print output needs.
    std::shared_ptr<LWPendingPictures> pending;
    // Told of every picture drawn at full size (an export's, to say which were not drawn whole).
    std::shared_ptr<LWPictureTally> tally;
};

// Drawing that never waits for a picture (the page view's): each picture is asked at the step of
// the size it is drawn at (LWImageCache::previewSoon, noted in `showing`), at `priority`, one
// higher when it crosses `onScreen` (page points). One not decoded yet is drawn as a stand-in (its
// frame with a light fill and a small busy sign), one decoded smaller than asked is drawn scaled;
// where each such picture lies is noted, to be drawn anew once its step came. A picture wholly
// beside `drawn` (page points; null: all of the page), which the drawing's device does not hold,
// is neither asked for nor noted. Bands may draw at once: thread-safe.
class LWPendingPictures {
public:
    LWPendingPictures(int priority, const QRectF &onScreen, LWImageCache::Showing *showing = nullptr,
                      const QRectF &drawn = {})
        : m_priority(priority), m_onScreen(onScreen), m_showing(showing), m_drawn(drawn)
    {
    }
    struct Picture {
        LWImage image; // shares the record's bytes
        QRectF ink;    // page points
        LWImageCache::Want want;
    };
    int priorityFor(const QRectF &ink) const { return m_priority + (ink.intersects(m_onScreen) ? 1 : 0); }
    bool holds(const QRectF &ink) const { return m_drawn.isNull() || ink.intersects(m_drawn); }
    LWImageCache::Showing *showing() const { return m_showing; }
    void add(const LWImage &image, const QRectF &ink, const LWImageCache::Want &want);
    [[nodiscard]] QList<Picture> pictures() const;

private:
    int m_priority;
    QRectF m_onScreen;
    LWImageCache::Showing *m_showing;
    QRectF m_drawn;
    mutable QMutex m_lock;
    QList<Picture> m_pictures;
};

// Draws pages and elements into any QPainter whose user space is page space (points, origin at
// the top-left of the trim, y down), and makes page bitmaps. Keeps no state of its own; the font,
// picture and icon caches it reaches are thread-safe, so it runs on any thread.
namespace LWRenderer {

// Largest bitmap any call here makes (pixels); bigger requests give none. Raster export draws a
// page a band at a time (printPage, paintRows) and is bound only by maxSide.
inline constexpr qint64 maxBitmapPixels = 200'000'000;
// Longest side, in pixels, of anything drawn here: Qt's rasteriser takes no larger coordinates.
inline constexpr int maxSide = 32767;

// A vector paint device that can hold transparency groups (the PDF writer): a half-transparent
// element whose parts overlap is drawn at full strength into a group that is then blended at the
// element's opacity, so the PDF keeps it as vectors and text. Devices without it get an
// offscreen layer instead.
class LayerSink {
public:
    virtual ~LayerSink() = default;
    // Drawing until the matching endLayer goes into a group blended at opacity; false when the
    // device cannot start one (the renderer then falls back to a bitmap layer).
    [[nodiscard]] virtual bool beginLayer(QPainter &p, double opacity) = 0;
    virtual void endLayer(QPainter &p) = 0;
};

// A vector paint device that embeds pictures itself (the PDF writer): the renderer draws the
// stand-in it gives, through the same clip, crop, transform and opacity as the picture, and the
// device later puts the picture in the stand-in's place. Full-size drawing only.
class PictureSink {
public:
    virtual ~PictureSink() = default;
    struct StandIn {
        QImage image;      // the same image (cache key) every time for one picture
        QSize upright;     // the picture's upright pixel size, which the crop and fit use
        QTransform stored; // maps the stand-in's unit square onto the upright unit square
    };
    // None when the device cannot take the picture: the renderer then draws its pixels or the
    // missing-picture drawing, as on any device.
    [[nodiscard]] virtual std::optional<StandIn> standIn(const LWImage &picture) = 0;
};

// A resolution in dots per inch, to tell the print-resolution bitmap from the scaled one.
struct DPI {
    double value;
};

void draw(const LWPage &page, const LWDocument &doc, QPainter &p, const LWRenderOptions &options = {});
void draw(const LWElement &element, QPainter &p, const LWRenderOptions &options = {});
// Where, in page points, drawing `after` may give other pixels than drawing `before` (same
// document size): the ink of the elements added, removed or changed, in both versions (a text's
// from its glyphs' outlines). A group shown at full opacity counts as its members. Empty when none
// differ but in name or lock flag (or in how they are grouped); none when that is not known cheaply
// (the background changed, the stacking order of unchanged elements moved, ids repeat).
[[nodiscard]] std::optional<QRectF> changedInk(const LWPage &before, const LWPage &after);
void drawShape(const LWElement &element, QPainter &p);
// Where a picture of `upright` pixels is drawn in its element's frame, in page points: `whole`
// is the whole picture's rectangle, placed so that its crop lands on `target`, to which it is
// clipped. None when the numbers are not finite.
struct PicturePlace {
    QRectF target, whole;
};
[[nodiscard]] std::optional<PicturePlace> placePicture(const LWElement &element, QSizeF upright);
void drawImage(const LWElement &element, QPainter &p, const LWRenderOptions &options);
void drawPhotoPlaceholder(const LWRect &rect, QPainter &p);
// A picture not decoded yet: the rectangle lightly filled, a small busy sign in its middle.
void drawPendingPicture(const LWRect &rect, QPainter &p);
// Paints the path with the fill; gradients span the reference rectangle.
void fill(const LWFill &fill, const QPainterPath &path, const LWRect &reference, QPainter &p);
// Round joins; dashes of `dash` on and 0.7 x dash off. Callers check width > 0.
void strokePath(const QPainterPath &path, const LWStroke &stroke, QPainter &p, Qt::PenCapStyle cap = Qt::FlatCap);

// The page (trim, or bleed when includeBleed) at pixelsPerPoint. None for a page index out of
// range, a size that rounds to 0 pixels or is not finite, or one over maxBitmapPixels.
[[nodiscard]] std::optional<QImage> bitmap(const LWDocument &doc, int page, double pixelsPerPoint, bool includeBleed,
                                           bool opaque = true, const LWRenderOptions &options = {});
// The page at a print resolution: always opaque white underneath, full pictures; each axis is
// scaled on its own so that the area fills the whole-pixel bitmap exactly.
[[nodiscard]] std::optional<QImage> bitmap(const LWDocument &doc, int page, DPI dpi, bool includeBleed);
// A width x height pixel bitmap drawn by `paint` in pixel units, origin top-left. Like the page
// bitmaps it is drawn in bands: paint runs once per band, maybe on several threads at once.
[[nodiscard]] std::optional<QImage> bitmap(int width, int height, bool opaque,
                                           const std::function<void(QPainter &)> &paint);

// What bitmap(doc, page, dpi, includeBleed) draws, for drawing it a band at a time with
// paintRows: its pixel size and the drawing in pixel units. None as for that bitmap, except that
// only maxSide bounds the size. paint refers to doc, which must outlive it.
struct PrintPage {
    int width = 0, height = 0;
    std::function<void(QPainter &)> paint;
    // One part of the same drawing, with other options: the background (part -1) or the page's
    // element `part` alone. The parts drawn in order over white give paint's pixels.
    std::function<void(QPainter &, int part, const LWRenderOptions &)> paintPart;
};
[[nodiscard]] std::optional<PrintPage> printPage(const LWDocument &doc, int page, DPI dpi, bool includeBleed,
                                                 const LWRenderOptions &options = {});

// Rows [top, top + rows.height()) of a width x `height` bitmap that paintBands would make with the
// same paint, drawn into `rows` (32-bit premultiplied, width as the bitmap's): the same pixels to
// the bit, since the painter sees the whole bitmap's coordinates, clipped to these rows. Any
// thread; height at most maxSide.
void paintRows(QImage &rows, int top, int height, bool opaque, const std::function<void(QPainter &)> &paint);
// paintRows over the rows' present pixels, which are not filled first.
void paintOverRows(QImage &rows, int top, int height, const std::function<void(QPainter &)> &paint);

// How many horizontal bands the bitmaps above split a width x height image into: 1 below a
// megapixel, else one per core (bands at least 64 rows high).
int bandCount(int width, int height);
// Fills the image (white when opaque, else transparent) and runs paint once per band of rows, on
// all cores. Each band paints the shared pixels (no copy) in whole-image coordinates, clipped to
// its rows. The bands join without seams and match one pass, except that Qt rounds a turned clip
// path a little differently under a band's clip: the anti-aliased edge pixels of a rotated
// picture may differ by one or two levels.
void paintBands(QImage &image, int bands, bool opaque, const std::function<void(QPainter &)> &paint);

} // namespace LWRenderer
