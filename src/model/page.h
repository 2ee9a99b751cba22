#pragma once
#include "model/element.h"
#include "model/style.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>

class LWJsonIn;

// A ruler guide, shared by all pages: a line of constant x (vertical) or y.
struct LWGuide {
    QUuid id;
    bool vertical = false;
    double position = 0; // points from the trim origin

    QJsonObject toJson() const;
    static LWGuide fromJson(const LWJsonIn &in);
    friend bool operator==(const LWGuide &, const LWGuide &) = default;
};

// One side of a card or one page of a flyer; elements back to front.
struct LWPage {
    QString name;
    LWFill background;
    QList<LWElement> elements;

    QJsonObject toJson() const;
    static LWPage fromJson(const LWJsonIn &in);
    friend bool operator==(const LWPage &, const LWPage &) = default;
};
