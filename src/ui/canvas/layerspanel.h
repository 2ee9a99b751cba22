#pragma once
#include "editor/editor.h"

#include <QWidget>
#include <optional>

class ChromeRoundButton;
class LayerRow;
class QKeyEvent;
class QVBoxLayout;
class SegmentedPicker;
class VKScrollView;

// The layers column of the editor screen, in a titled bezel: a side switch for designs of two or
// more pages, the shown page's elements as rows (top-most first) or a hint on an empty page, and
// five buttons that restack or delete the selection.
//
// Only the rows in view (and a few beyond) exist: the list is as tall as all rows, and scrolling
// hands the rows that left the view to the elements that came into it. A change of the design
// gives a row a new element only where its content (id, name, kind, shape kind, hidden, locked)
// or place changed, so a canvas drag, a rename or a lock builds no row and a selection change
// only repaints. Rows are hidden or deleted later, never inside their own handlers, and left
// alone while one of them runs a drag.
//
// From the keyboard the list is one Tab stop, the current row, which shows the kit's focus ring
// (a click on a row makes it current and gives the list the keyboard). Up and Down (Home, End)
// make the next row current and select its element alone, scrolled into view; Space hides or
// shows the current row's element, Shift+Space locks or unlocks it; the arrows are the list's
// then, not the page's nudges. Without the keyboard the current row follows the selection (the
// top-most selected row, else the top row).
class LayersPanel : public QWidget {
    Q_OBJECT
public:
    static inline const QString title = QStringLiteral("Layers · top first");
    static inline const QString hintText =
        QStringLiteral("Nothing here yet. Pick a tool on the left and click or drag on the page.");

    explicit LayersPanel(LWEditor &editor, QWidget *parent = nullptr);

    QList<LayerRow *> rows() const { return m_rows; } // those laid out, top-most first
    SegmentedPicker *sideSwitch() const { return m_sides; } // nothing with one page
    QWidget *hint() const { return m_hint; }
    // Bring to Front, Bring Forward, Send Backward, Send to Back, Delete.
    QList<ChromeRoundButton *> buttons() const { return m_buttons; }
    VKScrollView *scrollView() const { return m_scroll; }
    // The list's Tab stop, laid over the current row; hidden on an empty page.
    QWidget *keyboardRow() const { return m_cursor; }
    // The element of the current row, if the page has any.
    std::optional<QUuid> current() const;

private:
    struct RowKey {
        QUuid id;
        QString name;
        LWElementKind kind;
        LWShapeKind shape;
        bool hidden, locked;
        friend bool operator==(const RowKey &, const RowKey &) = default;
    };

    bool eventFilter(QObject *watched, QEvent *event) override;
    void refresh();
    void place(); // the rows for the list's part in view
    LayerRow *freeRow();
    void rebuildSides();
    void orderTabs(); // side switch, rows, buttons: in reading order for Tab
    void selectionChanged();
    // The current row's place counted from the top, or -1 on an empty page.
    int currentPlace() const;
    int rowWidth() const;
    void placeCursor();
    bool listKey(const QKeyEvent &key);

    LWEditor &m_editor;
    QVBoxLayout *m_column;
    SegmentedPicker *m_sides = nullptr;
    QStringList m_sideNames;
    VKScrollView *m_scroll;
    QWidget *m_list; // as tall as all rows
    QWidget *m_hint;
    QList<LayerRow *> m_rows;
    QList<LayerRow *> m_spare; // hidden, for rows that come into view
    int m_shownSide = -1;
    QList<RowKey> m_keys;
    bool m_dragging = false;
    QWidget *m_cursor = nullptr; // made after m_list, which this filters: null until then
    QUuid m_current;
    QList<ChromeRoundButton *> m_buttons;
};
