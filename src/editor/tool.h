#pragma once
#include "model/enums.h"

#include <QString>

// The canvas tools, in the tool rail's order. Stored and looked up by case name (LWEnum).
LW_ENUM(LWTool, select, text, rectangle, ellipse, line, polygon, star, icon, photo);

// Alignment commands, by case name.
LW_ENUM(LWAlign, left, hCenter, right, top, vMiddle, bottom);

// Stacking-order commands; never stored or shown by name.
enum class LWArrange { front, forward, backward, back };

// One snap guide the canvas draws during a drag: x = position when vertical, else y = position.
struct LWSnapLine {
    bool vertical = false;
    double position = 0; // page points
    friend bool operator==(const LWSnapLine &, const LWSnapLine &) = default;
};

namespace LWTools {
// What the tool rail shows and the key that picks the tool. `symbol` names a symbol image of
// the original artwork set; the tool rail maps it to one of our icons.
struct Info {
    QString title;
    QString symbol;
    QString key; // one lower-case letter
};
const Info &info(LWTool tool);
} // namespace LWTools
