#pragma once
#include "render/icons.h"

#include <QList>
#include <QWidget>

class VKScrollView;
class VKSearchField;

// The picker's grid: 6 columns of 58 x 52 cells, 6 apart both ways, one per icon in the given
// order, each a white glyph over its title on a faint rounded tile. A click (press and release on
// one cell, not a gap) reports the cell's id as the handler's last act, so a receiver may
// delete the picker; a cell's tooltip is its title.
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

Q_SIGNALS:
    void picked(const QString &id);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QList<LWIcons::Info> icons_;
    qsizetype pressed_ = -1;
};

// Popover content for choosing a built-in icon: header, hint, search field and a 300 high
// scrolling grid of the matching icons. It never closes itself; pick(id) fires once per click.
// Its search field takes the keyboard given to it (the popover gives it on opening).
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

private:
    VKSearchField *search_;
    IconPickerGrid *grid_;
    VKScrollView *scroll_;
};
