#pragma once
class QRawFont;

// How far a face's glyphs really reach above and below their baseline, read from its own
// outlines: stacked accents and swashes rise past the ascent and fall past the descent, so what
// decides whether a text line can touch some rows is this, never the ascent and descent alone.
namespace LWFontInk {

// In ems, both positive outward: the highest top of any glyph's ink above the baseline and the
// lowest bottom below it, never less than the face's ascent and descent. Read once per face (the
// glyph headers of a TrueType face, every glyph's outline otherwise) and cached; any thread.
struct Reach {
    double above = 0;
    double below = 0;
};
[[nodiscard]] Reach reach(const QRawFont &font);

} // namespace LWFontInk
