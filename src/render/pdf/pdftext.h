#pragma once
#include "render/pdf/pdffile.h"

#include <QByteArray>
#include <optional>

namespace LWPdfText {

// Adds ToUnicode entries for the glyphs of Qt's embedded TrueType subsets (Type0, Identity
// CIDToGIDMap) that the font's cmap does not reach: ligatures and alternates, traced back to
// their letters through the original face's GSUB, the face found by BaseFont in LWFonts. Leaves
// a font as it was (none) whenever anything about it cannot be read or matched unambiguously.
[[nodiscard]] std::optional<QByteArray> completedToUnicode(const LWPdfFile::EmbeddedFont &font);

} // namespace LWPdfText
