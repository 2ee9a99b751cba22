#pragma once
#include "diagnostics/testrun.h"
#include "render/text/fonts.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The font checks' inputs, read from the font registry by default; tests hand-make them. Loading
// by name, the files behind the faces, the font picker and the PDF still go to the registry.
namespace LWSelfTest
{

// Where every manifest entry's `source` begins; equal to SOURCE_PREFIX in tools/fetch-fonts.mjs.
inline constexpr char fontSourcePrefix[] = "https://github.com/google/fonts/tree/main/ofl/";

struct FontFacts {
    QList<LWFonts::Bundled> manifest;
    QStringList registered; // manifest faces, registration order
    QStringList failures;   // file names that did not register
    std::optional<QString> fontsFolder;
    QStringList platformNames;   // must each resolve to a face (their stand-ins)
    QStringList userFontFolders; // read in this order; a missing folder is empty

    static FontFacts current();
};

// $XDG_DATA_HOME/fonts (~/.local/share/fonts when unset or relative), then ~/.fonts.
QStringList userFontFolders();

void fontChecks(LWTestRun &run, const FontFacts &facts);

} // namespace LWSelfTest
