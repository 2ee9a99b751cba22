#pragma once
#include "editor/editor.h"

#include <QRectF>
#include <QSizeF>
#include <optional>

class QPainter;

// The page view's drawn layers over the bitmap, in view points (origin at the top-left of the
// bleed box, s view points per page point). Stateless: every call reads the editor afresh.

// The veil or cover of the bleed band, the dashed bleed edge, grid, trim and dashed safe lines,
// then the guides and the snap lines of a drag across the whole view. Only the grid lines, guides
// and snap lines that cross `area` (the part being painted; empty: the whole view) are drawn.
void paintGuides(QPainter &p, const LWEditor &editor, double s, QSizeF view, QRectF area = {});

// Outlines of the selected items (orange and badged when locked), the handles and knob of an
// unlocked single selection at the points a press finds them, a single line's end handles, then
// the marquee and the rectangle being created. The text being typed into inline gets none of
// them (only its lock badge).
void paintSelection(QPainter &p, const LWEditor &editor, double s, const std::optional<LWRect> &marquee,
                    const std::optional<LWRect> &creating);
