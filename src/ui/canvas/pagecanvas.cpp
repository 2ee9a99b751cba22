#include "ui/canvas/pagecanvas.h"

#include "kit/host/focusedtext.h"
#include "kit/paint/paint.h"
#include "kit/theme/style.h"
#include "ui/canvas/overlays.h"
#include "editor/imagepicker.h"
#include "editor/widgets/imagepickerdialog.h"
#include "kit/zoom/zoomhost.h"
#include "ui/canvas/inlinetexteditor.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/picturequeue.h"
#include "render/raster/rastercut.h"
#include "render/renderer.h"

#include <QMimeData>
#include <QScopeGuard>
#include <QMouseEvent>
#include <QTimer>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <set>
#include <tuple>

PageCanvas::PageCanvas(LWEditor &editor, QWidget *parent)
    : QWidget(parent), m_editor(editor), m_gestures(editor),
      m_render([](int w, int h, const std::function<void(QPainter &)> &paint) {
          return LWRenderer::bitmap(w, h, true, paint);
      }),
      m_chooser([](LWEditor &e, const LWPictureTarget &target, QWidget *parent) {
          LWImagePicker::choose(e, target, parent);
      })
{
    setCursor(Qt::ArrowCursor);
    setAcceptDrops(true);
    setFocusPolicy(Qt::ClickFocus);
    setProperty(vkKeyboardHomeProperty, true); // fields give the keyboard back here
    setAttribute(Qt::WA_OpaquePaintEvent);
    auto redraw = [this] { update(); };
    auto changedDesign = [this] {
        ++m_revision;
        syncInlineEditor();
        update();
    };
    connect(&editor, &LWEditor::docChanged, this, changedDesign);
    connect(&editor, &LWEditor::sideChanged, this, changedDesign);
    connect(&editor, &LWEditor::editingTextIDChanged, this, [this] {
        syncInlineEditor();
        update();
    });
    for (auto signal : {&LWEditor::selectionChanged, &LWEditor::toolChanged,
                        &LWEditor::snapLinesChanged, &LWEditor::showBleedChanged, &LWEditor::showTrimChanged,
                        &LWEditor::showSafeChanged, &LWEditor::showGridChanged})
        connect(&editor, signal, this, redraw);
    // Coalesced: several pictures often come at once.
    connect(&LWPictureQueue::shared(), &LWPictureQueue::finished, this, [this] {
        if ((m_renders.isEmpty() && m_waiting.isEmpty()) || std::exchange(m_cameQueued, true))
            return;
        QTimer::singleShot(0, this, [this] {
            m_cameQueued = false;
            picturesCame();
        });
    });
    setScale(1);
}

QSize PageCanvas::sizeFor(double scale) const
{
    const LWDocument &doc = m_editor.doc();
    return {int(std::lround((doc.width + 2 * doc.bleed) * scale)), int(std::lround((doc.height + 2 * doc.bleed) * scale))};
}

void PageCanvas::setScale(double scale)
{
    m_gestures.setScale(scale);
    setFixedSize(sizeFor(m_gestures.scale()));
    syncInlineEditor();
    update();
}

void PageCanvas::setDropTarget(bool on)
{
    m_dropTarget = on;
    update();
}

const PageCanvas::Bitmap &PageCanvas::bitmapFor(const QRectF &visible, double density)
{
    const QRectF whole(QPointF(0, 0), QSizeF(size()));
    const QRectF shown = visible.intersected(whole);
    const Key key{m_revision, m_editor.pageIndex(), scale(), density, m_editor.editingTextID()};
    const LWDocument &now = m_editor.doc();
    const bool onlyRevised = m_key && m_key->revision != key.revision && [&] {
        Key revised = *m_key;
        revised.revision = key.revision;
        return revised == key;
    }();
    if (onlyRevised && m_bitmap.rect.contains(shown) && !m_bitmap.image.isNull() && key.page < now.pages.size() &&
        m_drawnBleed == now.bleedRect())
        if (const std::optional<QRectF> ink = LWRenderer::changedInk(m_drawn, now.pages[key.page])) {
            m_drawn = now.pages[key.page];
            m_key->revision = key.revision;
            if (!ink->isEmpty()) // else a lock or a rename: the same pixels
                renderPart(*ink);
        }
    // Grow by the margin, shrink the margin and then the density until it fits the budget.
    QRectF area = shown.adjusted(-margin, -margin, margin, margin).intersected(whole);
    if (area.width() * area.height() * density * density > maxPixels)
        area = shown;
    double d = density;
    if (area.width() * area.height() * d * d > maxPixels)
        d = std::sqrt(double(maxPixels) / (area.width() * area.height()));
    // A bitmap drawn thinner for a larger part (a paint that knew no visible part drew all of
    // it) does not serve a smaller one: its pictures would stay at their thinner steps.
    if (m_key == key && m_bitmap.rect.contains(shown) && m_density >= d * 0.98)
        return m_bitmap;

    // Whole device pixels, so the bitmap is drawn one to one; rounding up may step over the budget.
    QPointF from;
    int w = 0, h = 0;
    for (;; d *= 0.99) {
        from = QPointF(std::floor(area.left() * d) / d, std::floor(area.top() * d) / d);
        w = std::max(1, int(std::ceil(area.right() * d - from.x() * d)));
        h = std::max(1, int(std::ceil(area.bottom() * d - from.y() * d)));
        if (qint64(w) * h <= maxPixels || d < 0.01)
            break;
    }

    const LWDocument doc = m_editor.doc();
    const int page = m_editor.pageIndex();
    m_renders.clear();
    m_waiting.clear();
    const LWRenderOptions options = viewOptions(shown, QRectF(from, QSizeF(w / d, h / d)));
    const double s = scale();
    ++m_renderCount;
    m_showing.begin(true);
    const std::optional<QImage> image =
        page < doc.pages.size() ? m_render(w, h, [&](QPainter &p) {
            p.scale(d, d);
            p.translate(-from);
            p.scale(s, s);
            p.translate(doc.bleed, doc.bleed);
            LWRenderer::draw(doc.pages[page], doc, p, options);
        })
                                : std::nullopt;
    const bool capRose = m_showing.done();
    m_key = key;
    m_drawn = page < doc.pages.size() ? doc.pages[page] : LWPage();
    m_drawnBleed = doc.bleedRect();
    m_bitmap = {image.value_or(QImage()), QRectF(from, QSizeF(w / d, h / d))};
    m_density = d;
    if (capRose)
        drawAnew();
    return m_bitmap;
}

void PageCanvas::renderPart(const QRectF &ink)
{
    const LWDocument &doc = m_editor.doc();
    const double s = scale(), d = m_density;
    const QPointF from = m_bitmap.rect.topLeft();
    // A pixel more all round: antialiased edges reach into the pixel beside their ink.
    const QRectF view((ink.topLeft() + QPointF(doc.bleed, doc.bleed)) * s, ink.size() * s);
    QRect part = QRectF((view.topLeft() - from) * d, view.size() * d)
                     .toAlignedRect()
                     .adjusted(-1, -1, 1, 1)
                     .intersected(m_bitmap.image.rect());
    if (part.isEmpty())
        return;
    // Started on the grid large shapes are cut on, the part's edges are the whole bitmap's.
    const int grid = LWRasterCut::gridRows;
    part.setTopLeft(QPoint(part.left() / grid * grid, part.top() / grid * grid));
    const LWRenderOptions options =
        viewOptions(visibleRegion().boundingRect(), QRectF(from + QPointF(part.topLeft()) / d, QSizeF(part.size()) / d));
    const LWPage &page = m_drawn;
    ++m_renderCount;
    m_showing.begin(false);
    const auto done = qScopeGuard([this] {
        if (m_showing.done())
            drawAnew();
    });
    const std::optional<QImage> image = m_render(part.width(), part.height(), [&](QPainter &p) {
        // Clipped, so elements away from the part are skipped.
        p.setClipRect(QRect(QPoint(), part.size()), Qt::IntersectClip);
        p.translate(-part.topLeft());
        p.scale(d, d);
        p.translate(-from);
        p.scale(s, s);
        p.translate(doc.bleed, doc.bleed);
        LWRenderer::draw(page, doc, p, options);
    });
    if (!image) {
        m_bitmap.image = QImage();
        return;
    }
    QPainter p(&m_bitmap.image);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(part.topLeft(), *image);
}

LWRenderOptions PageCanvas::viewOptions(const QRectF &shown, const QRectF &drawn)
{
    LWRenderOptions options;
    options.preview = true;
    if (m_editor.editingTextID())
        options.skip.insert(*m_editor.editingTextID());
    // Above the print check's and the thumbnails' pictures; the visible part's first.
    const double s = scale(), bleed = m_editor.doc().bleed;
    const auto toPage = [&](const QRectF &r) { return QRectF(r.topLeft() / s - QPointF(bleed, bleed), r.size() / s); };
    options.pending = std::make_shared<LWPendingPictures>(2, toPage(shown), &m_showing, toPage(drawn));
    m_renders.append(options.pending);
    return options;
}

void PageCanvas::picturesCame()
{
    for (const std::shared_ptr<LWPendingPictures> &render : std::as_const(m_renders))
        m_waiting += render->pictures();
    m_renders.clear();
    // Each picture once per place: every part drawn again notes the pictures it crosses anew.
    QList<LWPendingPictures::Picture> still;
    QList<QRectF> inks;
    std::set<std::tuple<const char *, double, double, double, double>> seen;
    for (const LWPendingPictures::Picture &picture : std::as_const(m_waiting)) {
        const QRectF &r = picture.ink;
        if (!seen.insert({picture.image.data->constData(), r.x(), r.y(), r.width(), r.height()}).second)
            continue;
        if (LWImageCache::previewSoon(picture.image, 2, picture.want, &m_showing).pending)
            still.append(picture);
        else
            inks.append(picture.ink);
    }
    m_waiting = still;
    if (inks.isEmpty())
        return;
    // The kept bitmap's parts, drawn from the design as it is now; a bitmap behind the design is
    // rendered whole at the next paint.
    if (m_key && m_key->revision == m_revision && !m_bitmap.image.isNull())
        for (const QRectF &ink : std::as_const(inks))
            renderPart(ink);
    else
        m_key.reset();
    update();
}

// Pictures shown may take larger steps than the drawing asked them at (the pictures it no longer
// shows made room): the whole view is drawn again, once the drawing under way is done.
void PageCanvas::drawAnew()
{
    QMetaObject::invokeMethod(this, [this] {
        m_key.reset();
        update();
    }, Qt::QueuedConnection);
}

// A hidden view shows no picture: the preview table need not keep any for it.
void PageCanvas::hideEvent(QHideEvent *event)
{
    m_showing.begin(true);
    (void)m_showing.done(); // shown again, it is drawn anew
    m_key.reset();
    QWidget::hideEvent(event);
}

void PageCanvas::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    const QRectF visible = visibleRegion().isEmpty() ? QRectF(event->rect()) : QRectF(visibleRegion().boundingRect());
    const Bitmap &bitmap = bitmapFor(visible, VKPaint::deviceScale(p));
    p.fillRect(rect(), Qt::white);
    if (!bitmap.image.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(bitmap.rect, bitmap.image);
    }
    paintGuides(p, m_editor, scale(), QSizeF(size()), event->rect());
    paintSelection(p, m_editor, scale(), m_gestures.marquee(), m_gestures.creating());
    if (m_dropTarget) {
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath outline;
        VKPaint::addRoundedRect(outline, QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 4);
        p.strokePath(outline, QPen(LWStyle::moss(), 3));
    }
}

void PageCanvas::startDrag(QPointF at, Qt::KeyboardModifiers modifiers)
{
    m_pressAt = at;
    m_gestures.changed(at, at, modifiers);
    update();
}

void PageCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    if (m_pressAt) // its release went to a popup
        m_gestures.ended(*m_pressAt, event->position(), event->modifiers());
    startDrag(event->position(), event->modifiers());
}

void PageCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressAt || !event->buttons().testFlag(Qt::LeftButton))
        return QWidget::mouseMoveEvent(event);
    m_gestures.changed(*m_pressAt, event->position(), event->modifiers());
    update();
}

void PageCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressAt)
        return QWidget::mouseReleaseEvent(event);
    const QPointF start = *m_pressAt;
    m_pressAt.reset();
    const bool newText = m_editor.tool() == LWTool::text;
    m_gestures.ended(start, event->position(), event->modifiers());
    if (newText && m_inline) // the new box's sample words go at the first key
        m_inline->editor()->selectAll();
    if (const std::optional<QPointF> at = std::exchange(m_doubleClickAt, std::nullopt))
        doubleClick(m_gestures.toPage(*at));
    update();
}

// Double-clicks come as press, release, double-click, release, and on some systems with a second
// press before the double-click: either way one drag is open until the last release.
void PageCanvas::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(event);
    if (m_pressAt)
        m_gestures.changed(*m_pressAt, event->position(), event->modifiers());
    else
        startDrag(event->position(), event->modifiers());
    m_doubleClickAt = event->position();
}

void PageCanvas::enterEvent(QEnterEvent *event)
{
    setCursor(Qt::ArrowCursor);
    QWidget::enterEvent(event);
}

void PageCanvas::syncInlineEditor()
{
    const std::optional<QUuid> id = m_editor.editingTextID();
    const std::optional<LWElement> e = id ? m_editor.element(*id) : std::nullopt;
    if (!e || !e->text) {
        if (m_inline) { // maybe inside its own key handler: let it return first
            const bool typing = m_inline->hasFocus() || m_inline->editor()->hasFocus();
            m_inline->hide();
            m_inline->deleteLater();
            m_inline = nullptr;
            if (typing) // the keys come back to the page, not to an editor on its way out
                setFocus(Qt::OtherFocusReason);
        }
        return;
    }
    const bool made = !m_inline || m_inline->editor()->id() != *id;
    if (made) {
        if (m_inline)
            m_inline->deleteLater();
        m_inline = new InlineEditorHost(m_editor, *id, this);
    }
    m_inline->editor()->setScale(scale());
    m_inline->editor()->syncFromDesign();
    m_inline->place(InlineGeometry::of(*e, m_editor.doc().bleed, scale()));
    if (made) {
        m_inline->show();
        m_inline->focusText();
    }
}

void PageCanvas::doubleClick(QPointF page)
{
    const std::optional<LWElement> hit = m_editor.hitTest(page, CanvasGestures::itemReach / scale(), false);
    if (!hit)
        return;
    m_editor.setSelection({hit->id});
    if (hit->kind == LWElementKind::text) {
        m_editor.setEditingTextID(hit->id);
    } else if (hit->kind == LWElementKind::image) {
        QTimer::singleShot(0, this, [this, target = LWPictureTarget{m_editor.pageIndex(), hit->id, {}}] {
            if (m_chooser)
                m_chooser(m_editor, target, VKZoomHost::outerWindow(this));
        });
    }
}

namespace {

// What a drop onto the page can place: a local file as the first URL, else picture data. A web
// address is nothing to read here; browsers send the picture itself along with it.
enum class Dropped { nothing, file, data };

// Pictures of a type the program does not take (SVG, say) are taken too, to be refused with the
// unreadable-picture message.
bool isPictureData(const QString &format) { return format.startsWith(u"image/", Qt::CaseInsensitive); }

Dropped dropped(const QMimeData *mime)
{
    if (mime->hasUrls() && !mime->urls().isEmpty() && mime->urls().constFirst().isLocalFile())
        return Dropped::file;
    if (mime->hasImage())
        return Dropped::data;
    const QStringList formats = mime->formats();
    return std::any_of(formats.cbegin(), formats.cend(), isPictureData) ? Dropped::data : Dropped::nothing;
}

} // namespace

void PageCanvas::dragEnterEvent(QDragEnterEvent *event)
{
    if (dropped(event->mimeData()) == Dropped::nothing)
        return event->ignore();
    event->acceptProposedAction();
    setDropTarget(true);
}

void PageCanvas::dragMoveEvent(QDragMoveEvent *event)
{
    // The zoom host's proxy starts a drag-move as refused: accept it again.
    if (dropped(event->mimeData()) == Dropped::nothing)
        return event->ignore();
    event->acceptProposedAction();
    if (!m_dropTarget)
        setDropTarget(true);
}

void PageCanvas::dragLeaveEvent(QDragLeaveEvent *event)
{
    setDropTarget(false);
    QWidget::dragLeaveEvent(event);
}

// Taken at once, and aimed now; the picture is read off the main thread and placed when ready.
void PageCanvas::dropEvent(QDropEvent *event)
{
    setDropTarget(false);
    const QMimeData *mime = event->mimeData();
    const LWPictureTarget at = m_editor.pictureTarget(m_gestures.toPage(event->position()));
    switch (dropped(mime)) {
    case Dropped::nothing:
        return event->ignore();
    case Dropped::file:
        LWImagePicker::placeFile(m_editor, mime->urls().constFirst().toLocalFile(), at, m_opener);
        break;
    case Dropped::data: {
        // The drag's data is only there during the drop: take it now, probe it later. The types
        // the program takes come first; the rest only give the message.
        QList<QByteArray> candidates, others;
        for (const QString &format : mime->formats())
            if (isPictureData(format))
                (LWImagePicker::readsType(format) ? candidates : others) << mime->data(format);
        candidates << others;
        // Qt makes another program's picture data an image by guessing its format (an SVG
        // included, which may name files to read): only a drag of this program's own is taken so.
        const QImage image =
            event->source() && mime->hasImage() ? qvariant_cast<QImage>(mime->imageData()) : QImage();
        LWImagePicker::placeLater(
            m_editor, [candidates, image] { return LWImagePicker::loadData(candidates, image); }, at);
        break;
    }
    }
    event->acceptProposedAction();
}
