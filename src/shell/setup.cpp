#include "shell/setup.h"

#include "app/app.h"
#include "kit/host/about.h"
#include "kit/host/kithost.h"
#include "kit/help/lwhelp.h"
#include "kit/theme/themes.h"
#include "model/info.h"

LWApp &LWSetup::configure()
{
    VELKKit::install(LWInfo::appName, LWHelp::topics(), LWThemes::extras());
    VELKAbout::setExtraLines({QStringLiteral("Business cards, flyers and posters \u2014 ready to print."),
                              QStringLiteral("Design templates, icons and layouts made by VELK.")});
    // Folders and links that no program opened are reported as the state's alerts.
    VELKKitHost::setAlertHandler([](const QString &title, const QString &message) { LWApp::shared().alert(title, message); });
    return LWApp::shared();
}
