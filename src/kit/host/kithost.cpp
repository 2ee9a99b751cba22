#include "kit/host/kithost.h"

#include "kit/theme/themes.h"
#include "model/info.h"

#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>

namespace {

struct HostState {
    VELKKitHost::BundleInfo bundle;
    std::optional<QString> appName;
    std::function<VKKitTheme()> themeProvider;
    std::function<void(const QString &)> helpHandler;
    VELKKitHost::Opener opener;
    std::function<void(const QString &, const QString &)> alertHandler;
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

bool openExternal(const QUrl &url)
{
    const Opener &opener = state().opener;
    if (opener ? opener(url) : QDesktopServices::openUrl(url))
        return true;
    // Without a registered file manager or browser the desktop only logs a line: say it here.
    const bool local = url.isLocalFile();
    const QString title = local ? QStringLiteral("Couldn't show the folder") : QStringLiteral("Couldn't open the link");
    const QString message =
        (local ? QStringLiteral("No file manager opened it. You can open it yourself:\n") +
                     QDir::toNativeSeparators(url.toLocalFile())
               : QStringLiteral("No web browser opened it. You can open it yourself:\n") + url.toString());
    if (const auto &handler = state().alertHandler)
        handler(title, message);
    else
        QMessageBox::warning(nullptr, title, message);
    return false;
}

void setOpener(Opener opener) { state().opener = std::move(opener); }

void setAlertHandler(std::function<void(const QString &, const QString &)> handler)
{
    state().alertHandler = std::move(handler);
}

const QUrl &creditURL() { return LWInfo::website(); }

} // namespace VELKKitHost

void VELKKit::install(const std::optional<QString> &appName, const QList<VELKHelpTopic> &helpTopics,
                      const QList<VELKTheme> &extraThemes)
{
    VELKKitHost::setAppName(appName.value_or(LWInfo::appName));
    VELKHelp::setTopics(helpTopics);
    VELKThemes::registerThemes(extraThemes);
}
