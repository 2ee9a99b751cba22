#include "kit/help/lwhelp.h"

#include "model/info.h"

#include <QMap>

namespace {

const char *const introText = R"txt( extra font families, the collection called VELK Fonts. They are listed first in the font picker under that name, and many templates use them. They work only inside VELK Leafwrighter: nothing is installed on your computer.

## The license
Every family is published by its designers under the SIL Open Font License, version 1.1. You may use the fonts for anything you design and print, paid work included, and they are embedded in the PDFs you export. The font files themselves may not be sold on their own.

## Where the license files are
Each family's license, OFL.txt, comes with the application. Help → Show Font License Files opens the folder: the Resources folder beside the program, then Fonts, then the family's folder, then OFL.txt.

## Stand-ins and installed fonts
Every font installed on this computer can be used too. The open stand-ins that draw the well-known typefaces named by templates ship with their license files in the same folder. Installed fonts are licensed with the system and are never copied into VELK Leafwrighter.

)txt";

// Groups in the font picker's order; any other group follows, sorted.
const QStringList fixedGroups{
    QStringLiteral("Bold display"),  QStringLiteral("Condensed"),    QStringLiteral("Slab"),
    QStringLiteral("Script"),        QStringLiteral("Handwriting"),  QStringLiteral("Elegant serif"),
    QStringLiteral("Rounded sans"),  QStringLiteral("Retro"),        QStringLiteral("Stencil"),
    QStringLiteral("Grunge"),
};

} // namespace

namespace LWHelp {

VELKHelpTopic fontLicenses(const QList<LWFonts::Bundled> &manifest)
{
    QMap<QString, QList<const LWFonts::Bundled *>> byGroup; // other groups come out sorted
    for (const LWFonts::Bundled &record : manifest)
        byGroup[record.group].append(&record);
    QStringList order = fixedGroups;
    for (auto it = byGroup.cbegin(); it != byGroup.cend(); ++it) {
        if (!fixedGroups.contains(it.key()))
            order.append(it.key());
    }

    QString body = LWInfo::appName + QStringLiteral(" comes with ") + QString::number(manifest.size()) +
                   QString::fromUtf8(introText);
    for (const QString &group : order) {
        const auto records = byGroup.value(group);
        if (records.isEmpty())
            continue;
        body += QStringLiteral("## ") + group + u'\n';
        for (const LWFonts::Bundled *r : records) {
            body += QStringLiteral("• ") + r->family + QStringLiteral(" — ") + r->license + QStringLiteral(" — ") +
                    QString(r->source).remove(QStringLiteral("https://")) + u'\n';
        }
    }
    return {QStringLiteral("fonts-licenses"), QStringLiteral("Fonts & licenses"), body,
            {QStringLiteral("font"), QStringLiteral("fonts"), QStringLiteral("license"), QStringLiteral("licence"),
             QStringLiteral("ofl"), QStringLiteral("open font"), QStringLiteral("open fonts"),
             QStringLiteral("copyright"), QStringLiteral("commercial"), QStringLiteral("velk fonts")}};
}

VELKHelpTopic fontLicenses() { return fontLicenses(LWFonts::manifest()); }

QList<VELKHelpTopic> topics() { return baseTopics() + QList<VELKHelpTopic>{fontLicenses()}; }

} // namespace LWHelp
