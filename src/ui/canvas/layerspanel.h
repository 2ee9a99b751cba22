#pragma once
#include "editor/editor.h"

#include <QWidget>

class ChromeRoundButton;
class LayerRow;
class QVBoxLayout;
class SegmentedPicker;
class VKScrollView;

// The layers column of the editor screen, in a titled bezel: a side switch for designs of two or
// more pages, the shown page's elements as rows (top-most first) or a hint on an empty page, and
// five buttons that restack or delete the selection.
//
// Rows are retained: they are built anew only when the side or the rows' content (id, name, kind,
// shape kind, hidden, locked, in order) changes, so the steps of a canvas drag build none, and a
// selection change only repaints. Old rows are deleted later, never inside their own handlers,
// and not at all while one of them runs a drag.
class LayersPanel : public QWidget {
    Q_OBJECT
public:
    static inline const QString title = QStringLiteral("Layers · top first");
    static inline const QString hintText =
        QStringLiteral("Nothing here yet. Pick a tool on the left and click or drag on the page.");

    explicit LayersPanel(LWEditor &editor, QWidget *parent = nullptr);

    QList<LayerRow *> rows() const { return m_rows; } // top-most first
    SegmentedPicker *sideSwitch() const { return m_sides; } // nothing with one page
    QWidget *hint() const { return m_hint; }
    // Bring to Front, Bring Forward, Send Backward, Send to Back, Delete.
    QList<ChromeRoundButton *> buttons() const { return m_buttons; }
    VKScrollView *scrollView() const { return m_scroll; }

private:
    struct RowKey {
        QUuid id;
        QString name;
        LWElementKind kind;
        LWShapeKind shape;
        bool hidden, locked;
        friend bool operator==(const RowKey &, const RowKey &) = default;
    };

    void refresh();
    void rebuildRows();
    void rebuildSides();
    void selectionChanged();

    LWEditor &m_editor;
    QVBoxLayout *m_column;
    SegmentedPicker *m_sides = nullptr;
    QStringList m_sideNames;
    VKScrollView *m_scroll;
    QVBoxLayout *m_list;
    QWidget *m_hint;
    QList<LayerRow *> m_rows;
    int m_shownSide = -1;
    QList<RowKey> m_keys;
    bool m_dragging = false;
    QList<ChromeRoundButton *> m_buttons;
};
