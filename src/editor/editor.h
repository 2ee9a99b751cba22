#pragma once
#include "editor/tool.h"
#include "model/document.h"
#include "render/pictures/imageproperties.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <chrono>
#include <functional>
#include <optional>

// Where the editor reads the time: the monotonic clock times the coalescing window (a wall clock
// set back must not merge unrelated changes), the wall clock stamps `LWDocument::modified`.
// Tests inject both.
struct LWEditorClock {
    std::function<std::chrono::steady_clock::time_point()> monotonic = [] { return std::chrono::steady_clock::now(); };
    std::function<QDateTime()> wall = [] { return QDateTime::currentDateTimeUtc(); };
};

// Where a picture goes, fixed when the user aims it (a drop, the chooser, "Replace…"), so that
// whatever happens while its file is read does not move it: into the image element `picture` of
// page `side`, else as a new picture on that page centred on `at` (the page centre without one).
// `selection` is the selection when the user acted: the picture becomes the selection only while
// the selection is still that (no value: always).
struct LWPictureTarget {
    int side = 0;
    std::optional<QUuid> picture;
    std::optional<QPointF> at;
    std::optional<QList<QUuid>> selection;
};

// The one object through which an open design is shown and changed. Main thread only.
//
// Every published field is a property whose setter announces `<field>Changed` on every write,
// equal value or not. Every change of `doc` goes through `change` (one undo step, coalesced by
// key within 1.5 s), except the live steps of a drag (`beginInteraction` + `liveUpdate`) and the
// application state's `setDoc` after a first save. Snapshots are plain copies of the document:
// its lists and picture bytes are shared until written, so history costs only what changed.
//
// The view toggles are read from LWPrefs::store() once, at construction, and each assignment
// writes its key back unless VELKTestFlags::running.
class LWEditor : public QObject {
    Q_OBJECT
    Q_PROPERTY(LWDocument doc READ doc WRITE setDoc NOTIFY docChanged)
    Q_PROPERTY(int side READ side WRITE setSide NOTIFY sideChanged)
    Q_PROPERTY(QList<QUuid> selection READ selection WRITE setSelection NOTIFY selectionChanged)
    Q_PROPERTY(LWTool tool READ tool WRITE setTool NOTIFY toolChanged)
    Q_PROPERTY(std::optional<QUrl> fileURL READ fileURL WRITE setFileURL NOTIFY fileURLChanged)
    Q_PROPERTY(bool dirty READ dirty WRITE setDirty NOTIFY dirtyChanged)
    Q_PROPERTY(std::optional<QUuid> editingTextID READ editingTextID WRITE setEditingTextID NOTIFY editingTextIDChanged)
    Q_PROPERTY(QList<LWSnapLine> snapLines READ snapLines WRITE setSnapLines NOTIFY snapLinesChanged)
    Q_PROPERTY(double canvasZoom READ canvasZoom WRITE setCanvasZoom NOTIFY canvasZoomChanged)
    Q_PROPERTY(double fitScale READ fitScale WRITE setFitScale NOTIFY fitScaleChanged)
    Q_PROPERTY(QString iconForTool READ iconForTool WRITE setIconForTool NOTIFY iconForToolChanged)
    Q_PROPERTY(bool showBleed READ showBleed WRITE setShowBleed NOTIFY showBleedChanged)
    Q_PROPERTY(bool showTrim READ showTrim WRITE setShowTrim NOTIFY showTrimChanged)
    Q_PROPERTY(bool showSafe READ showSafe WRITE setShowSafe NOTIFY showSafeChanged)
    Q_PROPERTY(bool snapping READ snapping WRITE setSnapping NOTIFY snappingChanged)
    Q_PROPERTY(bool showGrid READ showGrid WRITE setShowGrid NOTIFY showGridChanged)
    Q_PROPERTY(std::optional<QString> message READ message WRITE setMessage NOTIFY messageChanged)

public:
    using Clock = LWEditorClock;
    using DocBody = std::function<void(LWDocument &)>;

    static constexpr int undoLimit = 300;
    static constexpr std::chrono::milliseconds coalesceWindow{1500};

    // The state before one step: the side as it was (not clamped) and the selection.
    struct Snap {
        LWDocument doc;
        int side = 0;
        QList<QUuid> selection;
        friend bool operator==(const Snap &, const Snap &) = default;
    };

    // A design without pages gets one white page, without an undo step.
    explicit LWEditor(LWDocument doc, std::optional<QUrl> url = std::nullopt, Clock clock = {},
                      QObject *parent = nullptr);

    // Structure and stacking order of the shown page's top-level elements; one step each.
    // group: the unlocked selected elements, two or more (else `message`), become one group at the
    // top-most member's place, in page order, selected alone. ungroup: the unlocked selected
    // groups, in selection order, give way to their children, which become the selection.
    // arrange: the selection as a set, locked items included; nothing without a selection.
    // move: toIndex counts without the moved element and is clamped; no step when nothing moves.
    void group();
    void ungroup();
    void arrange(LWArrange how);
    void move(const QUuid &id, int toIndex);
    // Page set-up. Guides run through the page centre and serve every side. A back side is added
    // to one-page designs and removed from two-page ones except business cards; switchSide clears
    // the selection and text editing, without a step. resize refuses (false) unless the size is
    // finite and > 0 and the safe margin finite and >= 0; scaling fits the content uniformly,
    // centred, while guides follow each axis.
    void addGuide(bool vertical);
    void clearGuides();
    void addBackSide();
    void removeBackSide();
    void switchSide(int n);
    [[nodiscard]] bool resize(double width, double height, const QString &sizeID, double safe, bool scaleContent);

    // Published fields.
    const LWDocument &doc() const { return m_doc; }
    int side() const { return m_side; }
    const QList<QUuid> &selection() const { return m_selection; }
    LWTool tool() const { return m_tool; }
    const std::optional<QUrl> &fileURL() const { return m_fileURL; }
    bool dirty() const { return m_dirty; }
    const std::optional<QUuid> &editingTextID() const { return m_editingTextID; }
    const QList<LWSnapLine> &snapLines() const { return m_snapLines; }
    double canvasZoom() const { return m_canvasZoom; }
    double fitScale() const { return m_fitScale; }
    const QString &iconForTool() const { return m_iconForTool; }
    bool showBleed() const { return m_showBleed; }
    bool showTrim() const { return m_showTrim; }
    bool showSafe() const { return m_showSafe; }
    bool snapping() const { return m_snapping; }
    bool showGrid() const { return m_showGrid; }
    const std::optional<QString> &message() const { return m_message; }

    // A plain assignment: no undo step, `dirty` untouched (the rename after a first save).
    void setDoc(LWDocument doc);
    void setSide(int side);
    void setSelection(QList<QUuid> selection);
    void setTool(LWTool tool);
    void setFileURL(std::optional<QUrl> url);
    void setDirty(bool dirty);
    void setEditingTextID(std::optional<QUuid> id);
    void setSnapLines(QList<LWSnapLine> lines);
    void setCanvasZoom(double zoom);
    void setFitScale(double scale);
    void setIconForTool(QString name);
    void setShowBleed(bool on);
    void setShowTrim(bool on);
    void setShowSafe(bool on);
    void setSnapping(bool on);
    void setShowGrid(bool on);
    void setMessage(std::optional<QString> message);

    // Plain fields.
    const QList<Snap> &undoStack() const { return m_undoStack; }
    const QList<Snap> &redoStack() const { return m_redoStack; }
    bool usePasteboard() const { return m_usePasteboard; }
    void setUsePasteboard(bool use) { m_usePasteboard = use; }

    // Read-only views of the shown page. `side` clamped to the pages; element lookups see the
    // top-level elements only (a group's children are never matched).
    int pageIndex() const;
    const LWPage &page() const;
    const QList<LWElement> &elements() const;
    std::optional<LWElement> element(const QUuid &id) const;
    std::optional<qsizetype> index(const QUuid &id) const;
    QList<LWElement> selected() const; // selection order, ids not on the page skipped
    std::optional<LWElement> single() const;
    bool canUndo() const { return !m_undoStack.isEmpty(); }
    bool canRedo() const { return !m_redoStack.isEmpty(); }
    double gridStep() const; // 9 on business cards, else 18

    // History. `change` runs `body` on a copy of the design, stamps `modified` (whole seconds of
    // the wall clock, whatever the body wrote), assigns it once and sets `dirty`; it takes a step
    // unless `key` matches the previous keyed change less than 1.5 s ago. A body that leaves the
    // design as it was (`modified` aside) changes nothing at all: no step, no stamp, `dirty` and
    // the coalescing window untouched, and the result is false. The label is for the caller only.
    // A `selection` given is set after the step is taken and before the design is assigned, so
    // no view sees a selection naming what the change removed.
    bool change(const QString &label, const std::optional<QString> &key, const DocBody &body,
                const std::optional<QList<QUuid>> &selection = std::nullopt);
    void undo(); // nothing on an empty stack; sets `dirty` even back to the saved state
    void redo();
    // Counts the undos and redos that restored a snapshot, so that a drag notices one.
    quint64 restores() const { return m_restores; }
    bool beginInteraction(); // the one step of a drag; closes any coalescing window. True.
    void liveUpdate(const DocBody &body); // a drag step: no snapshot, no time stamp
    // Ends the drag begun last. One that left the design as it was takes its step back, with the
    // redo history and `dirty` as they were before it. An undo or redo ends a drag by itself.
    void endInteraction();
    void markSaved(const QUrl &url);

    // Element updates. Targets are top-level elements of the shown page: without includeLocked
    // the ids naming an unlocked one (hidden ones qualify), with it every id, whether or not it
    // names anything. No target: nothing happens, false. Otherwise one `change` runs `body` once
    // per targeted element, in page order (back to front), and the result is whether it changed
    // the design.
    using ElementBody = std::function<void(LWElement &)>;
    bool updateElements(const QList<QUuid> &ids, const QString &label, const std::optional<QString> &key,
                        const ElementBody &body, bool includeLocked = false);
    bool updateSelected(const QString &label, const std::optional<QString> &key, const ElementBody &body);
    // Puts the element, unchanged, on top of the shown page; its ids must be new to the design.
    bool add(const LWElement &element, bool select = true);
    void deleteSelection(); // unlocked selected elements; the selection empties
    void selectAll();       // unlocked, visible elements in page order; no step
    void nudge(double dx, double dy); // key "nudge"
    void setFrame(const QUuid &id, const LWRect &frame, const std::optional<QString> &key = std::nullopt);
    // Both reach locked elements and take a step when a state changes. No ids: the selection.
    void setLocked(bool locked, const std::optional<QList<QUuid>> &ids = std::nullopt);
    void setHidden(bool hidden, const QList<QUuid> &ids);
    // The top-most visible element under the point (locked ones only when asked). Groups are hit
    // inside their bounds grown by the whole tolerance, anything else as LWGeometry::hit says.
    std::optional<LWElement> hitTest(QPointF point, double tolerance, bool includeLocked = false) const;
    void setBackground(const LWFill &fill, const std::optional<QString> &key = std::nullopt);

    // Text boxes. New boxes use the house style, sit on top of the shown page, are selected and
    // exactly as tall as their text; x is kept between the safe margin and the right trim edge.
    static inline const QString houseFont = QStringLiteral("AvenirNext-Medium");
    void addText(const QString &string, QPointF at, std::optional<double> width = std::nullopt);
    // Replaces the string, clears `placeholder` and grows the box; keystrokes into one box share
    // a step (key "text-" + the upper-case id).
    void setText(const QUuid &id, const QString &string);
    // Runs `body` on each selected text, or each text named in `ids`, then grows its box.
    using TextBody = std::function<void(LWText &)>;
    void updateText(const QString &label, const std::optional<QString> &key, const TextBody &body);
    void updateText(const QList<QUuid> &ids, const QString &label, const std::optional<QString> &key,
                    const TextBody &body);
    void fitBoxToText(); // selected boxes take their text's height, top edge kept
    static void growToFit(LWElement &element); // LWTextLayout::growToFit

    // Pictures and the clipboard (editorpictures.cpp, editorclipboard.cpp).
    static inline const QString unreadablePictureMessage =
        QStringLiteral("That file isn't a picture VELK Leafwrighter can read (use JPEG, PNG, HEIC or TIFF).");
    static inline const QString pictureFrameGoneMessage =
        QStringLiteral("Picture not placed: the frame it was meant for is gone.");
    static inline const QString pictureSideGoneMessage =
        QStringLiteral("Picture not placed: the side it was meant for is gone.");
    // Reads only the picture's header and places it into pictureTarget(at).
    [[nodiscard]] bool placeImage(const QByteArray &data, std::optional<QPointF> at = std::nullopt);
    // The target of a picture aimed now: the single selected image element, else the unlocked
    // image element under `at`, else a new picture at `at`; on the shown side, with the selection.
    [[nodiscard]] LWPictureTarget pictureTarget(std::optional<QPointF> at = std::nullopt) const;
    // Bytes already probed (and perhaps decoded into the picture cache under `assetID`; an empty
    // id makes a new one). A target element gets the bytes, a new asset id and no crops; a new
    // "Picture" at 300 DPI, shrunk to 80 % of the page, is added on top. Either becomes the
    // selection when its side is shown and the selection is still the target's. False when
    // nothing changed: a locked target silently,
    // a target element or side no longer there with the frame's or the side's message.
    [[nodiscard]] bool placeImage(const QByteArray &data, const LWImageProperties &props,
                                  const LWPictureTarget &target, QString assetID);
    // True while a press on the page lasts (set by the page view); work that ends meanwhile, a
    // picture read, waits for it to clear, so that it takes its own step after the gesture's.
    bool pressing() const { return m_pressing; }
    void setPressing(bool on);
    // Selected items in stacking order. Copies land 9 pt right and down, unlocked, on top, and
    // become the selection; paste and duplicate are one step each (LWClipboard, clipboard.h).
    void copy();
    void cut(); // copy, then delete the unlocked ones
    void paste();
    void duplicate();
    // Snapping and resize handles: read-only, no undo step, `snapLines` untouched.
    // Targets in tie-break order: page edges, centre and safe lines, guides, then the visible,
    // non-excluded top-level elements' rotated bounds (locked ones too), back to front.
    struct SnapTargets {
        QList<double> xs, ys;
    };
    struct SnapResult {
        QPointF offset; // zero on an axis without a match
        QList<LWSnapLine> lines; // the vertical one first
    };
    SnapTargets snapTargets(const QSet<QUuid> &excluding) const;
    SnapResult snap(const LWRect &rect, const QSet<QUuid> &excluding, double threshold) const;
    // Handles 0-7 run clockwise from the top-left corner; the opposite of n is (n + 4) % 8.
    static QPointF handlePoint(int handle, const LWRect &r);
    // The unrotated frame after dragging `handle` to page point `to`; never under minSize and
    // never flipped; a rotated frame keeps its opposite handle where it was on the page.
    static LWRect resized(const LWElement &el, int handle, QPointF to, bool keepAspect, double minSize = 2);
    // A line from a to b with e's stroke (black, width 1 without one) and e's id, name, opacity,
    // locked and hidden; everything else as a new line has it.
    static LWElement lineElement(const LWElement &e, QPointF a, QPointF b);

    // Align and distribute the selected unlocked items by their rotated bounds; one step each.
    void align(LWAlign how);
    void distribute(bool horizontal); // fewer than three items: a message, no step

    // Display units and document colours, computed from `doc` on every call. Millimetres for the
    // size ids "eu-card" and "a4" alone, inches for any other (custom sizes too). docColors: up to
    // 12 opaque colours in order of first use over every side (backgrounds, then each element
    // before its descendants: fill, text, stroke), near-duplicates of a listed one left out.
    bool mmUnits() const;
    QString unitName() const;
    double toUnit(double points) const;
    double fromUnit(double value) const;
    // The bleed as shown: "0.125 in" or "3 mm" for the standard 9 pt, else up to 3 decimals + unit.
    QString bleedText() const;
    QList<LWColor> docColors() const;

Q_SIGNALS:
    void docChanged();
    void sideChanged();
    void selectionChanged();
    void toolChanged();
    void fileURLChanged();
    void dirtyChanged();
    void editingTextIDChanged();
    void snapLinesChanged();
    void canvasZoomChanged();
    void fitScaleChanged();
    void iconForToolChanged();
    void showBleedChanged();
    void showTrimChanged();
    void showSafeChanged();
    void snappingChanged();
    void showGridChanged();
    void messageChanged();
    void pressingChanged();

private:
    static void scaleText(LWElement &element, double factor); // type sizes and strokes, every depth
    struct Coalesce {
        QString key;
        std::chrono::steady_clock::time_point at;
    };

    template <class T> void assign(T &field, T value, void (LWEditor::*changed)())
    {
        field = std::move(value);
        Q_EMIT(this->*changed)();
    }
    void assignToggle(bool &field, bool on, const QString &key, void (LWEditor::*changed)());
    Snap current() const { return {m_doc, m_side, m_selection}; }
    void pushUndo();
    void travel(QList<Snap> &from, QList<Snap> &to); // one undo or redo
    void restore(const Snap &snap);
    QList<QUuid> targets(const QList<QUuid> &ids, bool includeLocked) const;

    LWDocument m_doc;
    int m_side = 0;
    QList<QUuid> m_selection;
    LWTool m_tool = LWTool::select;
    std::optional<QUrl> m_fileURL;
    bool m_dirty = false;
    std::optional<QUuid> m_editingTextID;
    QList<LWSnapLine> m_snapLines;
    double m_canvasZoom = 1;
    double m_fitScale = 1;
    QString m_iconForTool = QStringLiteral("star");
    bool m_showBleed = true;
    bool m_showTrim = true;
    bool m_showSafe = true;
    bool m_snapping = true;
    bool m_showGrid = false;
    std::optional<QString> m_message;

    QList<Snap> m_undoStack; // oldest first
    QList<Snap> m_redoStack; // oldest first
    std::optional<Coalesce> m_lastCoalesce;
    // What a drag's step replaced, to give back when the drag changed nothing.
    struct Interaction {
        Snap before;
        QList<Snap> redo;
        bool dirty = false;
    };
    std::optional<Interaction> m_interaction;
    quint64 m_restores = 0;
    bool m_usePasteboard = true;
    bool m_pressing = false;
    Clock m_clock;
};
