#include "app/sheets/sheetparts.h"

#include "kit/host/kithost.h"
#include "kit/paint/paint.h"
#include "kit/paint/symbols.h"
#include "kit/theme/focusring.h"
#include "kit/theme/themeroot.h"
#include "kit/paint/uifont.h"
#include "kit/theme/velkroot.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

LWSymbolLabel::LWSymbolLabel(const QString &symbol, double px, const QColor &colour, QWidget *parent)
    : QWidget(parent), symbol_(symbol), px_(px), colour_(colour)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void LWSymbolLabel::setColour(const QColor &colour)
{
    colour_ = colour;
    update();
}

QSize LWSymbolLabel::sizeHint() const
{
    const int side = int(std::ceil(px_));
    return {side, side};
}

void LWSymbolLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    VKSymbols::paint(p, symbol_, QRectF(rect()), colour_);
}

QPushButton *lwLinkButton(const QString &text, double px, QWidget *parent)
{
    auto *link = new QPushButton(parent);
    link->setText(vkPlain(text));
    link->setFlat(true);
    link->setFont(vkFont(px, VKWeight::Semibold));
    link->setCursor(Qt::PointingHandCursor);
    // Disabled, it fades as the kit's controls do.
    const QColor colour = VELKThemeRoot::themePalette(VELKKitHost::theme()).color(QPalette::Link);
    const QString faded = QStringLiteral("rgba(%1, %2, %3, %4)")
                              .arg(colour.red())
                              .arg(colour.green())
                              .arg(colour.blue())
                              .arg(qRound(255 * VKPaint::disabledOpacity));
    // With the keyboard, the kit's focus ring: an outline in the accent, its room kept meanwhile.
    link->setStyleSheet(QStringLiteral("QPushButton { border: %3px solid transparent; border-radius: 4px; padding: 0 2px;"
                                       " text-align: left; color: %1; }"
                                       "QPushButton:focus { border-color: %4; }"
                                       "QPushButton:disabled { color: %2; }")
                            .arg(colour.name(), faded)
                            .arg(VKFocusRing::width)
                            .arg(VKFocusRing::colour().name()));
    link->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    link->setAutoDefault(false);
    return link;
}

QVBoxLayout *lwSheetForm(QDialog *dialog, const QString &title, int spacing)
{
    dialog->setWindowTitle(title);
    dialog->setWindowModality(Qt::WindowModal);
    velkRoot(dialog);
    auto *form = new QVBoxLayout(dialog);
    form->setContentsMargins(24, 24, 24, 24);
    form->setSpacing(spacing);
    return form;
}

bool lwIsReturn(const QKeyEvent *event)
{
    return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
           (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier);
}

void lwFitDialog(QDialog *dialog, int width)
{
    dialog->setFixedWidth(width);
    QLayout *layout = dialog->layout();
    if (!layout)
        return;
    layout->activate();
    const int height =
        layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : layout->totalSizeHint().height();
    dialog->setFixedHeight(height);
}
