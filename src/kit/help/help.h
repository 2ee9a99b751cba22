#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// One help page. `body` is lines joined by "\n" in the help markup ("## " heading, "• " bullet,
// empty line); `keywords` are extra lower-case search words and phrases, never shown.
struct VELKHelpTopic {
    QString id;
    QString title;
    QString body;
    QStringList keywords;

    friend bool operator==(const VELKHelpTopic &, const VELKHelpTopic &) = default;
};

// The kit's help model: the host's topics, the kit's own two, search and the way help is opened.
// Process-wide state, main thread only.
namespace VELKHelp {
// The host's topics in the host's order; empty until VELKKit::install sets them.
const QList<VELKHelpTopic> &topics();
void setTopics(const QList<VELKHelpTopic> &topics);

// topics(), then the look topic unless an id "look" is there, then the about topic likewise.
QList<VELKHelpTopic> allTopics();
VELKHelpTopic lookTopic();
// Built on every call, so it carries the current application name.
VELKHelpTopic aboutTopic();

// Topics of allTopics() holding every query word (case and accents folded) in title, body or
// keywords; those with a word in the title first, otherwise in allTopics() order. A blank query
// gives allTopics().
QList<VELKHelpTopic> search(const QString &query);

using Opener = std::function<void(const std::optional<QString> &topicID)>;
// Calls the opener with the id as given; none means no particular topic.
void show(const std::optional<QString> &topicID = std::nullopt);
// By default VELKHelpWindow::open; an empty opener restores that.
const Opener &opener();
void setOpener(Opener opener);
} // namespace VELKHelp
