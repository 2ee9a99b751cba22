#include "kit/chipbutton.h"

#include "kit/velkroot.h"

ChipButton::ChipButton(const QString &title, const QString &symbol, bool prominent, QWidget *parent)
    : VKChromeButton(vkPlain(title), parent)
{
    setCompact(true);
    setSymbol(symbol);
    setProminent(prominent);
}
