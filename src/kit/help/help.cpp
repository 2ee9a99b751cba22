#include "kit/help/help.h"

#include "kit/help/helpwindow.h"
#include "kit/host/kithost.h"

#include <algorithm>

namespace {

struct HelpState {
    QList<VELKHelpTopic> topics;
    VELKHelp::Opener opener = VELKHelpWindow::open;
};

HelpState &state()
{
    static HelpState s;
    return s;
}

bool hasID(const QList<VELKHelpTopic> &list, QStringView id)
{
    return std::any_of(list.cbegin(), list.cend(), [&](const VELKHelpTopic &t) { return t.id == id; });
}

// Case and accents folded, as search compares.
QString fold(const QString &text)
{
    QString out;
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    out.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            out.append(c);
    }
    return out.toCaseFolded();
}

QStringList words(const QString &query)
{
    QStringList out;
    const QString lower = query.toLower();
    qsizetype start = -1;
    for (qsizetype i = 0; i <= lower.size(); ++i) {
        const bool space = i == lower.size() || lower.at(i).isSpace();
        if (space && start >= 0) {
            out.append(fold(lower.mid(start, i - start)));
            start = -1;
        } else if (!space && start < 0) {
            start = i;
        }
    }
    return out;
}

} // namespace

namespace VELKHelp {

const QList<VELKHelpTopic> &topics() { return state().topics; }

void setTopics(const QList<VELKHelpTopic> &topics) { state().topics = topics; }

QList<VELKHelpTopic> allTopics()
{
    QList<VELKHelpTopic> list = state().topics;
    if (!hasID(list, u"look"))
        list.append(lookTopic());
    if (!hasID(list, u"about"))
        list.append(aboutTopic());
    return list;
}

VELKHelpTopic lookTopic()
{
    return {QStringLiteral("look"), QStringLiteral("Themes and interface zoom"),
            QStringLiteral("## Themes\n"
                           "Choose a color theme from the Theme menu: Cobalt Gunmetal, Candy Red Titanium, Rose "
                           "Gold, Lavender Pearl, Midnight Black or Brushed Gray. Some apps add more.\n"
                           "\n"
                           "## Interface zoom\n"
                           "Make everything bigger or smaller, from 85% to 200%:\n"
                           "\u2022 View \u2192 Zoom In (Ctrl +) and Zoom Out (Ctrl \u2212)\n"
                           "\u2022 View \u2192 Actual Size (Ctrl 0)\n"
                           "\u2022 View \u2192 Zoom Level to pick an exact size."),
            {QStringLiteral("color"), QStringLiteral("colour"), QStringLiteral("theme"), QStringLiteral("zoom"),
             QStringLiteral("bigger"), QStringLiteral("smaller"), QStringLiteral("text size"),
             QStringLiteral("font size"), QStringLiteral("dark")}};
}

VELKHelpTopic aboutTopic()
{
    return {QStringLiteral("about"), QStringLiteral("About Velkmoor"),
            VELKKitHost::appName() + QStringLiteral(" is made by Velkmoor (VELK).\n\nWebsite, updates and support: ") +
                VELKKitHost::creditURL().toString(),
            {QStringLiteral("velk"), QStringLiteral("support"), QStringLiteral("contact"), QStringLiteral("website"),
             QStringLiteral("velkmoor"), QStringLiteral("credits")}};
}

QList<VELKHelpTopic> search(const QString &query)
{
    QList<VELKHelpTopic> list = allTopics();
    const QStringList wanted = words(query);
    if (wanted.isEmpty())
        return list;

    const auto holdsAll = [&](const VELKHelpTopic &t) {
        const QString text = fold(t.title + u'\n' + t.body + u'\n' + t.keywords.join(u' '));
        return std::all_of(wanted.cbegin(), wanted.cend(), [&](const QString &w) { return text.contains(w); });
    };
    list.erase(std::remove_if(list.begin(), list.end(), [&](const VELKHelpTopic &t) { return !holdsAll(t); }),
               list.end());

    const auto titleHolds = [&](const VELKHelpTopic &t) {
        const QString title = fold(t.title);
        return std::any_of(wanted.cbegin(), wanted.cend(), [&](const QString &w) { return title.contains(w); });
    };
    std::stable_partition(list.begin(), list.end(), titleHolds);
    return list;
}

void show(const std::optional<QString> &topicID)
{
    if (state().opener)
        state().opener(topicID);
}

const Opener &opener() { return state().opener; }

void setOpener(Opener opener) { state().opener = opener ? std::move(opener) : VELKHelpWindow::open; }

} // namespace VELKHelp
