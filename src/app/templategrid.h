#pragma once
#include "templates/template.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QRectF>
#include <optional>

class LWThumbs;
class QPainter;

// Where the grid's tiles go, in content coordinates (before scrolling).
struct TemplateGridLayout {
    int columns = 1;
    double columnWidth = 0;
    QList<QRectF> tiles;                      // one per template, list order
    QList<std::pair<double, double>> rows;    // top and height of each row
    double height = 0;                        // of the whole content, padding included
};

// The template browser's grid: one tile per template (page 0 thumbnail, name, size label), in
// adaptive columns of at least 190, each tile centred in its cell and its row. Only tiles meeting
// the viewport are painted, and only their thumbnails are asked of the store, so render jobs
// follow what comes into view. A spinner turns while a tile in view waits for its thumbnail; an
// idle grid paints nothing. Main thread only.
//
// A press and a release inside the same tile emit clicked(); a double click emits clicked() and
// then activated() as the grid's very last act, since the receiver may replace the screen.
// From the keyboard (Tab reaches it, a click gives it): the arrows, Home and End emit clicked()
// with the tile they reach (the first one when none is selected) and scroll it into view; Return
// or Enter emits activated() with the selected tile. The selected tile shows the kit's focus ring
// while the grid has the keyboard; with none selected, the grid's edge shows it.
class TemplateGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr double padding = 4, columnGap = 14, rowGap = 16, minColumn = 190;
    static constexpr double tilePadding = 8, itemGap = 6, radius = 12;

    // 100 for a business card, 200 for anything else.
    [[nodiscard]] static double thumbHeight(const LWTemplate &t);
    // Tiles of `list` in a viewport `width` wide. Pure: depends on the texts' measured widths only.
    [[nodiscard]] static TemplateGridLayout layout(double width, const QList<LWTemplate> &list);
    // Paints one tile filling `tile`: the selection's tint and outline, the thumbnail frame (image or
    // placeholder, a spinner when `spinnerPhase` is given), the name cut to one line, the size label.
    static void paintTile(QPainter &painter, const QRectF &tile, const LWTemplate &t, bool selected,
                          const std::optional<QImage> &image, std::optional<double> spinnerPhase);
    // The thumbnail's frame inside `tile`.
    [[nodiscard]] static QRectF thumbFrame(const QRectF &tile, const LWTemplate &t);
    // "<name> — click to preview, double-click to use".
    [[nodiscard]] static QString toolTip(const LWTemplate &t);

    // The shared store when `store` is null.
    explicit TemplateGrid(LWThumbs *store = nullptr, QWidget *parent = nullptr);
    ~TemplateGrid() override;

    // Lays the list out anew and scrolls back to the top.
    void setTemplates(QList<LWTemplate> list);
    const QList<LWTemplate> &templates() const { return m_list; }
    // The id of the highlighted template; it need not be in the list.
    void setSelected(const std::optional<QString> &id);
    const std::optional<QString> &selected() const { return m_selected; }

    const TemplateGridLayout &currentLayout() const { return m_layout; }
    // The tile under a viewport point.
    [[nodiscard]] std::optional<qsizetype> indexAt(QPoint viewportPos) const;
    // A tile in viewport coordinates (scrolling applied).
    QRectF tileRect(qsizetype index) const;
    // Indices of the tiles meeting the viewport, in list order.
    QList<qsizetype> visibleTiles() const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void clicked(const LWTemplate &t);
    void activated(const LWTemplate &t);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void relayout();
    // The selected template's place in the list, if it is there.
    std::optional<qsizetype> selectedIndex() const;
    // Tiles meeting the content rectangle `area`, in list order.
    QList<qsizetype> tilesIn(const QRectF &area) const;
    void thumbReady(const QString &key);
    // Whether the tile's thumbnail job is still to come.
    bool isPending(qsizetype index) const;
    // Tiles in view whose thumbnail is still to come, in list order.
    QList<qsizetype> pendingInView() const;
    void tick();
    void spin(bool on);

    QPointer<LWThumbs> m_store;
    QList<LWTemplate> m_list;
    QHash<QString, qsizetype> m_index; // template id -> list index
    std::optional<QString> m_selected;
    TemplateGridLayout m_layout;
    std::optional<qsizetype> m_pressed;
    bool m_spinning = false;
};
