#pragma once
#include "kit/help/help.h"
#include "kit/theme/theme.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

// The seam between the kit and the application hosting it. Main thread only.
namespace VELKKitHost {

// What the kit knows of the program before install(): the shell sets it before first use.
// Empty texts count as absent.
struct BundleInfo {
    std::optional<QString> displayName = std::nullopt;
    std::optional<QString> name = std::nullopt;
    std::optional<QString> shortVersion = std::nullopt;
    std::optional<QString> build = std::nullopt;
};
const BundleInfo &bundleInfo();
// Also forgets the application name (install's too), so the next read derives it afresh.
void setBundleInfo(const BundleInfo &info);

// The colours every themed view reads; by default the stored theme's, read afresh on each call.
VKKitTheme theme();
void setThemeProvider(std::function<VKKitTheme()> provider); // empty restores the default

// Opens help at a topic; by default VELKHelp::show.
void showHelp(const QString &topicID);
void setHelpHandler(std::function<void(const QString &)> handler); // empty restores the default

// Set by install(); until then the bundle's display name, else its name, else "VELK App".
QString appName();
void setAppName(const QString &name);

// Shows a folder in the file manager or a web address in the browser (QDesktopServices by
// default). When nothing opens it, an alert says so and names the path or address, so the user
// can open it by hand. False then.
bool openExternal(const QUrl &url);
using Opener = std::function<bool(const QUrl &)>; // true when something opened it
void setOpener(Opener opener);                    // empty restores the default
// Where that alert goes: title and message; by default a message box without a parent.
void setAlertHandler(std::function<void(const QString &title, const QString &message)> handler);

inline const QString creditName = QStringLiteral("Velkmoor");
const QUrl &creditURL();
} // namespace VELKKitHost

namespace VELKKit {
inline const QString version = QStringLiteral("2.0.3");

// The host's one start-up call: sets the application name (the product's own when none is
// given), replaces the host help topics, registers the extra themes.
void install(const std::optional<QString> &appName, const QList<VELKHelpTopic> &helpTopics,
             const QList<VELKTheme> &extraThemes);
} // namespace VELKKit
