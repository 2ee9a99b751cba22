#include "ui/canvas/layerspanel.h"

#include "kit/cabinet/bezel.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/views/overhangitem.h"
#include "kit/views/scrollstyle.h"
#include "kit/views/scrollview.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/host/shortcuts.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/paint/uifont.h"
#include "ui/canvas/layerrow.h"

#include <QHBoxLayout>
#include <QEvent>
#include <QHash>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

constexpr int hintTop = 8;
constexpr int rowSpacing = 3;
constexpr int rowPitch = LayerRow::rowHeight + rowSpacing;
constexpr int overscan = 4; // rows laid out beyond each end of the view
constexpr int maxSpare = 32;
constexpr int textFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

// The empty page's hint: wrapped to the list's width, in the theme's dim colour read when painting.
class Hint : public QWidget {
public:
    explicit Hint(QWidget *parent = nullptr) : QWidget(parent)
    {
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        return hintTop + QFontMetrics(vkFont(11)).boundingRect(QRect(0, 0, width, 10000), textFlags,
                                                                LayersPanel::hintText).height();
    }
    QSize sizeHint() const override { return {160, heightForWidth(160)}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setFont(vkFont(11));
        p.setPen(LWStyle::t().dim);
        p.drawText(rect().adjusted(0, hintTop, 0, 0), textFlags, LayersPanel::hintText);
    }
};

} // namespace

LayersPanel::LayersPanel(LWEditor &editor, QWidget *parent)
    : QWidget(parent), m_editor(editor), m_scroll(new VKScrollView), m_hint(new Hint)
{
    auto *content = new QWidget;
    m_column = new QVBoxLayout(content);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(8);

    // Rows are laid from the top down, so a list that grows or shrinks by a row repaints only what
    // comes into view instead of every row.
    auto *list = new QWidget;
    list->setAttribute(Qt::WA_StaticContents);
    auto *stack = new QVBoxLayout(list);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(rowSpacing);
    m_list = new QWidget;
    m_list->setAttribute(Qt::WA_StaticContents);
    m_list->setFixedHeight(0);
    m_list->installEventFilter(this);
    stack->addWidget(m_list);
    stack->addWidget(m_hint);
    stack->addStretch(1);
    m_scroll->setContent(list);
    m_scroll->viewport()->installEventFilter(this);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, &LayersPanel::place);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::rangeChanged, this, &LayersPanel::place);
    m_column->addWidget(m_scroll, 1);

    struct Action {
        QString symbol;
        QString help;
        std::function<void()> run;
    };
    const Action actions[] = {
        {VKSymbols::arrowUpToLine, LWShortcuts::help(QStringLiteral("Bring to Front"), LWShortcuts::bringToFront),
         [&editor] { editor.arrange(LWArrange::front); }},
        {VKSymbols::arrowUp, LWShortcuts::help(QStringLiteral("Bring Forward"), LWShortcuts::bringForward),
         [&editor] { editor.arrange(LWArrange::forward); }},
        {VKSymbols::arrowDown, LWShortcuts::help(QStringLiteral("Send Backward"), LWShortcuts::sendBackward),
         [&editor] { editor.arrange(LWArrange::backward); }},
        {VKSymbols::arrowDownToLine, LWShortcuts::help(QStringLiteral("Send to Back"), LWShortcuts::sendToBack),
         [&editor] { editor.arrange(LWArrange::back); }},
        {VKSymbols::trash, QStringLiteral("Delete"), [&editor] { editor.deleteSelection(); }},
    };
    // The faces sit 6 apart; their shadows overhang, and below the row they get room of their own.
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->setContentsMargins(0, 0, 0, ChromeRoundButton::shadowMargins().bottom());
    buttons->addStretch(1);
    for (const Action &a : actions) {
        auto *button = new ChromeRoundButton(a.symbol, a.help, a.run, false, 28);
        m_buttons << button;
        VKOverhangItem::add(buttons, button, ChromeRoundButton::shadowMargins());
    }
    buttons->addStretch(1);
    m_column->addLayout(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new Bezel(content, title, 18, 10));

    refresh();
    selectionChanged();
    connect(&editor, &LWEditor::docChanged, this, &LayersPanel::refresh);
    connect(&editor, &LWEditor::sideChanged, this, &LayersPanel::refresh);
    connect(&editor, &LWEditor::selectionChanged, this, &LayersPanel::selectionChanged);
}

bool LayersPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize)
        place();
    return QWidget::eventFilter(watched, event);
}

void LayersPanel::refresh()
{
    rebuildSides();
    if (m_dragging)
        return; // the row running the drag must outlive it; dragFinished refreshes
    const QList<LWElement> &elements = m_editor.elements();
    QList<RowKey> keys;
    keys.reserve(elements.size());
    for (const LWElement &e : elements)
        keys.append({e.id, e.name, e.kind, e.shape, e.hidden, e.locked});
    if (m_editor.pageIndex() == m_shownSide && keys == m_keys)
        return;
    m_shownSide = m_editor.pageIndex();
    m_keys = std::move(keys);
    const int n = int(m_keys.size());
    m_list->setFixedHeight(n ? n * rowPitch - rowSpacing : 0);
    m_list->setVisible(n > 0);
    m_hint->setVisible(n == 0);
    place();
}

void LayersPanel::place()
{
    if (m_dragging)
        return;
    const QList<LWElement> &elements = m_editor.elements();
    const int n = int(elements.size());
    // The part of the list in view, in rows counted from the top.
    const int top = -m_list->mapTo(m_scroll->viewport(), QPoint()).y();
    const int first = std::max(0, top / rowPitch - overscan);
    const int last = std::min(n - 1, (top + m_scroll->viewport()->height()) / rowPitch + overscan);

    // Rows keep their element where they can (a damaged file may repeat an id: one row keeps it).
    QHash<QUuid, LayerRow *> laid;
    QList<LayerRow *> gone;
    for (LayerRow *row : std::as_const(m_rows))
        if (laid.contains(row->element().id))
            gone << row;
        else
            laid.insert(row->element().id, row);
    QList<LayerRow *> rows(std::max(0, last - first + 1), nullptr);
    for (int p = first; p <= last; ++p)
        rows[p - first] = laid.take(elements[n - 1 - p].id);
    gone << laid.values();
    for (LayerRow *row : std::as_const(gone)) {
        row->hide();
        m_spare << row;
    }
    // While the list scrolls, rows end short of the scroll indicator that lies over the list.
    const int width = m_list->width() - (m_scroll->verticalScrollBar()->maximum() > 0 ? VKScrollStyle::clearance : 0);
    for (int p = first; p <= last; ++p) {
        LayerRow *&row = rows[p - first];
        const int index = n - 1 - p;
        if (!row)
            row = freeRow();
        row->setElement(elements[index], index);
        row->setGeometry(0, p * rowPitch, width, LayerRow::rowHeight);
        row->show();
    }
    m_rows = rows;
    while (m_spare.size() > maxSpare)
        m_spare.takeLast()->deleteLater();
    orderTabs();
}

void LayersPanel::orderTabs()
{
    // Rows and a side switch made later join the window's Tab chain at its end: put them back in
    // reading order, side switch, rows, buttons, where the panel's place in the chain is.
    QList<QWidget *> stops;
    for (int i = 0; m_sides && i < m_sides->count(); ++i)
        stops << m_sides->segment(i);
    for (LayerRow *row : std::as_const(m_rows))
        stops << row->eyeButton() << row->lockButton();
    for (ChromeRoundButton *button : std::as_const(m_buttons))
        stops << button;
    QWidget *before = m_buttons.constFirst()->previousInFocusChain();
    while (before && before != m_buttons.constFirst() && (before == this || isAncestorOf(before)))
        before = before->previousInFocusChain();
    if (!before || before == m_buttons.constFirst())
        return;
    for (QWidget *stop : std::as_const(stops)) {
        QWidget::setTabOrder(before, stop);
        before = stop;
    }
}

LayerRow *LayersPanel::freeRow()
{
    if (!m_spare.isEmpty())
        return m_spare.takeLast();
    auto *row = new LayerRow(m_editor, m_editor.elements().first(), 0, m_list);
    connect(row, &LayerRow::dragStarted, this, [this] { m_dragging = true; });
    connect(row, &LayerRow::dragFinished, this, [this] {
        m_dragging = false;
        refresh();
        place();
    });
    return row;
}

void LayersPanel::rebuildSides()
{
    QStringList names;
    for (const LWPage &page : m_editor.doc().pages)
        names << page.name;
    if (names.size() < 2)
        names.clear();
    if (names != m_sideNames) {
        m_sideNames = names;
        if (m_sides) {
            m_column->removeWidget(m_sides);
            m_sides->hide();
            m_sides->deleteLater();
            m_sides = nullptr;
        }
        if (!names.isEmpty()) {
            m_sides = new SegmentedPicker(QString(), names);
            connect(m_sides, &SegmentedPicker::picked, this, [this](int i) { m_editor.switchSide(i); });
            m_column->insertWidget(0, m_sides);
            orderTabs();
        }
    }
    if (m_sides)
        m_sides->setCurrent(m_editor.pageIndex());
}

void LayersPanel::selectionChanged()
{
    const bool none = m_editor.selection().isEmpty();
    for (ChromeRoundButton *button : std::as_const(m_buttons))
        button->setDisabled(none);
    for (LayerRow *row : std::as_const(m_rows))
        row->followSelection();
}
