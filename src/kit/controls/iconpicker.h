#pragma once
#include "render/icons/icons.h"

#include <QList>
#include <QWidget>

class VKScrollView;
class VKSearchField;

// The picker's grid: 6 columns of 58 x 52 cells, 6 apart both ways, one per icon in the given
// order, each a white glyph over its title on a faint rounded tile. A click (press and release on
// one cell, not a gap) reports the cell's id as the handler's last act, so a receiver may
// delete the picker; a cell's tooltip is its title. From the keyboard (Tab reaches it while it
// has icons) the arrows, Home and End move the current cell, which shows the kit's focus ring
// while the grid has the keyboard (the first cell when it comes in without one), and Return,
// Enter or Space report it as a click does. A new list has no current cell.
class IconPickerGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int columns = 6, cellWidth = 58, cellHeight = 52, gap = 6;
    static constexpr int gridWidth = columns * cellWidth + (columns - 1) * gap;

    explicit IconPickerGrid(QWidget *parent = nullptr);

    const QList<LWIcons::Info> &icons() const { return icons_; }
    void setIcons(const QList<LWIcons::Info> &icons);
    QRect cellRect(qsizetype index) const;
    // The cell under `pos`, or -1 for a gap or outside.
    qsizetype cellAt(QPoint pos) const;
    // The cell the keys act on, or -1.
    qsizetype current() const { return current_; }
    void setCurrent(qsizetype index);

Q_SIGNALS:
    void picked(const QString &id);
    void currentChanged(qsizetype index);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QList<LWIcons::Info> icons_;
    qsizetype pressed_ = -1;
    qsizetype current_ = -1;
};

// Popover content for choosing a built-in icon: header, hint, search field and a 300 high
// scrolling grid of the matching icons. It never closes itself; pick(id) fires once per click.
// Its search field takes the keyboard given to it (the popover gives it on opening). From the
// search, Down goes into the grid and Return picks the grid's current icon (else the first one
// found); letters typed in the grid go on into the search. Escape with a search typed clears it
// (the keyboard back in the search); without one it goes on to the popover, which closes.
// Callers apply velkRoot() to it. Main thread only.
class IconPicker : public QWidget {
    Q_OBJECT
public:
    explicit IconPicker(QWidget *parent = nullptr);

    // Catalogue rows whose "title keywords id", lower-cased, holds the query lower-cased as
    // typed; all rows for an empty query. Catalogue order.
    static QList<LWIcons::Info> filter(const QString &query);

    VKSearchField *searchField() const { return search_; }
    IconPickerGrid *grid() const { return grid_; }
    VKScrollView *scrollArea() const { return scroll_; }

Q_SIGNALS:
    void pick(const QString &id);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Clears the search, the keyboard back in it; false when there was nothing to clear.
    bool clearSearch();

    VKSearchField *search_;
    IconPickerGrid *grid_;
    VKScrollView *scroll_;
};
