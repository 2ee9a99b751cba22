#pragma once
#include <QString>

// The five faces of a template, each a PostScript name that LWFonts resolves.
struct LWFontPair {
    QString name;    // the key in LWTemplates::fontPairs()
    QString head;    // headings
    QString body;    // running text
    QString bold;    // bold text
    QString display; // the largest display words
    QString script;  // script lines

    friend bool operator==(const LWFontPair &, const LWFontPair &) = default;
};
