#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>

// Reading files a user named and replacing files safely, with failures in the system's own words
// ("No space left on device", "Read-only file system"). Reasons are short clauses meant to follow
// "couldn't be opened: " or "couldn't be saved: ". Main thread or any one thread per call; no state.
namespace LWFileAccess {

// The system's description of an errno value.
[[nodiscard]] QString systemReason(int errnoValue);

// Why `path` cannot be read as an ordinary file (a folder, a named pipe, a device, a socket,
// missing ...), or empty when it can be. Symbolic links are followed. Never blocks.
[[nodiscard]] QString notRegularReason(const QString &path);

// Opens `path` read-only when it is an ordinary file (links followed), or returns why not.
// Pipes and devices are refused without waiting on them. Empty on success; `file` is then open.
[[nodiscard]] QString openRegular(QFile &file, const QString &path);

// Replaces the file at `path` with `bytes` in one step: written to a temporary file beside it,
// synced, then renamed over it. A symbolic link is kept and its target replaced; the earlier
// file's permissions carry over. On failure the earlier file is untouched, no temporary file
// remains, and the reason names the step's own error. Empty on success.
[[nodiscard]] QString replaceFile(const QString &path, const QByteArray &bytes);

} // namespace LWFileAccess
