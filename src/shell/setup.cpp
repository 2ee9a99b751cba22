#include "shell/setup.h"

#include "app/app.h"
#include "kit/about.h"
#include "kit/kithost.h"
#include "kit/lwhelp.h"
#include "kit/themes.h"
#include "model/info.h"

LWApp &LWSetup::configure()
{
    VELKKit::install(LWInfo::appName, LWHelp::topics(), LWThemes::extras());
    VELKAbout::setExtraLines({QStringLiteral("Business cards, flyers and posters \u2014 ready to print."),
                              QStringLiteral("Design templates, icons and layouts made by VELK.")});
    return LWApp::shared();
}
