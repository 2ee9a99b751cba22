#include "model/file/fileaccess.h"

#include <QList>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

// Empty for an ordinary file.
QString kindReason(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a named pipe, not an ordinary file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device, not an ordinary file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not an ordinary file");
    return QStringLiteral("it is not an ordinary file");
}

int openRetrying(const QByteArray &name, int flags, mode_t mode = 0)
{
    int fd;
    do
        fd = ::open(name.constData(), flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

QString randomSuffix()
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString s(6, QChar());
    for (QChar &c : s)
        c = QLatin1Char(alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet - 1))]);
    return s;
}

// A descriptor closed when it goes.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

QByteArray joined(const QByteArray &folder, const QByteArray &name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// Where a save really writes: the folder as the system resolves it and the name in it.
struct Target {
    QByteArray folder;
    QByteArray name;
    QByteArray path() const { return joined(folder, name); }
};

// Follows `path` as the kernel does: the folder part by realpath (so ".." after a link leaves
// the link's real target), then each link of the last component relative to its own folder.
// A dangling link leads to the file it names. errno on failure, 0 on success.
int resolve(QByteArray path, Target &out)
{
    for (int depth = 0; depth <= 40; ++depth) {
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray name = path.mid(slash + 1);
        if (name.isEmpty() || name == "." || name == "..")
            return EISDIR;
        const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
        char *real = ::realpath(folder.constData(), nullptr);
        if (!real)
            return errno;
        out = {QByteArray(real), name};
        std::free(real);

        struct stat st;
        if (::lstat(out.path().constData(), &st) != 0)
            return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(st.st_mode))
            return 0;
        QByteArray link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(out.path().constData(), link.data(), size_t(link.size()));
        if (n < 0)
            return errno;
        if (n >= link.size())
            return ENAMETOOLONG;
        link.truncate(n);
        path = link.startsWith('/') ? link : joined(out.folder, link);
    }
    return ELOOP;
}

// errno when this process may not write `path` (mode `mode`) in place, else 0. The
// administrator passes access(), so a file or folder with no write permission bit at all is
// taken as read-only as well: its owner marked it so.
int writeRefusal(const QByteArray &path, mode_t mode, int how)
{
    if (::access(path.constData(), how) != 0)
        return errno;
    return (mode & 0222) == 0 ? EACCES : 0;
}

QString fileName(const QByteArray &path)
{
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    return QFile::decodeName(name.isEmpty() ? path : name);
}

// Extended attributes whose loss would take access or meaning from the file; others (security
// labels, trusted attributes) are copied where this process may.
bool mustKeep(const char *name)
{
    return std::strncmp(name, "user.", 5) == 0 || std::strcmp(name, "system.posix_acl_access") == 0;
}

// Extended attribute names as listxattr and flistxattr give them, each ended by a NUL; empty when
// there are none or they cannot be listed.
template <class List> QByteArray attributeNames(List list)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = list(nullptr, 0);
        if (size <= 0)
            return {};
        QByteArray names(size, '\0');
        const ssize_t n = list(names.data(), size_t(size));
        if (n >= 0)
            return names.left(n);
        if (errno != ERANGE)
            return {};
    }
    return {};
}

QList<QByteArray> split(const QByteArray &names)
{
    QList<QByteArray> out = names.split('\0');
    out.removeAll(QByteArray());
    return out;
}

// Gives the new file `fd` what the earlier file `earlier` (status `st`) had: owner and group as
// far as this process may, permissions, then its extended attributes, the access list among
// them (after the permissions, which would otherwise reset its mask). Empty on success.
QString keepAttributes(int fd, const QByteArray &earlier, const struct stat &st)
{
    struct stat now;
    if (::fstat(fd, &now) == 0 && (now.st_uid != st.st_uid || now.st_gid != st.st_gid)) {
        // Only the administrator may give a file away; a member of the group may give it that.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0)
            (void)::fchown(fd, uid_t(-1), st.st_gid);
    }
    // Best effort: some file systems (FAT) have no permissions to keep.
    (void)::fchmod(fd, st.st_mode & 07777);

    const QList<QByteArray> names = split(
        attributeNames([&](char *list, size_t size) { return ::listxattr(earlier.constData(), list, size); }));
    for (const QByteArray &name : names) {
        QByteArray value;
        ssize_t n = ::getxattr(earlier.constData(), name.constData(), nullptr, 0);
        if (n > 0) {
            value.resize(n);
            n = ::getxattr(earlier.constData(), name.constData(), value.data(), size_t(n));
        }
        const bool kept = n >= 0 && ::fsetxattr(fd, name.constData(), value.constData(), size_t(n), 0) == 0;
        const int e = errno;
        if (!kept && mustKeep(name.constData()))
            return QStringLiteral("its attribute \"%1\" couldn't be kept (%2)")
                .arg(QString::fromUtf8(name), LWFileAccess::systemReason(e));
    }
    // What the folder's default access list gave the new file but the earlier one did not have.
    const QList<QByteArray> given =
        split(attributeNames([&](char *list, size_t size) { return ::flistxattr(fd, list, size); }));
    for (const QByteArray &name : given)
        if (!names.contains(name))
            (void)::fremovexattr(fd, name.constData());
    return {};
}

// The hidden name of a temporary; short, so that it fits beside a name of the longest length.
QByteArray hiddenName() { return ".lwsave-" + randomSuffix().toLatin1(); }

// The temporary in the target's folder `dir`: unnamed until it is linked under a hidden name
// just before the rename. Closed and removed unless renamed over the target.
class TempFile {
public:
    explicit TempFile(int dir) : m_dir(dir) {}
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;
    ~TempFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_name.isEmpty())
            ::unlinkat(m_dir, m_name.constData(), 0);
    }

    // errno on failure, 0 on success.
    int create(mode_t mode, bool named)
    {
        if (!named) {
            m_fd = ::openat(m_dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
            if (m_fd >= 0)
                return 0;
            // Older kernels and some file systems (FAT, network shares) have no unnamed files.
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
                return errno;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = hiddenName();
            do
                m_fd = ::openat(m_dir, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            while (m_fd < 0 && errno == EINTR);
            if (m_fd >= 0) {
                m_name = name;
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }

    int write(const char *p, qsizetype left, const LWFileAccess::ReplaceProbe &probe)
    {
        if (probe.writeFault)
            if (const int e = probe.writeFault(m_written))
                return e;
        m_written += left;
        while (left > 0) {
            const ssize_t n = ::write(m_fd, p, size_t(std::min<qsizetype>(left, qsizetype(1) << 30)));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return n < 0 ? errno : EIO;
            p += n;
            left -= n;
        }
        return 0;
    }

    // Some file systems report a full disk or a lost connection only here.
    int sync() { return ::fsync(m_fd) != 0 && errno != EINVAL && errno != EOPNOTSUPP ? errno : 0; }

    // Gives an unnamed temporary its hidden name, the last step at which a crash could leave it.
    int link()
    {
        if (!m_name.isEmpty())
            return 0;
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = hiddenName();
            int result = ::linkat(AT_FDCWD, self.constData(), m_dir, name.constData(), AT_SYMLINK_FOLLOW);
            if (result != 0 && errno == ENOENT) // no /proc: the administrator can still link it
                result = ::linkat(m_fd, "", m_dir, name.constData(), AT_EMPTY_PATH);
            if (result == 0) {
                m_name = name;
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }

    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1; // closed even when close fails
        return result != 0 && errno != EINTR ? errno : 0;
    }

    int renameOver(const QByteArray &name)
    {
        if (::renameat(m_dir, m_name.constData(), m_dir, name.constData()) != 0)
            return errno;
        m_name.clear();
        return 0;
    }

    int fd() const { return m_fd; }

private:
    int m_dir;
    int m_fd = -1;
    qint64 m_written = 0;
    QByteArray m_name;
};

} // namespace

namespace LWFileAccess {

QString systemReason(int errnoValue)
{
    char buffer[256];
    // The GNU variant: returns the text, which may or may not be in the buffer.
    return QString::fromLocal8Bit(::strerror_r(errnoValue, buffer, sizeof buffer));
}

QString notRegularReason(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return systemReason(errno);
    return kindReason(st.st_mode);
}

QString openRegular(QFile &file, const QString &path)
{
    if (QString why = notRegularReason(path); !why.isEmpty())
        return why;
    // Something else may have been put there since the check: open without waiting on a pipe's
    // writer, then check the opened file itself.
    const int fd = openRetrying(QFile::encodeName(path), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return systemReason(errno);
    struct stat st;
    QString why = ::fstat(fd, &st) != 0 ? systemReason(errno) : kindReason(st.st_mode);
    if (why.isEmpty()) {
        if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            return {};
        why = file.errorString();
    }
    ::close(fd);
    return why;
}

std::optional<FileIdentity> identity(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileIdentity{quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
                        qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

QString replaceFile(const QString &path, const QByteArray &bytes, const ReplaceProbe &probe)
{
    return replaceFile(path, Contents([&bytes](const Append &append) {
                           const int e = append(bytes.constData(), bytes.size());
                           return e ? systemReason(e) : QString();
                       }),
                       probe);
}

// The earlier file's folder, kept open so that every step works in it even if it is moved, and
// the temporary in it.
struct Replacement::State {
    Target target;
    Fd dir;
    bool folderSyncs = false;
    std::optional<TempFile> temp;
    std::function<int(const char *step)> fault;
    // The earlier file's second name while several files are put in place; empty when it had none.
    QByteArray kept;
    bool moveAside = false;

    int faulted(const char *step) const { return fault ? fault(step) : 0; }
    // Gives the temporary its hidden name and closes it: where a full disk or a lost connection
    // shows last, before anything is replaced.
    int settle()
    {
        int e = faulted("name");
        e = e ? e : temp->link();
        e = e ? e : faulted("close");
        return e ? e : temp->close();
    }
    // Keeps the earlier file, if any, under a hidden second name, so that it can be put back.
    // Where no second link can be made (FAT, another user's file), it is moved aside instead,
    // just before the rename.
    int keep()
    {
        struct stat st;
        if (::fstatat(dir.get(), target.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return errno == ENOENT ? 0 : errno;
        if (S_ISDIR(st.st_mode)) // put there since: never moved aside
            return EISDIR;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = hiddenName();
            const int injected = faulted("link");
            if (!injected && ::linkat(dir.get(), target.name.constData(), dir.get(), name.constData(), 0) == 0) {
                kept = name;
                return 0;
            }
            const int e = injected ? injected : errno;
            if (e == ENOENT)
                return 0;
            if (e == EPERM || e == EOPNOTSUPP || e == EMLINK) {
                moveAside = true;
                return 0;
            }
            if (e != EEXIST)
                return e;
        }
        return EEXIST;
    }
    int rename()
    {
        if (const int e = faulted("rename"))
            return e;
        if (moveAside) {
            const QByteArray name = hiddenName();
            if (::renameat(dir.get(), target.name.constData(), dir.get(), name.constData()) == 0)
                kept = name;
            else if (errno != ENOENT)
                return errno;
        }
        const int e = temp->renameOver(target.name);
        if (e && moveAside && !kept.isEmpty() &&
            ::renameat(dir.get(), kept.constData(), dir.get(), target.name.constData()) == 0)
            kept.clear();
        return e;
    }
    // Puts the earlier file back over the new one (or removes the new one where there was none).
    int restore()
    {
        const int result = kept.isEmpty() ? ::unlinkat(dir.get(), target.name.constData(), 0)
                                          : ::renameat(dir.get(), kept.constData(), dir.get(), target.name.constData());
        if (result != 0)
            return errno;
        kept.clear();
        return 0;
    }
    void dropKept()
    {
        if (!kept.isEmpty())
            ::unlinkat(dir.get(), kept.constData(), 0);
        kept.clear();
    }
    // Without this, a power loss could bring back the earlier file, or no file at all.
    QString syncFolder()
    {
        if (folderSyncs && ::fsync(dir.get()) != 0 && errno != EINVAL)
            return QStringLiteral("the file was replaced, but its folder couldn't be synced to disk (%1)")
                .arg(systemReason(errno));
        return {};
    }
};

Replacement::Replacement() = default;
Replacement::Replacement(Replacement &&) noexcept = default;
Replacement &Replacement::operator=(Replacement &&) noexcept = default;
Replacement::~Replacement() = default;

QString Replacement::prepare(const QString &path, const Contents &contents, const ReplaceProbe &probe)
{
    d_.reset();
    auto d = std::make_unique<State>();
    Target &target = d->target;
    if (const int e = resolve(QFile::encodeName(path), target))
        return systemReason(e);

    // A folder that may be written but not listed is still usable; it cannot be synced then.
    Fd &dir = d->dir;
    dir.reset(openRetrying(target.folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    d->folderSyncs = dir.get() >= 0;
    if (!d->folderSyncs && errno == EACCES)
        dir.reset(openRetrying(target.folder, O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return systemReason(errno);

    struct stat st;
    const bool exists = ::fstatat(dir.get(), target.name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT)
        return systemReason(errno);
    if (exists && S_ISDIR(st.st_mode))
        return systemReason(EISDIR);
    if (exists && !S_ISREG(st.st_mode))
        return kindReason(st.st_mode);
    if (exists) {
        if (const int e = writeRefusal(target.path(), st.st_mode, W_OK))
            return systemReason(e);
        // A rename would leave the other names with the old design.
        if (st.st_nlink > 1) {
            const qint64 others = qint64(st.st_nlink) - 1;
            return QStringLiteral("it has %1 other hard link%2, which saving would leave with the old contents")
                .arg(others)
                .arg(others == 1 ? QString() : QStringLiteral("s"));
        }
    }
    struct stat folder;
    if (::fstat(dir.get(), &folder) != 0)
        return systemReason(errno);
    if (const int e = writeRefusal(target.folder, folder.st_mode, W_OK | X_OK))
        return QStringLiteral("its folder \"%1\" takes no new files (%2)%3")
            .arg(fileName(target.folder), systemReason(e),
                 exists ? QStringLiteral(", which a safe save needs even to replace one") : QString());
    // In a folder with the sticky bit (a shared drop folder, /tmp) only the file's owner, the
    // folder's owner and the administrator may rename over a file.
    const uid_t self = ::geteuid();
    if (exists && (folder.st_mode & S_ISVTX) && self != 0 && self != st.st_uid && self != folder.st_uid)
        return QStringLiteral("it belongs to another user, and its shared folder \"%1\" lets only its owner "
                              "replace it (%2)")
            .arg(fileName(target.folder), systemReason(EPERM));

    // An earlier file's contents stay private until the new file has its permissions; a new file
    // gets what the folder and the umask give any new file.
    TempFile &temp = d->temp.emplace(dir.get());
    if (const int e = temp.create(exists ? 0600 : 0666, probe.namedTemporary))
        return systemReason(e);
    if (const QString why = contents(Append([&](const char *data, qsizetype size) { return temp.write(data, size, probe); }));
        !why.isEmpty())
        return why;
    if (probe.written)
        probe.written(temp.fd());
    if (exists)
        if (const QString why = keepAttributes(temp.fd(), target.path(), st); !why.isEmpty())
            return why;
    if (const int e = temp.sync())
        return systemReason(e);
    d->fault = probe.lastStepFault;
    d_ = std::move(d);
    return {};
}

bool Replacement::isPrepared() const { return d_ != nullptr; }

QString Replacement::commit()
{
    qsizetype failed = 0;
    bool restored = true;
    return commitAll({this, 1}, failed, restored);
}

QString Replacement::commitAll(std::span<Replacement> files, qsizetype &failed, bool &restored)
{
    const auto fail = [&failed](qsizetype i, const QString &why) {
        failed = i;
        return why;
    };
    failed = -1;
    restored = true;
    QString why;
    const qsizetype count = qsizetype(files.size());
    const auto state = [&files](qsizetype i) { return files[size_t(i)].d_.get(); };
    for (qsizetype i = 0; i < count && why.isEmpty(); ++i) {
        const int e = state(i) ? state(i)->settle() : EINVAL;
        if (e)
            why = fail(i, systemReason(e));
    }
    // One file needs nothing kept: its rename replaces it or leaves it.
    for (qsizetype i = 0; i < count && count > 1 && why.isEmpty(); ++i)
        if (const int e = state(i)->keep())
            why = fail(i, systemReason(e));
    qsizetype renamed = 0;
    while (renamed < count && why.isEmpty()) {
        if (const int e = state(renamed)->rename())
            why = fail(renamed, systemReason(e));
        else
            ++renamed;
    }
    // All or nothing: a later rename failed, so the files already replaced get their earlier ones.
    if (!why.isEmpty()) {
        for (qsizetype i = renamed; i-- > 0;) {
            if (const int e = state(i)->restore()) {
                restored = false;
                why += QStringLiteral("; and \"%1\" couldn't get its earlier contents back (%2)")
                           .arg(fileName(state(i)->target.name), systemReason(e));
            }
        }
    }
    for (qsizetype i = 0; i < count; ++i)
        if (State *d = state(i))
            d->dropKept();
    // The folders of the files put in place (or back) are synced.
    for (qsizetype i = 0; i < renamed; ++i)
        if (const QString unsynced = state(i)->syncFolder(); !unsynced.isEmpty() && why.isEmpty())
            why = fail(i, unsynced);
    // Temporaries not renamed go with their state.
    for (Replacement &file : files)
        file.d_.reset();
    return why;
}

QString replaceFile(const QString &path, const Contents &contents, const ReplaceProbe &probe)
{
    Replacement replacement;
    if (QString why = replacement.prepare(path, contents, probe); !why.isEmpty())
        return why;
    return replacement.commit();
}

} // namespace LWFileAccess
