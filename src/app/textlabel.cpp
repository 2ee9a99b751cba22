#include "app/textlabel.h"

#include "kit/theme/velkroot.h"

#include <QLabel>

QLabel *lwTextLabel(const QString &text, double px, VKWeight weight, std::optional<QColor> colour, bool wrap,
                    QWidget *parent)
{
    auto *label = new QLabel(parent);
    vkPlain(label, text);
    label->setFont(vkFont(px, weight));
    if (colour) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, *colour);
        label->setPalette(pal);
    }
    label->setWordWrap(wrap);
    if (wrap)
        label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    return label;
}
