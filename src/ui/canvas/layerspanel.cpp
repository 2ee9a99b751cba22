#include "ui/canvas/layerspanel.h"

#include "kit/cabinet/bezel.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/views/overhangitem.h"
#include "kit/views/scrollstyle.h"
#include "kit/views/scrollview.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/host/focusedtext.h"
#include "kit/host/shortcuts.h"
#include "kit/paint/paint.h"
#include "kit/theme/focusring.h"
#include "kit/zoom/zoomhost.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "kit/paint/uifont.h"
#include "ui/canvas/layerrow.h"

#include <QHBoxLayout>
#include <QEvent>
#include <QHash>
#include <QKeyEvent>
#include <QSet>
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

// The list's one Tab stop, laid over the current row: it takes the list's keys and rings the row
// while it has them; every click goes through to the row under it.
class RowCursor : public QWidget {
public:
    RowCursor(std::function<bool()> onAccent, QWidget *parent) : QWidget(parent), m_onAccent(std::move(onAccent))
    {
        setFocusPolicy(Qt::TabFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setProperty(vkArrowKeysProperty, true);
        VKFocusRing::repaintOnFocus(this);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!hasFocus())
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        VKFocusRing::paint(p, VKPaint::roundedRect(QRectF(rect()), 8),
                           m_onAccent() ? QColor(Qt::white) : VKFocusRing::colour()); // white on the accent
    }

private:
    std::function<bool()> m_onAccent;
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
    m_cursor = new RowCursor(
        [this] {
            const std::optional<QUuid> at = current();
            return at && m_editor.selection().contains(*at);
        },
        m_list);
    m_cursor->hide();
    m_cursor->installEventFilter(this);
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
    if (m_cursor && watched == m_cursor) {
        if (event->type() == QEvent::KeyPress && listKey(*static_cast<QKeyEvent *>(event)))
            return true;
        if (event->type() == QEvent::FocusIn) // Tab's inner scroll comes only after the zoom host's
            m_scroll->ensureWidgetVisible(m_cursor, 0, rowSpacing);
    } else if (event->type() == QEvent::Resize && m_cursor) {
        place();
    }
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
    const int width = rowWidth();
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
    placeCursor();
    orderTabs();
}

int LayersPanel::rowWidth() const
{
    // While the list scrolls, rows end short of the scroll indicator that lies over the list.
    return m_list->width() - (m_scroll->verticalScrollBar()->maximum() > 0 ? VKScrollStyle::clearance : 0);
}

int LayersPanel::currentPlace() const
{
    const QList<LWElement> &elements = m_editor.elements();
    const int n = int(elements.size());
    for (int i = 0; i < n; ++i)
        if (elements[i].id == m_current)
            return n - 1 - i;
    // Gone or never set: the top-most selected row, else the top row.
    const QList<QUuid> &selection = m_editor.selection();
    const QSet<QUuid> selected(selection.begin(), selection.end());
    for (int i = n - 1; i >= 0; --i)
        if (selected.contains(elements[i].id))
            return n - 1 - i;
    return n > 0 ? 0 : -1;
}

std::optional<QUuid> LayersPanel::current() const
{
    const int place = currentPlace();
    if (place < 0)
        return std::nullopt;
    const QList<LWElement> &elements = m_editor.elements();
    return elements[elements.size() - 1 - place].id;
}

void LayersPanel::placeCursor()
{
    const int place = currentPlace();
    if (place < 0 || m_dragging) {
        m_cursor->hide();
        return;
    }
    const QList<LWElement> &elements = m_editor.elements();
    m_cursor->setAccessibleName(elements[elements.size() - 1 - place].name);
    m_cursor->setGeometry(0, place * rowPitch, rowWidth(), LayerRow::rowHeight);
    m_cursor->show();
    m_cursor->raise(); // over rows made after it
    m_cursor->update();
}

bool LayersPanel::listKey(const QKeyEvent &key)
{
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    const QList<LWElement> &elements = m_editor.elements();
    const int n = int(elements.size()), at = currentPlace();
    if (at < 0 || (modifiers & ~Qt::ShiftModifier))
        return false;
    int to = at;
    switch (key.key()) {
    case Qt::Key_Up:
        to = std::max(0, at - 1);
        break;
    case Qt::Key_Down:
        to = std::min(n - 1, at + 1);
        break;
    case Qt::Key_Home:
        to = 0;
        break;
    case Qt::Key_End:
        to = n - 1;
        break;
    case Qt::Key_Left: // the list's, never the page's nudge
    case Qt::Key_Right:
        return true;
    case Qt::Key_Space: {
        const LWElement element = elements[n - 1 - at];
        m_current = element.id;
        if (modifiers & Qt::ShiftModifier)
            m_editor.setLocked(!element.locked, QList<QUuid>{element.id});
        else
            m_editor.setHidden(!element.hidden, {element.id});
        return true;
    }
    default:
        return false;
    }
    m_current = elements[n - 1 - to].id;
    m_editor.setSelection({m_current});
    placeCursor();
    m_scroll->ensureWidgetVisible(m_cursor, 0, rowSpacing);
    VKZoomHost::reveal(m_cursor);
    return true;
}

void LayersPanel::orderTabs()
{
    // Rows and a side switch made later join the window's Tab chain at its end: put them back in
    // reading order, side switch, rows, buttons, where the panel's place in the chain is.
    QList<QWidget *> stops;
    for (int i = 0; m_sides && i < m_sides->count(); ++i)
        stops << m_sides->segment(i);
    stops << m_cursor;
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
    connect(row, &LayerRow::clicked, this, [this, row] { // the list has the keyboard, at that row
        m_current = row->element().id;
        placeCursor();
        m_cursor->setFocus(Qt::MouseFocusReason);
    });
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
    // Without the keyboard the current row follows the selection.
    if (!m_cursor->hasFocus()) {
        const QList<QUuid> &selection = m_editor.selection();
        const QSet<QUuid> selected(selection.begin(), selection.end());
        const QList<LWElement> &elements = m_editor.elements();
        for (auto e = elements.crbegin(); e != elements.crend(); ++e)
            if (selected.contains(e->id)) {
                m_current = e->id;
                break;
            }
    }
    placeCursor();
}
