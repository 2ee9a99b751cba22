#include "kit/controls/chipbutton.h"

#include "kit/theme/velkroot.h"

ChipButton::ChipButton(const QString &title, const QString &symbol, bool prominent, QWidget *parent)
    : VKChromeButton(vkPlain(title), parent)
{
    setCompact(true);
    setSymbol(symbol);
    setProminent(prominent);
}
