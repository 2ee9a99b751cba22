#include "ui/inspector/buttonrow.h"

#include "kit/cabinet/chromeroundbutton.h"

#include <cmath>

namespace {

// Room above and below the faces for the drop shadow; the never-shown selection glow may clip.
constexpr int shadowRoom = 4;

int faceEdge(const ChromeRoundButton *b)
{
    return static_cast<int>(std::ceil(b->faceSize()));
}

} // namespace

ButtonRow::ButtonRow(const QList<ChromeRoundButton *> &buttons, int gap, qsizetype stretchAt, QWidget *parent)
    : QWidget(parent), buttons_(buttons), gap_(gap), stretchAt_(stretchAt)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    for (ChromeRoundButton *b : buttons_)
        b->setParent(this);
}

QSize ButtonRow::sizeHint() const
{
    int width = 0, height = 0;
    for (const ChromeRoundButton *b : buttons_) {
        width += faceEdge(b) + (width > 0 ? gap_ : 0);
        height = std::max(height, faceEdge(b) + 2 * shadowRoom);
    }
    return {width, height};
}

void ButtonRow::resizeEvent(QResizeEvent *)
{
    const QMargins m = ChromeRoundButton::shadowMargins();
    const int extra = std::max(0, width() - sizeHint().width());
    int x = 0;
    for (qsizetype i = 0; i < buttons_.size(); ++i) {
        ChromeRoundButton *b = buttons_[i];
        if (i == stretchAt_)
            x += extra;
        b->setGeometry(QRect(QPoint(x - m.left(), shadowRoom - m.top()), b->sizeHint()));
        x += faceEdge(b) + gap_;
    }
}
