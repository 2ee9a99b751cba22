#include "app/boxes.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QWidget>

namespace {

template <class Box> Box *bare(int spacing)
{
    auto *box = new Box;
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(spacing);
    return box;
}

} // namespace

QHBoxLayout *lwRow(int spacing)
{
    return bare<QHBoxLayout>(spacing);
}

QVBoxLayout *lwStack(int spacing)
{
    return bare<QVBoxLayout>(spacing);
}

QWidget *lwHolder(QLayout *layout)
{
    auto *w = new QWidget;
    w->setLayout(layout);
    return w;
}
