#pragma once
#include "model/color.h"
#include "model/enums.h"

#include <QJsonObject>

class LWJsonIn;

LW_ENUM(LWFillKind, none, solid, linear, radial);
LW_ENUM(LWShapeKind, rectangle, ellipse, triangle, polygon, star, line, path);
LW_ENUM(LWTextAlign, left, center, right, justified);
LW_ENUM(LWVAlign, top, middle, bottom);
LW_ENUM(LWImageFit, fill, fit);
LW_ENUM(LWMask, none, rounded, ellipse, hexagon, star, arch, diamond);

// The paint of a shape, icon or page background. color2 and angle are kept (and compared)
// even where the kind does not draw them.
struct LWFill {
    LWFillKind kind = LWFillKind::none;
    LWColor color = LWColor::black;
    LWColor color2 = LWColor::white;
    double angle = 90; // degrees; 0 runs left to right, 90 top to bottom

    static LWFill solid(const LWColor &c) { return {LWFillKind::solid, c, c, 90}; }
    static LWFill linear(const LWColor &from, const LWColor &to, double angle = 90)
    {
        return {LWFillKind::linear, from, to, angle};
    }
    static LWFill radial(const LWColor &centre, const LWColor &outer) { return {LWFillKind::radial, centre, outer, 0}; }
    static LWFill none() { return {LWFillKind::none, LWColor::black, LWColor::white, 90}; }

    // Whether drawing the fill can put any paint on the page.
    bool isVisible() const;

    QJsonObject toJson() const;
    static LWFill fromJson(const LWJsonIn &in);
    friend bool operator==(const LWFill &, const LWFill &) = default;
};

struct LWStroke {
    LWColor color = LWColor::black;
    double width = 1;
    double dash = 0; // dash length; 0 or less draws a continuous line, gaps are 0.7 x dash

    LWStroke() = default;
    LWStroke(const LWColor &c, double w, double d = 0) : color(c), width(w), dash(d) {}

    QJsonObject toJson() const;
    static LWStroke fromJson(const LWJsonIn &in);
    friend bool operator==(const LWStroke &, const LWStroke &) = default;
};
