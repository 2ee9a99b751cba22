#include "ui/inspector/sections/fontfamilypicker.h"

#include "kit/cabinet/engravedlabel.h"
#include "kit/host/kithost.h"
#include "kit/paint/paint.h"
#include "kit/controls/popover.h"
#include "kit/views/scrollstyle.h"
#include "kit/controls/searchfield.h"
#include "kit/paint/uifont.h"
#include "kit/theme/velkroot.h"
#include "ui/inspector/sections/fontsource.h"

#include <QAbstractListModel>
#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSet>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

const QString includedTitle = QStringLiteral("VELK Fonts (included)");
const QString installedTitle = QStringLiteral("Fonts on this computer");
const QString licenceNote = QStringLiteral(" — included with VELK Leafwrighter (SIL Open Font License)");

} // namespace

// Header and family rows of the two filtered lists.
class FontFamilyPicker::Model : public QAbstractListModel {
public:
    Model(LWFontSource &fonts, QString current, QObject *parent)
        : QAbstractListModel(parent), current_(std::move(current)), included_(fonts.bundledFamilies())
    {
        const QSet<QString> bundled(included_.cbegin(), included_.cend());
        for (const QString &f : fonts.families())
            if (!f.startsWith(QLatin1Char('.')) && !bundled.contains(f))
                installed_ << f;
        setQuery({});
    }

    void setQuery(const QString &query)
    {
        beginResetModel();
        rows_.clear();
        const QStringList inc = filtered(included_, query), ins = filtered(installed_, query);
        if (!inc.isEmpty())
            rows_.append({IncludedHeader, includedTitle});
        for (const QString &f : inc)
            rows_.append({Included, f});
        rows_.append({InstalledHeader, installedTitle});
        for (const QString &f : ins)
            rows_.append({Installed, f});
        // Opened at the current family; a search starts at its first match.
        highlight_ = -1;
        for (int row = 0; row < rows_.size() && query.isEmpty() && highlight_ < 0; ++row)
            if (isFamily(rows_[row].kind) && rows_[row].text == current_)
                highlight_ = row;
        for (int row = 0; row < rows_.size() && highlight_ < 0; ++row)
            if (isFamily(rows_[row].kind))
                highlight_ = row;
        endResetModel();
    }

    // Moves the highlight to the next family row in `step`'s direction; stays at either end.
    void move(int step)
    {
        for (int row = highlight_ + step; row >= 0 && row < rows_.size(); row += step)
            if (isFamily(rows_[row].kind)) {
                const int was = highlight_;
                highlight_ = row;
                if (was >= 0)
                    Q_EMIT dataChanged(index(was), index(was), {HighlightRole});
                Q_EMIT dataChanged(index(row), index(row), {HighlightRole});
                return;
            }
    }
    int highlight() const { return highlight_; }

    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : int(rows_.size()); }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= rows_.size())
            return {};
        const Row &r = rows_[index.row()];
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return r.text;
        case Qt::ToolTipRole:
            return r.kind == Included ? r.text + licenceNote : r.kind == Installed ? r.text : QVariant();
        case KindRole:
            return int(r.kind);
        case CurrentRole:
            return isFamily(r.kind) && r.text == current_;
        case HighlightRole:
            return index.row() == highlight_;
        default:
            return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        if (!index.isValid() || index.row() >= rows_.size() || !isFamily(rows_[index.row()].kind))
            return Qt::NoItemFlags;
        return Qt::ItemIsEnabled;
    }

    static bool isFamily(Kind k) { return k == Included || k == Installed; }

private:
    struct Row {
        Kind kind;
        QString text;
    };
    QString current_;
    QStringList included_, installed_;
    QList<Row> rows_;
    int highlight_ = -1;
};

// Paints a row; a family's face is looked up the first time its row is painted.
class FontFamilyPicker::Delegate : public QStyledItemDelegate {
public:
    Delegate(LWFontSource &fonts, QObject *parent) : QStyledItemDelegate(parent), fonts_(fonts) {}

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        return QSize(0, rowHeight);
    }

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const auto kind = Kind(index.data(KindRole).toInt());
        const QString text = index.data(Qt::DisplayRole).toString();
        const QRectF r(option.rect);
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        if (!Model::isFamily(kind)) {
            const QFont f = EngravedLabel::labelFont();
            const double h = vkTextSize(f, text).height() + 1;
            EngravedLabel::paint(*p, QRectF(r.left() + 2, r.bottom() + 1 - h - 2, r.width() - 4, h), text.toUpper(), f);
            p->restore();
            return;
        }
        const VKKitTheme theme = VELKKitHost::theme();
        const QPainterPath back = VKPaint::roundedRect(r.adjusted(0, 1, 0, -1), 6);
        if (index.data(CurrentRole).toBool()) {
            QColor fill = theme.accent;
            fill.setAlphaF(0.7f);
            p->fillPath(back, fill);
        }
        if (index.data(HighlightRole).toBool()) { // the row Return picks, on the accent or not
            QColor ink = theme.text;
            ink.setAlphaF(0.12f);
            p->fillPath(back, ink);
            ink.setAlphaF(0.6f);
            p->strokePath(VKPaint::roundedRect(r.adjusted(0.75, 1.75, -0.75, -1.75), 5.25), QPen(ink, 1.5));
        }
        const QFont f = face(text);
        const QRectF textBox = r.adjusted(8, 4, -8, -4);
        p->setPen(theme.text);
        vkDrawText(*p, textBox, Qt::AlignLeft | Qt::AlignVCenter, vkElidedText(f, text, textBox.width()), f);
        p->restore();
    }

private:
    QFont face(const QString &family) const
    {
        if (auto it = faces_.constFind(family); it != faces_.constEnd())
            return *it;
        const auto members = fonts_.members(family);
        QFont f = fonts_.font(members.isEmpty() ? family : members.first().first, 15);
        const QScreen *screen = QGuiApplication::primaryScreen();
        f.setPointSizeF(15 * 72.0 / (screen ? screen->logicalDotsPerInchY() : 96.0)); // 15 interface px
        faces_.insert(family, f);
        return f;
    }

    LWFontSource &fonts_;
    mutable QHash<QString, QFont> faces_;
};

FontFamilyPicker::FontFamilyPicker(LWFontSource &fonts, const QString &current, QWidget *parent)
    : QWidget(parent), current_(current), search_(new VKSearchField(QStringLiteral("Search fonts"))),
      list_(new QListView), model_(new Model(fonts, current, this))
{
    setFixedWidth(width - 2 * VKPopover::padding);
    auto *title = new QLabel;
    vkPlain(title, QStringLiteral("Fonts"));
    title->setFont(vkFont(14, VKWeight::Heavy));

    list_->setModel(model_);
    list_->setItemDelegate(new Delegate(fonts, list_));
    list_->setUniformItemSizes(true); // else the view asks every row for its size
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setSpacing(0);
    list_->setFixedHeight(listHeight);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setMouseTracking(true);
    list_->viewport()->setAutoFillBackground(false);
    list_->setAttribute(Qt::WA_TranslucentBackground);
    list_->viewport()->setAttribute(Qt::WA_TranslucentBackground);
    list_->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    VKScrollStyle::apply(list_);

    // The popover's own padding (12) and 2 more make the 14 of every side.
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(8);
    column->addWidget(title);
    column->addWidget(search_);
    column->addWidget(list_);

    // The popover focuses its content on opening: letters typed at once go into the search.
    setFocusProxy(search_->lineEdit());
    connect(search_, &VKSearchField::textChanged, this, [this](const QString &q) {
        model_->setQuery(q);
        list_->scrollToTop();
    });
    search_->lineEdit()->installEventFilter(this);
    connect(list_, &QListView::clicked, this, [this](const QModelIndex &index) {
        if (Model::isFamily(Kind(index.data(KindRole).toInt())))
            Q_EMIT picked(index.data(Qt::DisplayRole).toString());
    });
}

FontFamilyPicker::~FontFamilyPicker() = default;

QString FontFamilyPicker::highlighted() const
{
    return model_->highlight() < 0 ? QString() : model_->index(model_->highlight()).data(Qt::DisplayRole).toString();
}

void FontFamilyPicker::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (search_->text().isEmpty() && model_->highlight() >= 0)
        list_->scrollTo(model_->index(model_->highlight()), QAbstractItemView::PositionAtCenter);
}

bool FontFamilyPicker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != search_->lineEdit() || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Down:
    case Qt::Key_Up:
        model_->move(static_cast<QKeyEvent *>(event)->key() == Qt::Key_Down ? 1 : -1);
        if (model_->highlight() >= 0)
            list_->scrollTo(model_->index(model_->highlight()));
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (const QString family = highlighted(); !family.isEmpty())
            Q_EMIT picked(family); // last: the receiver may close and delete the popover
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

QStringList FontFamilyPicker::filtered(const QStringList &families, const QString &query)
{
    if (query.isEmpty())
        return families;
    const QString q = query.toLower();
    QStringList out;
    for (const QString &f : families)
        if (f.toLower().contains(q))
            out << f;
    return out;
}
