#pragma once
#include "kit/help/help.h"
#include "render/text/fonts.h"

#include <QList>

// The application's own help topics, handed to VELKKit::install at start-up. Main thread only.
namespace LWHelp {
// The 27 fixed topics, built once (the "fonts" topic counts the manifest's families then).
const QList<VELKHelpTopic> &baseTopics();
// "Fonts & licenses", written from LWFonts::manifest() on every call.
VELKHelpTopic fontLicenses();
// The same topic for any list of records.
VELKHelpTopic fontLicenses(const QList<LWFonts::Bundled> &manifest);
// baseTopics() followed by fontLicenses(), on every call.
QList<VELKHelpTopic> topics();
} // namespace LWHelp
