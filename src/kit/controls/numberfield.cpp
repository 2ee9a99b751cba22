#include "kit/controls/numberfield.h"

#include "kit/host/focusedtext.h"
#include "kit/theme/focusring.h"
#include "kit/paint/paint.h"
#include "kit/theme/style.h"
#include "kit/paint/uifont.h"
#include "model/format.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>

#include <charconv>
#include <cmath>

namespace {

constexpr double minimumChange = 0.00001;

// The LCD window behind the line edit.
class Box : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        p.fillPath(VKPaint::roundedRect(r, 6), LWStyle::lcdBG());
        p.strokePath(VKPaint::roundedEdge(r, 6, 0.8), QPen(QColor(255, 255, 255, 46), 0.8));
        const QWidget *edit = focusProxy();
        if (edit && edit->hasFocus())
            VKFocusRing::paint(p, VKPaint::roundedRect(r, 6));
    }
};

} // namespace

// A line of text in the theme's dim colour, drawn at the font's exact size.
class NumberField::Text : public QWidget {
public:
    Text(const QString &text, const QFont &font, int minWidth) : text_(text), minWidth_(minWidth)
    {
        setFont(font);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    void setText(const QString &text)
    {
        text_ = text;
        updateGeometry();
        update();
    }
    QSize sizeHint() const override
    {
        const QSizeF s = vkTextSize(font(), text_);
        return {std::max(minWidth_, static_cast<int>(std::ceil(s.width()))), static_cast<int>(std::ceil(s.height()))};
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setPen(LWStyle::t().dim);
        vkDrawText(p, QRectF(rect()), Qt::AlignLeft | Qt::AlignVCenter, text_, font());
    }

private:
    QString text_;
    int minWidth_;
};

NumberField::NumberField(const QString &label, double value, const QString &unit, int digits, int width, QWidget *parent)
    : QWidget(parent), label_(label), value_(value), unit_(unit), digits_(digits)
{
    setAccessibleName(label);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    edit_ = new QLineEdit;
    edit_->setFrame(false);
    edit_->setTextMargins(6, 3, 6, 3);
    edit_->setFont(vkMono(11.5));
    edit_->setAccessibleName(label);
    QPalette pal = edit_->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, LWStyle::lcdText());
    edit_->setPalette(pal);
    edit_->installEventFilter(this);
    connect(edit_, &QLineEdit::returnPressed, this, [this] {
        const QPointer<NumberField> self(this);
        commitPending();
        if (self)
            vkGiveKeyboardHome(this);
    });

    box_ = new Box;
    box_->setFixedWidth(width);
    box_->setFocusProxy(edit_); // whose keyboard the box's ring shows
    VKFocusRing::repaintOnFocus(edit_, box_);
    auto *inBox = new QHBoxLayout(box_);
    inBox->setContentsMargins(0, 0, 0, 0);
    inBox->addWidget(edit_);

    unitLabel_ = new Text(unit, vkFont(10), 0);
    unitLabel_->setVisible(!unit.isEmpty());

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    row->addWidget(new Text(label, vkFont(10.5, VKWeight::Bold), 14), 0, Qt::AlignVCenter);
    row->addWidget(box_, 0, Qt::AlignVCenter);
    row->addWidget(unitLabel_, 0, Qt::AlignVCenter);
}

NumberField::~NumberField()
{
    // The line edit loses focus while the base class deletes it; that is no commit.
    edit_->removeEventFilter(this);
}

void NumberField::setValue(double value)
{
    value_ = value;
    if (!edit_->hasFocus() || !edit_->isModified())
        showValue();
}

void NumberField::setUnit(const QString &unit)
{
    unit_ = unit;
    unitLabel_->setText(unit);
    unitLabel_->setVisible(!unit.isEmpty());
}

void NumberField::showValue()
{
    edit_->setText(LWFormat::num(value_, digits_));
}

void NumberField::showEvent(QShowEvent *event)
{
    // A window coming back from the taskbar is no new appearance: typed text stays.
    if (!event->spontaneous())
        showValue();
}

bool NumberField::eventFilter(QObject *watched, QEvent *event)
{
    // Not editingFinished: Qt skips it on a focus loss when the text did not change since the last.
    if (watched == edit_ && event->type() == QEvent::FocusOut
        && static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
        commitPending();
    // With nothing typed, the window's Undo and Redo keys are the design's: the box has no text
    // of its own to take back (the value it took last went to the design).
    if (watched == edit_ && event->type() == QEvent::ShortcutOverride && !edit_->isModified()) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)) {
            key->ignore();
            return true;
        }
    }
    // Escape takes back what was typed; with nothing typed it goes on (a dialog closes).
    if (watched == edit_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape && edit_->isModified()) {
        showValue();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void NumberField::commitPending()
{
    // Only typed text counts: the shown text is the value rounded, never a new number.
    const std::optional<double> d = edit_->isModified() ? parse(edit_->text()) : std::nullopt;
    if (d && std::abs(*d - value_) > minimumChange) {
        const QPointer<NumberField> self(this);
        Q_EMIT committed(*d);
        if (!self)
            return; // the caller rebuilt its view
    }
    showValue();
}

std::optional<double> NumberField::parse(const QString &text)
{
    QString s = text;
    s.replace(QLatin1Char(','), QLatin1Char('.'));
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    qsizetype from = 0, to = s.size();
    while (from < to && blank(s[from]))
        ++from;
    while (to > from && blank(s[to - 1]))
        --to;
    // from_chars takes a minus but no plus; one plus before a digit or point is still a sign.
    if (from < to && s[from] == QLatin1Char('+') && !(from + 1 < to && s[from + 1] == QLatin1Char('-')))
        ++from;
    const QByteArray bytes = s.mid(from, to - from).toLatin1();
    double d = 0;
    const char *end = bytes.constData() + bytes.size();
    const auto [ptr, ec] = std::from_chars(bytes.constData(), end, d, std::chars_format::general);
    if (bytes.isEmpty() || ec != std::errc() || ptr != end || !std::isfinite(d))
        return std::nullopt;
    return d;
}
