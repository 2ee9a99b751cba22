#pragma once
#include "model/document.h"

#include <QString>
#include <functional>

// One ready-made design in one size: a small record whose builder makes the design on demand.
struct LWTemplate {
    QString id;     // baseID and the size suffix: "card-001", "card-001-eu", "flyer-037-a4"
    QString baseID; // shared by every size of one design: "card-001" ... "flyer-100"
    QString sizeID; // the LWSizePreset it is made in
    QString name;   // category, " · ", layout name
    LWDocKind kind = LWDocKind::custom;
    QString category; // the trade's category
    QString style;    // the layout's name
    QString keywords; // search text
    // A fresh design with new ids on every call. It captures only values, so it may run on any
    // thread, also several at once, once the fonts are registered on the main thread.
    std::function<LWDocument()> make;

    // The preset of sizeID; for an unknown id the US card for a card and Letter otherwise.
    LWSizePreset preset() const;
    double aspect() const; // height / width of the preset
};
