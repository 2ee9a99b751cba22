#pragma once
#include "editor/editor.h"

#include <QWidget>
#include <optional>

class QAbstractButton;

// One element of the shown page in the layers list: its kind symbol, its name, and buttons that
// hide and lock it (clicks only: the list's keys act on them). A click (a release without a drag)
// selects it; with Shift or Ctrl it leaves or joins the selection. Dragging offers the element's id as text; a row takes a dropped id of
// the shown page and restacks that element at the row's own index. The row keeps the element as
// it was when last given (its buttons act on those flags); the selection is read when painting.
class LayerRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int rowHeight = 26;
    static inline const QString help =
        QStringLiteral("Click to select. Drag up or down to change the stacking order.");

    // index: the element's place in the shown page's list, counted from the back.
    LayerRow(LWEditor &editor, const LWElement &element, int index, QWidget *parent = nullptr);

    // Shows another element, or the same one changed; repaints only when its look changed.
    void setElement(const LWElement &element, int index);
    const LWElement &element() const { return m_element; }
    int index() const { return m_index; }
    bool isSelected() const;
    void followSelection(); // repaints when the row's selected look is out of date
    QAbstractButton *eyeButton() const { return m_eye; }
    QAbstractButton *lockButton() const { return m_lock; }
    // The name's look as painted now.
    QFont nameFont() const;
    QColor nameColour() const;

    [[nodiscard]] static QString kindSymbol(const LWElement &element);

    QSize sizeHint() const override { return {160, rowHeight}; }
    QSize minimumSizeHint() const override { return {80, rowHeight}; }

Q_SIGNALS:
    // Around the blocking drag of this row: the panel holds its rebuilds until it ends, so the
    // row outlives the drag it runs.
    void dragStarted();
    void dragFinished();
    // After a click has selected (or deselected) it.
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void select(Qt::KeyboardModifiers modifiers);
    void showFlags();
    void startDrag(QPoint hotSpot);

    LWEditor &m_editor;
    LWElement m_element;
    int m_index;
    bool m_paintedSelected = false;
    std::optional<QPoint> m_press; // a left press not yet turned into a drag
    QAbstractButton *m_eye;
    QAbstractButton *m_lock;
};
