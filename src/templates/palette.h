#pragma once
#include "model/color.h"

#include <QString>

// A template colour scheme: seven fixed roles plus two colours derived on each read.
struct LWPalette {
    QString name;      // the key in LWTemplates::palettes()
    LWColor primary;   // main colour
    LWColor deep;      // darker partner of primary
    LWColor accent;    // light or bright highlight
    LWColor accentInk; // darker accent, for accent-coloured text on paper
    LWColor ink;       // dark text colour
    LWColor paper;     // light background
    LWColor onPrimary; // text colour on primary

    // Softened text colour: ink 32 % of the way toward paper.
    LWColor muted() const { return ink.mix(paper, 0.32); }
    // Pale wash of the primary: primary 88 % of the way toward paper.
    LWColor tint() const { return primary.mix(paper, 0.88); }

    friend bool operator==(const LWPalette &, const LWPalette &) = default;
};
