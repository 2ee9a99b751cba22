#pragma once
#include "kit/controls/chromebutton.h"

// A small command button: the compact chrome button, its optional symbol 5 px before the title.
// The title is plain text (no mnemonic); connect clicked() for the action.
class ChipButton : public VKChromeButton {
    Q_OBJECT
public:
    explicit ChipButton(const QString &title, const QString &symbol = {}, bool prominent = false,
                        QWidget *parent = nullptr);
};
