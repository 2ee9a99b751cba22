#pragma once
#include "model/rect.h"
#include "model/text.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>

class QPainter;
struct LWElement;

// The single definition of how a text element looks: measured exactly as it is drawn.
//
// Qt rounds font sizes to whole device pixels and scales letter spacing by the device, so a text
// is laid out once at a fixed high resolution (100 pixels per point, a 7200-DPI reference; fewer
// for text above 60 points, where Qt's metrics would overflow) and that one layout is drawn with a
// scale on any device (screen, 300/600-DPI bitmap, PDF): line breaks and widths never differ.
// Needs a QGuiApplication.
//
// Rules fixed here (all lengths in points):
// - Lines stack at a pitch of natural × max(leading, 0.5), natural = ascent + descent + line gap
//   of the font; the adjustment goes between lines only.
// - The block's content height runs from the first line's top (its ascent) to the last line's
//   baseline plus its descent and line gap, so the last line counts with its full natural height.
//   height = ceil(content) + 1: the extra point keeps a box grown to `height` from ever cutting
//   the last line through rounding.
// - Line breaks of every kind (LF, CR, CRLF, VT, FF, NEL, U+2028, U+2029) end a line; a break at
//   the very end starts no new line. An empty text measures as one line of the font.
// - Justified text stretches every line but the last of each paragraph.
// - Text needing more than 100000 points of height is cut there (`fits` false).
namespace LWTextLayout {

// What the typesetter is given: the display string and its attributes.
struct Attributed {
    QString string;     // upper-cased when asked; every line break as U+2028; " " when empty
    QFont font;         // LWFonts::font(fontName, size)
    double size = 12;   // points; at least 0.01
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignAbsolute;
    double lineSpacing = 0; // points added between lines (negative for leading below 1)
    double kern = 0;        // points added after every character (tracking)
    QColor color;
    bool underline = false;
};

struct Layout {
    double height = 0;        // H: ceil(content height) + 1
    int lines = 0;            // lines shown in the frame
    bool fits = true;         // every character is shown
    QList<QRectF> lineRects;  // per line: typographic box (ascent + descent), top-left space
    QList<QRectF> glyphRects; // per line with ink: the glyphs' outline box
    friend bool operator==(const Layout &, const Layout &) = default;
};

Attributed attributed(const LWText &text);
// Width at or below 1 point (or not a number) acts as 1 point; widths cap at 100000 points.
Layout layout(const LWText &text, double width);
double height(const LWText &text, double width);
// Draws into `box` (painter's y-down space): top at minY, midY − H/2 or maxY − H by vAlign.
// Nothing is clipped. A raster painter with a clip draws only the lines whose glyphs' ink, by
// each face's real reach above and below its baseline, comes within two pixels of the clip.
void draw(const LWText &text, const LWRect &box, QPainter &painter);
// Where draw() into `box` may leave ink, in the same space: every line's box (the underline) and
// every glyph's outline box. Anti-aliasing may touch the pixels beside it.
QRectF inkBounds(const LWText &text, const LWRect &box);

// The one rule by which a text box grows when its text no longer fits; editor and templates share
// it. Without text, or when the measured height is not above the box's, nothing changes (a box
// never shrinks). Otherwise the height becomes the measured one and the vertical alignment's edge
// stays put: the top for top, the centre for middle, the bottom for bottom. Left edge and width
// never change. Pure; safe on any thread that may measure text.
void growToFit(LWElement &element);

} // namespace LWTextLayout
