#pragma once
#include <QList>
#include <QStringList>
#include <QUrl>

// Recently saved or opened designs: file paths in LWPrefs::store() under LWPrefs::recentKey,
// newest first. Read afresh on every call, never cached. Paths compare as exact text.
// Main thread only; no operation reports a failure.
namespace LWRecent {
inline constexpr int limit = 12;

// The stored list's first `limit` distinct entries, however many it holds; empty when nothing,
// or something other than a list of texts, is stored.
[[nodiscard]] QStringList paths();
// The entries of paths() that still exist (file or folder), in stored order. The list is not rewritten.
[[nodiscard]] QList<QUrl> urls();
// Moves or puts the file's path at the front and keeps the newest `limit` entries.
void add(const QUrl &url);
// Drops every entry equal to the file's path; stores the list even when nothing matched.
void remove(const QUrl &url);
// Stores an empty list.
void clear();
} // namespace LWRecent
