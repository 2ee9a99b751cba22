#include "diagnostics/groups/helpchecks.h"

#include "diagnostics/selftest.h"
#include "diagnostics/selftestgroups.h"
#include "kit/help/lwhelp.h"
#include "model/file/json.h"
#include "render/text/fonts.h"
#include "templates/templatedata.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTextBoundaryFinder>
#include <algorithm>

namespace LWSelfTest
{

namespace
{

bool finds(const QString &query, const QString &id)
{
    const QList<VELKHelpTopic> found = VELKHelp::search(query);
    return std::any_of(found.begin(), found.end(), [&](const VELKHelpTopic &t) { return t.id == id; });
}

bool namesEveryFont(const QList<VELKHelpTopic> &topics)
{
    const auto page = std::find_if(topics.begin(), topics.end(), [](const VELKHelpTopic &t) {
        return t.id == QLatin1String("fonts-licenses");
    });
    const QString body = page == topics.end() ? QString() : page->body;
    const QStringList families = LWFonts::bundledFamilies();
    return std::all_of(families.begin(), families.end(),
                       [&](const QString &f) { return body.contains(f); }) &&
           body.contains(QLatin1String("SIL Open Font License"));
}

} // namespace

const QStringList &requiredHelpTopics()
{
    static const QStringList ids =
        QStringLiteral("start walkthrough-card walkthrough-flyer canvas tools-select tools-text "
                       "typography shapes lines icons pictures color layers align snapping group-lock "
                       "undo-copy front-back sizes export preflight printing-tips templates files fonts "
                       "fonts-licenses shortcuts troubleshooting")
            .split(QLatin1Char(' '));
    return ids;
}

Verdict helpCoverage(const QList<VELKHelpTopic> &topics)
{
    QSet<QString> ids;
    for (const VELKHelpTopic &t : topics)
        ids.insert(t.id);
    QStringList missing;
    for (const QString &id : requiredHelpTopics())
        if (!ids.contains(id))
            missing << id;
    return {missing.isEmpty(),
            QStringLiteral(
                "help covers every tool, both walkthroughs, printing tips and troubleshooting (%1 topics) "
                "missing: ")
                    .arg(topics.size()) +
                listText(missing)};
}

qsizetype graphemeCount(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

Verdict helpLength(const QList<VELKHelpTopic> &topics)
{
    QStringList short_;
    for (const VELKHelpTopic &t : topics)
        if (graphemeCount(t.body) < 300)
            short_ << t.id;
    return {short_.isEmpty(), QStringLiteral("every help topic has real explanations ") + listText(short_)};
}

Verdict templateFontsCheck(const QList<LWFontPair> &pairs, const QStringList &templateFonts)
{
    const QSet<QString> allowed(templateFonts.begin(), templateFonts.end());
    bool ok = true;
    for (const LWFontPair &p : pairs)
        for (const QString &name : {p.head, p.body, p.bold, p.display, p.script})
            ok = ok && allowed.contains(name) && !name.startsWith(QLatin1String("SF")) &&
                 !name.startsWith(QLatin1Char('.')) && LWFonts::isInstalled(name);
    return {ok, QStringLiteral(
                    "template fonts are bundled fonts or their stand-ins only (no system interface font)")};
}

Verdict fontListCheck(const QStringList &families, const QStringList &standIns, qsizetype avenirFaces)
{
    const QSet<QString> listed(families.begin(), families.end());
    const bool all =
        std::all_of(standIns.begin(), standIns.end(), [&](const QString &f) { return listed.contains(f); });
    return {families.size() >= 21 && all && avenirFaces >= 4,
            QStringLiteral("the font list comes from the system font database (%1 families on this system)")
                .arg(families.size())};
}

QStringList standInFamilies()
{
    const std::optional<QString> folder = LWFonts::bundledFolder();
    if (!folder)
        return {};
    QFile file(QDir(*folder).filePath(QStringLiteral("fonts-standins.json")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const std::optional<QJsonValue> json = LWJson::parse(file.readAll());
    if (!json)
        return {};
    const QStringList manifest = LWFonts::bundledFamilies();
    QStringList out;
    try {
        for (const LWJsonIn &entry : LWJsonIn(*json)["families"].array()) {
            const QString family = entry.get<QString>("family");
            if (!manifest.contains(family) && !out.contains(family))
                out << family;
        }
    } catch (const LWJsonError &) {
        return {};
    }
    return out;
}

void helpAndBranding(LWTestRun &run)
{
    run.begin(QStringLiteral("Help, credits and wording"));
    const QList<VELKHelpTopic> topics = LWHelp::topics();
    const Verdict coverage = helpCoverage(topics);
    run.check(coverage.ok, coverage.label);
    run.check(namesEveryFont(topics),
              QStringLiteral("the Fonts & licenses help page names every bundled font and its license"));
    const Verdict length = helpLength(topics);
    run.check(length.ok, length.label);

    VELKHelp::setTopics(topics);
    run.check(finds(QStringLiteral("bleed"), QStringLiteral("canvas")) &&
                  finds(QStringLiteral("blurry"), QStringLiteral("troubleshooting")) &&
                  finds(QStringLiteral("crop marks"), QStringLiteral("export")),
              QStringLiteral("help search finds bleed, blurry, crop marks"));

    const QList<LWFontPair> pairs = LWTemplates::fontPairs().values();
    const Verdict templateFonts = templateFontsCheck(pairs, LWFonts::templateFonts());
    run.check(templateFonts.ok, templateFonts.label);

    const QString standIn = LWFonts::familyName(QStringLiteral("AvenirNext-Regular"));
    const Verdict list =
        fontListCheck(LWFonts::families(), standInFamilies(), LWFonts::members(standIn).size());
    run.check(list.ok, list.label);

    const QString bold = LWFonts::toggled(QStringLiteral("AvenirNext-Regular"), LWFonts::boldTrait);
    run.check(LWFonts::has(bold, LWFonts::boldTrait),
              QStringLiteral("Bold button switches to the family's bold style"));
}

} // namespace LWSelfTest
