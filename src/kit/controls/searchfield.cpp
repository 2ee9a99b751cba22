#include "kit/controls/searchfield.h"

#include "kit/theme/focusring.h"
#include "kit/host/kithost.h"
#include "kit/paint/paint.h"
#include "kit/paint/symbols.h"
#include "kit/paint/uifont.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>

#include <cmath>

namespace {

int symbolEdge(const QWidget *w)
{
    return static_cast<int>(std::ceil(vkPixelSize(w->font())));
}

// A symbol in the theme's `dim`, square at the font's pixel size.
void paintSymbol(QWidget *w, const QString &name)
{
    QPainter p(w);
    p.setRenderHint(QPainter::Antialiasing);
    VKSymbols::paint(p, name, QRectF(w->rect()), VELKKitHost::theme().dim);
}

class SymbolLabel : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return QSize(symbolEdge(this), symbolEdge(this)); }

protected:
    void paintEvent(QPaintEvent *) override { paintSymbol(this, VKSymbols::magnifyingGlass); }
};

class ClearButton : public QAbstractButton {
public:
    explicit ClearButton(QWidget *parent) : QAbstractButton(parent)
    {
        setToolTip(QStringLiteral("Clear search"));
        setAccessibleName(QStringLiteral("Clear search"));
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::ArrowCursor);
    }
    QSize sizeHint() const override { return QSize(symbolEdge(this), symbolEdge(this)); }

protected:
    void paintEvent(QPaintEvent *) override { paintSymbol(this, VKSymbols::xmarkCircleFill); }
};

} // namespace

VKSearchField::VKSearchField(const QString &prompt, QWidget *parent) : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 7, 12, 7);
    row->setSpacing(6);
    magnifier_ = new SymbolLabel(this);
    edit_ = new QLineEdit(this);
    edit_->setFrame(false);
    edit_->setPlaceholderText(prompt);
    edit_->setAttribute(Qt::WA_MacShowFocusRect, false);
    clear_ = new ClearButton(this);
    clear_->hide();
    setFocusProxy(edit_);
    VKFocusRing::repaintOnFocus(edit_, this); // the field's capsule shows the ring
    row->addWidget(magnifier_, 0, Qt::AlignVCenter);
    row->addWidget(edit_, 1, Qt::AlignVCenter);
    row->addWidget(clear_, 0, Qt::AlignVCenter);
    applyTheme();

    connect(edit_, &QLineEdit::textChanged, this, [this](const QString &text) {
        clear_->setVisible(!text.isEmpty());
        Q_EMIT textChanged(text);
    });
    connect(clear_, &QAbstractButton::clicked, edit_, &QLineEdit::clear);
}

QString VKSearchField::text() const
{
    return edit_->text();
}

void VKSearchField::setText(const QString &text)
{
    edit_->setText(text);
}

QString VKSearchField::prompt() const
{
    return edit_->placeholderText();
}

void VKSearchField::setPrompt(const QString &prompt)
{
    edit_->setPlaceholderText(prompt);
}

void VKSearchField::applyTheme()
{
    // Called while painting too: only a real change may touch the palette, or the repaint it
    // causes would come back here.
    const VKKitTheme theme = VELKKitHost::theme();
    QPalette pal = edit_->palette();
    if (pal.color(QPalette::Text) == theme.text && pal.color(QPalette::PlaceholderText) == theme.dim &&
        pal.color(QPalette::Base) == QColor(Qt::transparent))
        return;
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, theme.text);
    pal.setColor(QPalette::PlaceholderText, theme.dim);
    edit_->setPalette(pal);
}

void VKSearchField::changeEvent(QEvent *event)
{
    // The symbols follow the inherited font's size.
    if (event->type() == QEvent::FontChange) {
        magnifier_->updateGeometry();
        clear_->updateGeometry();
    }
    QWidget::changeEvent(event);
}

void VKSearchField::paintEvent(QPaintEvent *)
{
    applyTheme();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF shape(rect());
    p.fillPath(VKPaint::capsule(shape), QColor(0, 0, 0, 89));
    p.strokePath(VKPaint::capsuleEdge(shape, 1),
                 QPen(QBrush(VKPaint::vertical(shape, {QColor(0, 0, 0, 153), QColor(255, 255, 255, 64)})), 1));
    if (edit_->hasFocus())
        VKFocusRing::paint(p, VKPaint::capsule(shape));
}
