#include "kit/host/kithost.h"

#include "kit/theme/themes.h"
#include "model/info.h"

namespace {

struct HostState {
    VELKKitHost::BundleInfo bundle;
    std::optional<QString> appName;
    std::function<VKKitTheme()> themeProvider;
    std::function<void(const QString &)> helpHandler;
};

HostState &state()
{
    static HostState s;
    return s;
}

std::optional<QString> nonEmpty(const std::optional<QString> &text)
{
    return text && !text->isEmpty() ? text : std::nullopt;
}

} // namespace

namespace VELKKitHost {

const BundleInfo &bundleInfo() { return state().bundle; }

void setBundleInfo(const BundleInfo &info)
{
    state().bundle = info;
    state().appName.reset();
}

VKKitTheme theme()
{
    const auto &provider = state().themeProvider;
    return provider ? provider() : VELKThemes::current().kitTheme();
}

void setThemeProvider(std::function<VKKitTheme()> provider) { state().themeProvider = std::move(provider); }

void showHelp(const QString &topicID)
{
    const auto &handler = state().helpHandler;
    if (handler)
        handler(topicID);
    else
        VELKHelp::show(topicID);
}

void setHelpHandler(std::function<void(const QString &)> handler) { state().helpHandler = std::move(handler); }

QString appName()
{
    auto &name = state().appName;
    if (!name)
        name = nonEmpty(state().bundle.displayName)
                   .value_or(nonEmpty(state().bundle.name).value_or(QStringLiteral("VELK App")));
    return *name;
}

void setAppName(const QString &name) { state().appName = name; }

const QUrl &creditURL() { return LWInfo::website(); }

} // namespace VELKKitHost

void VELKKit::install(const std::optional<QString> &appName, const QList<VELKHelpTopic> &helpTopics,
                      const QList<VELKTheme> &extraThemes)
{
    VELKKitHost::setAppName(appName.value_or(LWInfo::appName));
    VELKHelp::setTopics(helpTopics);
    VELKThemes::registerThemes(extraThemes);
}
