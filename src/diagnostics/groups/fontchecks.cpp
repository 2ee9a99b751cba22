#include "diagnostics/groups/fontchecks.h"

#include "diagnostics/selftest.h"
#include "diagnostics/selftestgroups.h"
#include "model/document.h"
#include "render/export.h"
#include "render/pdf/pdffile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRawFont>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>

namespace LWSelfTest
{

namespace
{

const QStringList &requiredGroups()
{
    static const QStringList groups{QStringLiteral("Bold display"), QStringLiteral("Condensed"),
                                    QStringLiteral("Slab"),         QStringLiteral("Script"),
                                    QStringLiteral("Handwriting"),  QStringLiteral("Elegant serif"),
                                    QStringLiteral("Rounded sans"), QStringLiteral("Retro"),
                                    QStringLiteral("Stencil"),      QStringLiteral("Grunge")};
    return groups;
}

// A folder name that stays one level below the Fonts folder; no path is built from any other.
bool safeFolderName(const QString &folder)
{
    return !folder.isEmpty() && folder != QLatin1String(".") && folder != QLatin1String("..") &&
           !folder.contains(QLatin1Char('/')) && !folder.contains(QLatin1Char('\\'));
}

bool licenceFileOK(const FontFacts &facts, const LWFonts::Bundled &entry)
{
    if (!facts.fontsFolder || !safeFolderName(entry.folder))
        return false;
    QFile file(QDir(*facts.fontsFolder).filePath(entry.folder + QStringLiteral("/OFL.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(file.readAll());
    return !utf8.hasError() && text.toUpper().contains(QLatin1String("SIL OPEN FONT LICENSE"));
}

bool underFolder(const QString &file, const QString &folder)
{
    const QString canonical = QFileInfo(file).canonicalFilePath();
    const QString root = QFileInfo(folder).canonicalFilePath();
    return !canonical.isEmpty() && !root.isEmpty() && canonical.startsWith(root + QLatin1Char('/'));
}

// A registered face offends unless it came from a file of the Fonts folder and Qt draws that
// very file (a system copy of another version could shadow it).
bool comesFromInside(const FontFacts &facts, const QString &name)
{
    const std::optional<QString> file = LWFonts::fileOf(name);
    if (!file || !facts.fontsFolder || !underFolder(*file, *facts.fontsFolder))
        return false;
    const QByteArray drawn = QRawFont::fromFont(LWFonts::font(name, 12)).fontTable("head");
    return !drawn.isEmpty() && drawn == QRawFont(*file, 12).fontTable("head");
}

int pdfFontCount(const QString &fontName)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    if (doc.pages.isEmpty())
        return 0;
    doc.pages[0].elements = {LWElement::makeText(LWText(QStringLiteral("VELK"), fontName, 40, LWColor::black),
                                                 LWRect(72, 72, 300, 60))};
    const std::optional<QByteArray> pdf = LWExport::pdfData(doc, {0}, true);
    return pdf ? LWPdfFile::fontResourceCount(*pdf, 0).value_or(0) : 0;
}

} // namespace

QStringList userFontFolders()
{
    const QString home = QDir::homePath();
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = home + QStringLiteral("/.local/share");
    return {data + QStringLiteral("/fonts"), home + QStringLiteral("/.fonts")};
}

FontFacts FontFacts::current()
{
    return {LWFonts::manifest(),      LWFonts::registeredPostScript(),  LWFonts::registrationFailures(),
            LWFonts::bundledFolder(), LWFonts::platformTemplateFonts(), LWSelfTest::userFontFolders()};
}

void fonts(LWTestRun &run)
{
    fontChecks(run, FontFacts::current());
}

void fontChecks(LWTestRun &run, const FontFacts &facts)
{
    run.begin(
        QStringLiteral("VELK Fonts: bundled open fonts, SIL Open Font License, loaded for this app only"));
    const QList<LWFonts::Bundled> &manifest = facts.manifest;

    const qsizetype n = manifest.size();
    run.check(n >= 25 && n <= 40, QStringLiteral("%1 font families bundled (25\u201340)").arg(n));

    const QString prefix = QString::fromLatin1(fontSourcePrefix);
    run.check(std::all_of(manifest.begin(), manifest.end(),
                          [&](const LWFonts::Bundled &e) {
                              return e.license == QLatin1String("SIL Open Font License 1.1") &&
                                     e.source.startsWith(prefix);
                          }),
              QStringLiteral("every family is SIL OFL 1.1 from the official public font repository"));

    QStringList noLicence;
    for (const LWFonts::Bundled &entry : manifest)
        if (!licenceFileOK(facts, entry))
            noLicence << entry.family;
    run.check(noLicence.isEmpty(),
              QStringLiteral("each family's OFL.txt is inside the app (Resources/Fonts/<family>/OFL.txt) ") +
                  listText(noLicence));

    qsizetype files = 0;
    for (const LWFonts::Bundled &entry : manifest)
        files += entry.files.size();
    run.check(facts.failures.isEmpty() && facts.registered.size() == files,
              QStringLiteral("every bundled font file registers (%1 of %2) ")
                      .arg(facts.registered.size())
                      .arg(files) +
                  listText(facts.failures));

    // Qt substitutes another family for a name it cannot find; only the face's own name proves it.
    QStringList notLoading;
    for (const QString &name : facts.registered)
        if (LWFonts::postScriptNameOf(LWFonts::font(name, 12)) != name)
            notLoading << name;
    for (const QString &name : facts.platformNames)
        if (!LWFonts::isInstalled(name))
            notLoading << name;
    run.check(!facts.registered.isEmpty() && notLoading.isEmpty(),
              QStringLiteral("every bundled font loads by name ") + listText(notLoading));

    QStringList outside;
    for (const QString &name : facts.registered)
        if (!comesFromInside(facts, name))
            outside << name;
    run.check(outside.isEmpty(),
              QStringLiteral("the fonts come from inside the app \u2014 registered for this app "
                             "only, not installed on the system ") +
                  listText(outside, 3));

    QSet<QString> manifestFiles;
    for (const LWFonts::Bundled &entry : manifest)
        manifestFiles.unite(QSet<QString>(entry.files.begin(), entry.files.end()));
    QStringList copied;
    for (const QString &folder : facts.userFontFolders)
        for (const QString &entry : QDir(folder).entryList(
                 QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name))
            if (manifestFiles.contains(entry) && !copied.contains(entry))
                copied << entry;
    run.check(copied.isEmpty(),
              QStringLiteral("nothing was copied into the user's font folders ") + listText(copied));

    const QStringList listed = LWFonts::families();
    const bool ownGroup = std::none_of(manifest.begin(), manifest.end(),
                                       [&](const LWFonts::Bundled &e) { return listed.contains(e.family); });
    run.check(ownGroup && !LWFonts::members(QStringLiteral("Bebas Neue")).isEmpty(),
              QStringLiteral(
                  "font picker: VELK Fonts listed in their own group (not mixed into the system's list), "
                  "styles available"));

    QStringList groups;
    for (const LWFonts::Bundled &entry : manifest)
        if (!groups.contains(entry.group))
            groups << entry.group;
    std::sort(groups.begin(), groups.end());
    run.check(std::all_of(requiredGroups().begin(), requiredGroups().end(),
                          [&](const QString &g) { return groups.contains(g); }),
              QStringLiteral("a range of styles: ") + groups.join(QStringLiteral(", ")));

    run.check(pdfFontCount(facts.registered.value(0, QStringLiteral("none"))) > 0,
              QStringLiteral("a bundled font is embedded in exported PDFs as real text"));
}

} // namespace LWSelfTest
