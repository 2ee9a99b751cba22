#include "app/templatebrowser.h"

#include "app/app.h"
#include "app/boxes.h"
#include "app/templategrid.h"
#include "app/templatethumb.h"
#include "app/thumbs.h"
#include "app/textlabel.h"
#include "kit/cabinet/bezel.h"
#include "kit/controls/chromebutton.h"
#include "kit/views/divider.h"
#include "kit/views/overhangitem.h"
#include "kit/paint/paint.h"
#include "kit/views/scrollstyle.h"
#include "kit/views/scrollview.h"
#include "kit/controls/searchfield.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/theme/focusring.h"
#include "kit/theme/style.h"
#include "kit/paint/symbols.h"
#include "templates/templates.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr int outerPadding = 16;
constexpr int columnGap = 14;
constexpr int categoryWidth = 210;
constexpr int previewWidth = 290;

// One category: its text on a rounded accent fill while it is the current one. Checked = current.
class CategoryRow : public QAbstractButton {
public:
    explicit CategoryRow(const QString &category, QWidget *parent = nullptr) : QAbstractButton(parent), m_text(category)
    {
        setCheckable(true);
        setAccessibleName(category);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus); // the current row only: the list is one Tab stop
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    const QString &category() const { return m_text; }
    // Up and Down choose the row above or below (the scroll view around would only scroll).
    std::function<void(int)> step;

    QSize sizeHint() const override
    {
        const QSizeF text = vkTextSize(font(true), m_text);
        return {static_cast<int>(std::ceil(text.width())) + 2 * padX, static_cast<int>(std::ceil(text.height())) + 2 * padY};
    }
    QSize minimumSizeHint() const override { return {2 * padX, sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const VKKitTheme theme = LWStyle::t();
        if (isChecked()) {
            QColor fill = theme.accent;
            fill.setAlphaF(0.85f);
            p.fillPath(VKPaint::roundedRect(QRectF(rect()), 9), fill);
        }
        const QFont f = font(isChecked());
        const QRectF text = QRectF(rect()).adjusted(padX, 0, -padX, 0);
        p.setPen(isChecked() ? QColor(Qt::white) : theme.text);
        vkDrawText(p, text, Qt::AlignLeft | Qt::AlignVCenter, vkElidedText(f, m_text, text.width()), f);
        if (hasFocus()) // white on the accent fill of the current row
            VKFocusRing::paint(p, VKPaint::roundedRect(QRectF(rect()), 9),
                               isChecked() ? QColor(Qt::white) : VKFocusRing::colour());
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) && step)
            step(event->key() == Qt::Key_Up ? -1 : 1);
        else
            QAbstractButton::keyPressEvent(event);
    }
    // The whole row takes clicks.
    bool hitButton(const QPoint &pos) const override { return rect().contains(pos); }

private:
    static constexpr int padX = 10, padY = 5;
    static QFont font(bool current) { return vkFont(12.5, current ? VKWeight::Bold : VKWeight::Medium); }

    QString m_text;
};

// A panel of exactly `width`, its shadow overhanging the gaps around it.
void addPanel(QBoxLayout *row, QWidget *content, const QString &title, int width)
{
    auto *bezel = new Bezel(content, title);
    const QMargins m = Bezel::shadowMargins();
    bezel->setFixedWidth(width + m.left() + m.right());
    VKOverhangItem::add(row, bezel, m);
}

// A wrapping label as tall as its lines at the width it gets (its size hint guesses a narrower
// width: a card's longer subtitle took two lines' height for one line of text).
QLabel *exactHeight(QLabel *label)
{
    QSizePolicy policy = label->sizePolicy();
    policy.setHeightForWidth(true);
    label->setSizePolicy(policy);
    return label;
}

QString subtitle(const LWTemplate &t)
{
    QString s = LWTemplates::sizeLabel(t.sizeID);
    if (t.kind == LWDocKind::businessCard)
        s += QStringLiteral(" \u00b7 front and back");
    return s;
}

} // namespace

const QList<TemplateBrowser::SizeChoice> &TemplateBrowser::sizes()
{
    static const QList<SizeChoice> table = {
        {"all", "All sizes"}, {"us-card", "US card"}, {"eu-card", "EU card"},
        {"letter", "Letter"}, {"a4", "A4"},           {"half-letter", "Half-letter"},
    };
    return table;
}

QStringList TemplateBrowser::categories()
{
    return QStringList{QStringLiteral("All"), QStringLiteral("Business Cards"), QStringLiteral("Flyers")} +
           LWTemplates::categories();
}

TemplateBrowser::TemplateBrowser(LWApp &app, LWThumbs *store, QWidget *parent)
    : QWidget(parent), m_app(app), m_store(store ? store : &LWThumbs::shared())
{
    // Without a parent until the end: setLayout then adopts the panels the overhang items hold.
    auto *columns = new QHBoxLayout;
    columns->setContentsMargins(outerPadding, outerPadding, outerPadding, outerPadding);
    columns->setSpacing(columnGap);
    addPanel(columns, categoryPanel(), QStringLiteral("Categories"), categoryWidth);
    columns->addWidget(middleColumn(), 1);

    m_pane = lwStack(0);
    addPanel(columns, lwHolder(m_pane), QStringLiteral("Preview"), previewWidth);
    setLayout(columns);

    refresh();
    rebuildPreview();

    // Ctrl+F anywhere in the window while the browser shows (inside the zoom host, the
    // application's focus widget is the host: a narrower context never matches).
    auto *find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        m_search->setFocus(Qt::ShortcutFocusReason);
        m_search->lineEdit()->selectAll();
    });
    m_search->lineEdit()->installEventFilter(this);
}

void TemplateBrowser::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The keyboard starts in the search; keys never go to a screen that is gone.
    if (!m_shown) {
        m_shown = true;
        m_search->setFocus(Qt::OtherFocusReason);
    }
}

void TemplateBrowser::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    if (event->key() == Qt::Key_Escape) {
        leave();
        return;
    }
    // A letter typed anywhere else in the browser starts a search.
    if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) && !typed.isEmpty() &&
        typed.at(0).isPrint() && !typed.at(0).isSpace()) {
        m_search->setFocus(Qt::OtherFocusReason); // not a reason that selects the whole search
        m_search->lineEdit()->end(false);
        m_search->lineEdit()->insert(typed);
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TemplateBrowser::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_search->lineEdit() || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Down: // on into the results
        m_grid->setFocus(Qt::TabFocusReason);
        if (!listedSelection() && !m_list.isEmpty())
            select(m_list.constFirst().id);
        return true;
    case Qt::Key_Escape: // a search is cleared first
        if (m_search->text().isEmpty())
            return false;
        m_search->setText(QString());
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void TemplateBrowser::leave()
{
    m_app.setScreen(m_app.editor() ? LWAppScreen::editor : LWAppScreen::start);
}

QWidget *TemplateBrowser::categoryPanel()
{
    auto *rows = lwStack(2);
    rows->setContentsMargins(0, 0, VKScrollStyle::clearance, 0);
    for (const QString &category : categories()) {
        auto *row = new CategoryRow(category);
        row->setChecked(category == m_filter);
        if (category == m_filter)
            row->setFocusPolicy(Qt::TabFocus);
        connect(row, &QAbstractButton::clicked, this, [this, category] { setFilter(category); });
        row->step = [this, row](int delta) {
            const qsizetype to = m_rows.indexOf(row) + delta;
            if (to < 0 || to >= m_rows.size())
                return;
            setFilter(static_cast<CategoryRow *>(m_rows[to])->category());
            m_rows[to]->setFocus(Qt::TabFocusReason); // the scroll view brings it into view
        };
        m_rows.append(row);
        rows->addWidget(row);
        if (category == QLatin1String("Flyers"))
            rows->addWidget(new VKDivider(0, 4));
    }
    rows->addStretch(1);
    auto *scroll = new VKScrollView(lwHolder(rows));
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return scroll;
}

QWidget *TemplateBrowser::middleColumn()
{
    m_search = new VKSearchField(QStringLiteral("Search templates (salon, yard sale\u2026)"));
    m_search->setMaximumWidth(380);
    connect(m_search, &VKSearchField::textChanged, this, &TemplateBrowser::setQuery);

    QStringList labels;
    for (const SizeChoice &s : sizes())
        labels << QString::fromUtf8(s.label);
    m_picker = new SegmentedPicker(QStringLiteral("Size"), labels);
    // Segments share the strip equally: room enough that the longest label is not cut short.
    int widest = 0;
    for (int i = 0; i < m_picker->count(); ++i)
        widest = std::max(widest, m_picker->segment(i)->sizeHint().width());
    m_picker->setMinimumWidth(m_picker->label()->sizeHint().width() + m_picker->layout()->spacing() +
                              m_picker->count() * widest);
    m_picker->setMaximumWidth(470);
    m_picker->setToolTip(QStringLiteral("Show templates in one ready-made size"));
    m_picker->setCurrent(0);
    connect(m_picker, &SegmentedPicker::picked, this, [this](int index) {
        if (index >= 0 && index < sizes().size())
            setSize(QString::fromUtf8(sizes()[index].id));
    });

    m_count = lwTextLabel(QString(), 11, VKWeight::Normal, LWStyle::t().dim);
    // As wide as the widest count the library can give, so the row never shifts as it changes.
    const qsizetype digits = QString::number(LWTemplates::all().size()).size();
    int countWidth = 0;
    for (char d = '0'; d <= '9'; ++d)
        countWidth = std::max(countWidth, m_count->fontMetrics().horizontalAdvance(
                                              QString(digits, QLatin1Char(d)) + QStringLiteral(" shown")));
    m_count->setFixedWidth(countWidth + 2);
    m_count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto *search = new QHBoxLayout;
    search->setContentsMargins(0, 0, 0, 0);
    search->addWidget(m_search, 1);
    // The field grows first (up to its maximum), then the space between picker and count.
    search->addWidget(m_picker);
    search->addStretch(0);
    search->addWidget(m_count);

    m_grid = new TemplateGrid(m_store);
    connect(m_grid, &TemplateGrid::clicked, this, [this](const LWTemplate &t) { select(t.id); });
    // Last act: the app may replace this screen.
    connect(m_grid, &TemplateGrid::activated, this, [app = &m_app](const LWTemplate &t) { app->newFromTemplate(t); });

    auto *column = lwStack(10);
    column->addLayout(search);
    column->addWidget(m_grid, 1);
    return lwHolder(column);
}

QAbstractButton *TemplateBrowser::categoryRow(const QString &category) const
{
    for (QAbstractButton *row : m_rows)
        if (static_cast<CategoryRow *>(row)->category() == category)
            return row;
    return nullptr;
}

void TemplateBrowser::setFilter(const QString &filter)
{
    // A click unchecks a current row: every row is set again either way. Tab reaches the current one.
    for (QAbstractButton *row : std::as_const(m_rows)) {
        const bool current = static_cast<CategoryRow *>(row)->category() == filter;
        row->setChecked(current);
        row->setFocusPolicy(current ? Qt::TabFocus : Qt::NoFocus);
    }
    if (filter == m_filter)
        return;
    m_filter = filter;
    refresh();
}

void TemplateBrowser::setSize(const QString &size)
{
    if (size == m_size)
        return;
    m_size = size;
    refresh();
}

void TemplateBrowser::setQuery(const QString &query)
{
    if (query == m_query)
        return;
    m_query = query;
    refresh();
}

void TemplateBrowser::refresh()
{
    const std::optional<QString> sizeID = m_size == QLatin1String("all") ? std::nullopt : std::optional(m_size);
    m_list = LWTemplates::filtered(m_filter, sizeID, m_query);
    m_count->setText(QString::number(m_list.size()) + QStringLiteral(" shown"));
    m_grid->setTemplates(m_list);
    // The preview follows: a selection the search hides shows nothing, and again once shown.
    if (m_previewed != listedSelection())
        rebuildPreview();
}

std::optional<QString> TemplateBrowser::listedSelection() const
{
    const auto shown = [this](const LWTemplate &t) { return t.id == *m_selected; };
    return m_selected && std::any_of(m_list.cbegin(), m_list.cend(), shown) ? m_selected : std::nullopt;
}

void TemplateBrowser::select(const QString &id)
{
    if (m_selected == id)
        return;
    m_selected = id;
    m_grid->setSelected(m_selected);
    rebuildPreview();
}

void TemplateBrowser::rebuildPreview()
{
    if (m_preview) {
        m_preview->hide();
        m_preview->deleteLater();
    }
    m_use = nullptr;
    m_previewed = listedSelection();
    const std::optional<LWTemplate> t = m_previewed ? LWTemplates::named(*m_previewed) : std::nullopt;
    if (t) {
        m_preview = previewOf(*t);
    } else {
        QLabel *hint = lwTextLabel(
            QStringLiteral("Click a template to see it here.\nDouble-click to start designing with it."), 12,
            VKWeight::Normal, LWStyle::t().dim);
        hint->setAlignment(Qt::AlignCenter);
        hint->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        m_preview = hint;
    }
    m_pane->addWidget(m_preview);
}

QWidget *TemplateBrowser::previewOf(const LWTemplate &t)
{
    auto *items = lwStack(10);
    QLabel *name = exactHeight(lwTextLabel(t.name, 15, VKWeight::Heavy, std::nullopt, true));
    name->setObjectName(QStringLiteral("previewName"));
    items->addWidget(name);
    QLabel *size = exactHeight(lwTextLabel(subtitle(t), 11, VKWeight::Normal, LWStyle::t().dim, true));
    size->setObjectName(QStringLiteral("previewSize"));
    items->addWidget(size);

    const bool card = t.kind == LWDocKind::businessCard;
    for (int page = 0; page < (card ? 2 : 1); ++page) {
        auto *thumb = new TemplateThumb(t, page, card ? 146 : 330, m_store);
        thumb->setFixedSize(thumb->sizeHint());
        VKOverhangItem::add(items, thumb, templateThumbMargins());
    }

    auto *use = new VKChromeButton(QStringLiteral("Use This Template"));
    use->setSymbol(VKSymbols::wandAndStars);
    use->setProminent(true);
    // Last act: the app may replace this screen.
    connect(use, &QAbstractButton::clicked, this, [app = &m_app, t] { app->newFromTemplate(t); });
    VKOverhangItem::add(items, use, VKChromeButton::shadowMargins());
    m_use = use;

    items->addWidget(lwTextLabel(
        QStringLiteral("All words are sample text. Click any of them in the editor to type your own."), 10.5,
        VKWeight::Normal, LWStyle::t().dim, true));
    items->addStretch(1);
    return lwHolder(items);
}
