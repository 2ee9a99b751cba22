#pragma once
#include "diagnostics/groups/verdict.h"
#include "kit/help/help.h"
#include "templates/fontpair.h"

#include <QList>
#include <QString>
#include <QStringList>

// The parts of the help and font-list checks that judge given values.
namespace LWSelfTest
{

// The 28 topic ids the help must have, in order.
const QStringList &requiredHelpTopics();
Verdict helpCoverage(const QList<VELKHelpTopic> &topics);
// User-perceived characters (grapheme clusters).
qsizetype graphemeCount(const QString &text);
// Every body holds at least 300 of them; the label names the topics that do not.
Verdict helpLength(const QList<VELKHelpTopic> &topics);
// Every face a pair names is one of `templateFonts`, begins with neither "SF" nor "." and
// resolves to a face (a platform name through its bundled stand-in).
Verdict templateFontsCheck(const QList<LWFontPair> &pairs, const QStringList &templateFonts);
// At least 21 families, every one of `standIns` among them, and the stand-in family of
// "AvenirNext-Regular" has at least 4 faces (`avenirFaces`).
Verdict fontListCheck(const QStringList &families, const QStringList &standIns, qsizetype avenirFaces);
// The families of fonts-standins.json that are not manifest families, in file order.
QStringList standInFamilies();

} // namespace LWSelfTest
