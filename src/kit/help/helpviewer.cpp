#include "kit/help/helpviewer.h"

#include "kit/views/divider.h"
#include "kit/host/kithost.h"
#include "kit/help/liccredit.h"
#include "kit/paint/paint.h"
#include "kit/views/panel.h"
#include "kit/views/scrollstyle.h"
#include "kit/views/scrollview.h"
#include "kit/controls/searchfield.h"
#include "kit/paint/uifont.h"
#include "kit/theme/appstyle.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int rowPadX = 10, rowPadY = 7;
constexpr int wrapFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;

// Spaces and tabs only: other white space is text.
QString trimSpacesAndTabs(const QString &line)
{
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype start = 0, end = line.size();
    while (start < end && blank(line.at(start)))
        ++start;
    while (end > start && blank(line.at(end - 1)))
        --end;
    return line.mid(start, end - start);
}

void setColour(QWidget *w, const QColor &colour)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colour);
    pal.setColor(QPalette::Text, colour);
    w->setPalette(pal);
}

// Word-wrapped, selectable plain text.
QLabel *textLabel(const QString &text, const QFont &font, const QColor &colour)
{
    auto *label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setColour(label, colour);
    return label;
}

QFont rowFont(bool current)
{
    return vkFont(13, current ? VKWeight::Bold : VKWeight::Medium);
}

} // namespace

VELKHelpRow::VELKHelpRow(const VELKHelpTopic &topic, bool current, QWidget *parent)
    : QAbstractButton(parent), id_(topic.id), current_(current)
{
    setText(topic.title);
    setFont(rowFont(current));
    setFocusPolicy(Qt::TabFocus);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void VELKHelpRow::setCurrent(bool current)
{
    if (current == current_)
        return;
    current_ = current;
    setFont(rowFont(current));
    updateGeometry();
    update();
}

QSize VELKHelpRow::sizeHint() const
{
    const int w = static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(text()))) + 2 * rowPadX;
    return QSize(w, heightForWidth(w));
}

int VELKHelpRow::heightForWidth(int width) const
{
    const QRectF text = QFontMetricsF(font()).boundingRect(QRectF(0, 0, std::max(1, width - 2 * rowPadX), 1e6),
                                                           wrapFlags, this->text());
    return static_cast<int>(std::ceil(text.height())) + 2 * rowPadY;
}

void VELKHelpRow::paintEvent(QPaintEvent *)
{
    const VKKitTheme theme = VELKKitHost::theme();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (current_) {
        QColor fill = theme.accent;
        fill.setAlphaF(0.8f);
        p.fillPath(VKPaint::roundedRect(QRectF(rect()), 10), fill);
    }
    p.setFont(font());
    p.setPen(current_ ? QColor(Qt::white) : theme.text);
    p.drawText(QRectF(rect()).adjusted(rowPadX, rowPadY, -rowPadX, -rowPadY), wrapFlags, text());
}

VELKHelpViewer::VELKHelpViewer(std::optional<QString> initialTopic, QWidget *parent)
    : QWidget(parent), initial_(std::move(initialTopic))
{
    const VKKitTheme theme = VELKKitHost::theme();
    setMinimumSize(680, 440);

    auto *listContent = new QWidget;
    auto *list = new QVBoxLayout(listContent);
    list->setContentsMargins(0, 0, 0, 0);
    list->setSpacing(10);
    search_ = new VKSearchField(QStringLiteral("Search help"));
    list->addWidget(search_);

    auto *rowsWidget = new QWidget;
    rowColumn_ = new QVBoxLayout(rowsWidget);
    rowColumn_->setContentsMargins(0, 0, VKScrollStyle::clearance, 0);
    rowColumn_->setSpacing(4);
    nothingFound_ = new QLabel;
    nothingFound_->setTextFormat(Qt::PlainText);
    nothingFound_->setWordWrap(true);
    nothingFound_->setFont(vkFont(12));
    nothingFound_->setMargin(8);
    setColour(nothingFound_, theme.dim);
    rowColumn_->addWidget(nothingFound_);
    rowColumn_->addStretch();
    listScroll_ = new VKScrollView(rowsWidget);
    list->addWidget(listScroll_, 1);

    listPanel_ = new VKPanel(listContent, 22, 12);
    listPanel_->setFixedWidth(260);
    topicScroll_ = new VKScrollView;
    topicPanel_ = new VKPanel(topicScroll_, 22, 20);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(14);
    row->addWidget(listPanel_);
    row->addWidget(topicPanel_, 1);

    connect(search_, &VKSearchField::textChanged, this, &VELKHelpViewer::refresh);
    refresh();
}

void VELKHelpViewer::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Once the window has laid the list out.
    QMetaObject::invokeMethod(this, &VELKHelpViewer::revealCurrent, Qt::QueuedConnection);
}

void VELKHelpViewer::revealCurrent()
{
    for (VELKHelpRow *row : std::as_const(rows_))
        if (row->isCurrent()) {
            if (QWidget *content = listScroll_->widget(); content && content->layout())
                content->layout()->activate();
            listScroll_->ensureWidgetVisible(row, 0, rowColumn_->spacing());
            return;
        }
}

QList<HelpBlock> VELKHelpViewer::blocks(const QString &body)
{
    QList<HelpBlock> out;
    for (const QString &raw : body.split(u'\n')) {
        const QString line = trimSpacesAndTabs(raw);
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1String("## ")))
            out.append({HelpBlock::Kind::Heading, line.mid(3)});
        else if (line.startsWith(QStringLiteral("\u2022 ")))
            out.append({HelpBlock::Kind::Bullet, line.mid(2)});
        else
            out.append({HelpBlock::Kind::Paragraph, line});
    }
    return out;
}

QWidget *VELKHelpViewer::blockView(const HelpBlock &block, const VKKitTheme &theme)
{
    switch (block.kind) {
    case HelpBlock::Kind::Heading: {
        QLabel *label = textLabel(block.text, vkFont(15, VKWeight::Bold), VKAppStyle::accentText(theme));
        label->setContentsMargins(0, 6, 0, 0);
        return label;
    }
    case HelpBlock::Kind::Bullet: {
        auto *row = new QWidget;
        auto *layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(8);
        auto *bullet = new QLabel(QStringLiteral("\u2022"));
        bullet->setFont(QApplication::font());
        setColour(bullet, VKAppStyle::accentText(theme));
        QLabel *text = textLabel(block.text, vkFont(13.5), theme.text);
        // Both labels put their first baseline one ascent below their top: line them up.
        const int shift = static_cast<int>(
            std::lround(QFontMetricsF(text->font()).ascent() - QFontMetricsF(bullet->font()).ascent()));
        (shift >= 0 ? static_cast<QWidget *>(bullet) : text)->setContentsMargins(0, std::abs(shift), 0, 0);
        layout->addWidget(bullet, 0, Qt::AlignTop);
        layout->addWidget(text, 1);
        return row;
    }
    case HelpBlock::Kind::Paragraph:
        break;
    }
    return textLabel(block.text, vkFont(13.5), theme.text);
}

std::optional<VELKHelpTopic> VELKHelpViewer::currentTopic(const QList<VELKHelpTopic> &results,
                                                          const QList<VELKHelpTopic> &all,
                                                          const std::optional<QString> &selected,
                                                          const std::optional<QString> &initial)
{
    std::optional<QString> wanted = selected ? selected : initial;
    if (!wanted && !results.isEmpty())
        wanted = results.first().id;
    if (wanted) {
        for (const VELKHelpTopic &t : all) {
            if (t.id == *wanted)
                return t;
        }
    }
    if (!results.isEmpty())
        return results.first();
    return std::nullopt;
}

std::optional<QString> VELKHelpViewer::shownTopicID() const
{
    return shown_ ? std::optional<QString>(shown_->id) : std::nullopt;
}

void VELKHelpViewer::refresh()
{
    const QString query = search_->text();
    const QList<VELKHelpTopic> results = VELKHelp::search(query);
    const std::optional<VELKHelpTopic> current = currentTopic(results, VELKHelp::allTopics(), selected_, initial_);
    const QString currentID = current ? current->id : QString();

    bool same = rows_.size() == results.size();
    for (qsizetype i = 0; same && i < rows_.size(); ++i)
        same = rows_[i]->topicID() == results[i].id && rows_[i]->text() == results[i].title;
    if (same) {
        for (VELKHelpRow *row : std::as_const(rows_))
            row->setCurrent(row->topicID() == currentID);
    } else {
        // A row may be the sender of this very refresh: remove now, delete later.
        for (VELKHelpRow *row : std::as_const(rows_)) {
            row->hide();
            row->deleteLater();
        }
        rows_.clear();
        for (const VELKHelpTopic &t : results) {
            auto *row = new VELKHelpRow(t, t.id == currentID);
            connect(row, &QAbstractButton::clicked, this, [this, id = t.id] {
                selected_ = id;
                refresh();
            });
            rowColumn_->insertWidget(static_cast<int>(rows_.size()), row);
            rows_.append(row);
        }
    }

    nothingFound_->setText(QStringLiteral("Nothing found for \"") + query + QStringLiteral("\"."));
    nothingFound_->setVisible(results.isEmpty());
    showTopic(current);
}

void VELKHelpViewer::showTopic(const std::optional<VELKHelpTopic> &topic)
{
    if (topic == shown_)
        return;
    shown_ = topic;
    if (!topic) {
        topicScroll_->setContent(nullptr);
        return;
    }
    const VKKitTheme theme = VELKKitHost::theme();
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, VKScrollStyle::clearance, 0);
    column->setSpacing(10);
    column->addWidget(textLabel(topic->title, vkFont(22, VKWeight::Heavy), theme.text));
    for (const HelpBlock &block : blocks(topic->body))
        column->addWidget(blockView(block, theme));
    column->addWidget(new VKDivider(0, 6));
    column->addWidget(new VKLicCredit);
    column->addStretch();
    topicScroll_->setContent(page);
}
