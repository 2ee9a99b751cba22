#pragma once
#include "editor/editor.h"

#include <QHash>
#include <QPointF>
#include <QUuid>
#include <optional>

// The page view's press-drag-release state machine, kept free of widgets so every rule can be
// driven without a window. The view feeds it positions in view points (origin at the top-left
// of the bleed box) with the event's modifiers; only Shift counts, read at every call.
//
// A drag decides at its press what it does (create, move, resize, rotate, move a line end, move
// a guide, draw a marquee, or nothing). Editing modes take one undo step once the pointer has
// moved more than 1.5 view points, then work through live updates computed from the elements as
// they were at the press, so a drag never drifts. A release always clears the drag state and the
// editor's snap lines, and gives back the step of a drag that left the design as it was. An undo
// or redo during a drag ends it there: the rest of it, up to the release, does nothing. From the
// press to the release the editor is `pressing`.
class CanvasGestures {
public:
    enum class Mode { move, resize, rotate, lineEnd, guide, none, create, marquee };
    struct Drag {
        Mode mode = Mode::none;
        QPointF start; // page points
        bool began = false;
        QList<LWElement> moved;   // move: unlocked selected elements at the press
        std::optional<LWElement> element; // resize, rotate, lineEnd: the element at the press
        int handle = 0;           // resize: 0-7; lineEnd: 0 or 1
        QUuid guide;              // guide
        quint64 restores = 0;     // the editor's undo and redo count at the press
    };

    // Pick distances, in view points.
    static constexpr double handleReach = 7, guideReach = 3, itemReach = 4, snapReach = 6;
    static constexpr double dragThreshold = 1.5, knobOffset = 22;

    explicit CanvasGestures(LWEditor &editor) : m_editor(editor) {}

    void setScale(double s) { m_scale = s > 0 ? s : 1; }
    double scale() const { return m_scale; }
    QPointF toView(QPointF page) const; // the bleed is read from the design at each call
    QPointF toPage(QPointF view) const;

    // Where the selection overlay draws and a press finds them, in page points: the eight
    // handles turned with the element, and the knob 22 view points beyond its top edge.
    static std::array<QPointF, 8> handlePoints(const LWElement &element);
    static QPointF rotateHandle(const LWElement &element, double scale);
    QPointF rotateHandle(const LWElement &element) const { return rotateHandle(element, m_scale); }

    // The first `changed` of a drag is its press.
    void changed(QPointF start, QPointF current, Qt::KeyboardModifiers modifiers);
    void ended(QPointF start, QPointF current, Qt::KeyboardModifiers modifiers);

    const std::optional<Drag> &drag() const { return m_drag; }
    const std::optional<LWRect> &marquee() const { return m_marquee; }
    const std::optional<LWRect> &creating() const { return m_creating; }

    // One new item of the current tool from press point a to release point b (page points); a
    // drag under 4 x 4 points is a click and makes the default size centred on a.
    void create(QPointF a, QPointF b, Qt::KeyboardModifiers modifiers);

    // The rectangle dragged from `from` to `to`, squared to the smaller side when asked, keeping
    // the drag's direction.
    static LWRect spanned(QPointF from, QPointF to, bool square);
    static bool smallPage(const LWDocument &doc);
    static constexpr std::uint32_t fillColor = 0x2F6FB0, inkColor = 0x1D2733;

private:
    Drag begin(QPointF p, bool shift);
    bool startOnce(bool moved);
    void dropStaleDrag(); // after an undo or redo since the press
    void update(QPointF p, bool shift);
    void finish(QPointF p, bool shift);
    // Runs `body` on the shown page's top-level element with this id, if it is still there.
    void liveElement(const QUuid &id, const std::function<void(LWElement &)> &body);

    LWEditor &m_editor;
    double m_scale = 1;
    std::optional<Drag> m_drag;
    std::optional<LWRect> m_marquee, m_creating;
};
