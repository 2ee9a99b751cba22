#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>
#include <span>

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
// Pipes and devices are refused without waiting on them. Empty on success; `file` is then open,
// from a descriptor, so its fileName() is empty: messages about it name `path`.
[[nodiscard]] QString openRegular(QFile &file, const QString &path);

// What a file is on disk; any change of contents or any replacement changes it.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

// The identity of the file at `path` (links followed), or none when nothing is there.
[[nodiscard]] std::optional<FileIdentity> identity(const QString &path);

// Seams for tests.
struct ReplaceProbe {
    // Use a hidden named temporary, as on file systems without unnamed ones.
    bool namedTemporary = false;
    // Runs once the temporary holds every byte, before it takes over the earlier file's owner,
    // permissions and attributes and before it is put in place. `fd` is the temporary.
    std::function<void(int fd)> written;
    // Before each write into the temporary: an errno that write then fails with (0: none), by
    // how many bytes went in before it.
    std::function<int(qint64 offset)> writeFault;
    // Before each last step of putting the file in place ("name", "close", "link": the earlier
    // file's second name while several are replaced, "rename"): an errno that step then fails
    // with (0: none).
    std::function<int(const char *step)> lastStepFault;
};

// Replaces the file at `path` with `bytes` in one step, so that a failure or a crash leaves
// either the earlier file or the new one. Links are followed as the system follows them: the
// real file is replaced and links stay links. The bytes go to a temporary in the real file's
// folder (unnamed where the file system allows, else hidden), private to its owner until it
// holds them all; it then takes the earlier file's owner and group (as far as this process may),
// permissions, access list and extended attributes, is synced, renamed over the file, and the
// folder is synced.
// Refused, with the earlier file untouched: a file this process may not write in place, and
// any file with no write permission at all (the administrator included); a file with other
// hard links (they would keep the old contents); a file whose folder takes no new files; another
// user's file in a folder with the sticky bit that is not ours (only its owner may replace it).
// On failure no temporary remains and the reason names the cause. Empty on success.
[[nodiscard]] QString replaceFile(const QString &path, const QByteArray &bytes, const ReplaceProbe &probe = {});

// Appends bytes to the temporary: 0, or the errno of the write that failed.
using Append = std::function<int(const char *data, qsizetype size)>;
// Makes the contents through append; empty when they are complete, else why not.
using Contents = std::function<QString(const Append &append)>;
// replaceFile for contents made piece by piece, never held whole: as above, and when contents
// gives a reason (its own, or the one append returned, in words) nothing is replaced and no
// temporary remains.
[[nodiscard]] QString replaceFile(const QString &path, const Contents &contents, const ReplaceProbe &probe = {});

// replaceFile in two steps, so that several files can be replaced together: prepare() takes
// every step before the rename (the checks, the contents in a temporary, the earlier file's
// attributes, the sync) and gives the same reasons; commit() or commitAll() puts the file in
// place. Move-only; dropped uncommitted or after a failure, it leaves no temporary and the
// earlier file untouched.
class Replacement {
public:
    Replacement();
    Replacement(Replacement &&) noexcept;
    Replacement &operator=(Replacement &&) noexcept;
    ~Replacement();

    // Empty on success; then isPrepared() until committed.
    [[nodiscard]] QString prepare(const QString &path, const Contents &contents, const ReplaceProbe &probe = {});
    bool isPrepared() const;
    // replaceFile's last steps for this file. Empty on success.
    [[nodiscard]] QString commit();
    // Puts distinct prepared files in place, all or none. First every temporary is named and
    // closed (where a full disk or a lost connection shows last) and, for several files, each
    // earlier file is kept under a hidden second name; a failure there replaces nothing. Then
    // each is renamed over its file; should a rename fail, the files already replaced get their
    // earlier contents back (a file that did not exist goes again). Then the kept names go and
    // the folders are synced. Empty on success, else why the file at index `failed` couldn't be
    // put in place; `restored` is then false only when an earlier file could not be put back
    // (the reason says which). No temporary remains; every replacement is empty afterwards.
    [[nodiscard]] static QString commitAll(std::span<Replacement> files, qsizetype &failed, bool &restored);

private:
    struct State;
    std::unique_ptr<State> d_;
};

} // namespace LWFileAccess
