#pragma once

class LWApp;

// One-time configuration of the interface before the window is built. Main thread only.
namespace LWSetup {
// Installs the kit (application name, help topics, the extra theme), sets the about box's two
// lines and makes the shared application state, which it returns.
LWApp &configure();
} // namespace LWSetup
