#pragma once
#include "editor/imagepicker.h"
#include "render/renderer.h"
#include "ui/canvas/gestures.h"

#include <QImage>
#include <QRectF>
#include <QSet>
#include <QWidget>
#include <functional>
#include <optional>

// The page view: exactly (width + 2 bleed) x (height + 2 bleed) page points at `scale`, origin at
// the top-left of the bleed box. Paints the shown side (white where rendering fails), the drop
// outline while a picture hovers, and turns left-button presses, drags and releases into
// CanvasGestures calls with each event's modifiers. While a top-level text of the shown side is
// being edited, its inline editor lies over it; a box the text tool has just made opens with its
// words selected. A double-click opens the item under it after the
// release that ends its drag; a dropped picture file or picture data is placed where it lands.
//
// Only the visible part plus a margin is rendered, at scale x the painter's device scale, into
// one bitmap of at most maxPixels (the margin shrinks first, then the density). The bitmap is kept
// while the side, bleed box, scale, density and skipped element stay the same and it still covers
// what is visible, as densely as that part would be drawn: a selection change, a lock, a rename or a repaint renders nothing, and a design
// change whose ink is known (LWRenderer::changedInk) renders only that part anew.
//
// Pictures are never waited for: each is asked at the step of its size on screen, and one whose
// step is not decoded yet shows as a stand-in, or the smaller step it had scaled, while it decodes
// beside (those on screen first, then the margin's); its part is rendered anew when it comes
// (LWPendingPictures). The bitmap's pictures stay in the preview table (LWImageCache::Showing),
// so that once all came nothing more is asked until the view, its zoom or the design changes.
class PageCanvas : public QWidget {
    Q_OBJECT
public:
    // Draws a w x h pixel bitmap through `paint` (LWRenderer::bitmap by default).
    using Render = std::function<std::optional<QImage>(int w, int h, const std::function<void(QPainter &)> &paint)>;
    static constexpr qint64 maxPixels = 16'000'000;
    static constexpr double margin = 200; // view points rendered around the visible part

    explicit PageCanvas(LWEditor &editor, QWidget *parent = nullptr);

    LWEditor &editor() const { return m_editor; }
    CanvasGestures &gestures() { return m_gestures; }
    double scale() const { return m_gestures.scale(); }
    void setScale(double scale); // also resizes the view
    QSize sizeFor(double scale) const;

    bool dropTarget() const { return m_dropTarget; }
    void setDropTarget(bool on);

    void setRender(Render render) { m_render = std::move(render); }
    // The picture chooser a double-click on a picture opens for that picture (LWImagePicker::choose
    // by default).
    using Chooser = std::function<void(LWEditor &, const LWPictureTarget &, QWidget *parent)>;
    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }
    // Dropped pictures are read off the main thread and placed where they were aimed at the drop
    // (LWEditor::pictureTarget of the drop point) once ready.
    // How dropped files are opened (LWImagePicker's ordinary files by default).
    void setOpener(LWImagePicker::Opener open) { m_opener = std::move(open); }
    class InlineEditorHost *inlineEditor() const { return m_inline; }

    // A double-click at a page point: selects the item under it, edits a text, offers a new
    // picture for a picture (the chooser runs from the event loop, never inside the handler).
    void doubleClick(QPointF page);
    int renderCount() const { return m_renderCount; }

    // The bitmap covering `visible` (view points) at `density` device pixels per view point, and
    // where it lies in view points; rendered only when the kept one does not serve.
    struct Bitmap {
        QImage image; // null: rendering failed, white is shown
        QRectF rect;
    };
    const Bitmap &bitmapFor(const QRectF &visible, double density);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void drawAnew(); // queued: the whole view drawn again at the next paint
    struct Key {
        quint64 revision = 0; // of the design; a new one is checked against `m_drawn`
        int page = 0;
        double scale = 0, density = 0;
        std::optional<QUuid> skip;
        friend bool operator==(const Key &, const Key &) = default;
    };
    void startDrag(QPointF at, Qt::KeyboardModifiers modifiers);
    // Draws the kept bitmap's part over `ink` (page points) anew; white when that fails.
    void renderPart(const QRectF &ink);
    void syncInlineEditor();
    // The options of the view's drawing; its pictures still decoding are noted in m_renders.
    // `shown` and `drawn` in view points: the visible part, and the part the bitmap drawn holds.
    LWRenderOptions viewOptions(const QRectF &shown, const QRectF &drawn);
    // Renders anew where pictures that were still decoding have come.
    void picturesCame();

    LWEditor &m_editor;
    CanvasGestures m_gestures;
    LWImageCache::Showing m_showing; // what the bitmap shows
    Render m_render;
    quint64 m_revision = 0;
    std::optional<Key> m_key;
    LWPage m_drawn; // the side as the bitmap shows it
    LWRect m_drawnBleed;
    Bitmap m_bitmap;
    double m_density = 0; // the bitmap's pixels per view point
    int m_renderCount = 0;
    QList<std::shared_ptr<LWPendingPictures>> m_renders; // the kept bitmap's, noting pictures still decoding
    QList<LWPendingPictures::Picture> m_waiting;          // taken from them, still decoding
    bool m_cameQueued = false;
    bool m_dropTarget = false;
    std::optional<QPointF> m_pressAt; // view points, while the left button is down
    std::optional<QPointF> m_doubleClickAt; // run at the release that ends its drag
    Chooser m_chooser;
    LWImagePicker::Opener m_opener;
    class InlineEditorHost *m_inline = nullptr;
};
