#pragma once

// Keeps the keyboard with a sheet. A window manager may make a window active on a click although
// a window-modal dialog (a sheet) blocks it; Qt then drops the keys sent there, Escape included.
// Installed once for the application: a window that becomes active while a window-modal dialog
// blocks it hands its activation back to that dialog (the one nothing else blocks), whose focus
// widget takes the keyboard again. A window no such dialog blocks is left alone, and every window
// while an application-modal dialog is up. Main thread only.
namespace VKSheetFocus {
void install(); // idempotent; needs the application object
} // namespace VKSheetFocus
