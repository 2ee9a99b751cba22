#include "model/fileaccess.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

// A temporary file beside the target; closed and removed unless renamed over it.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;
    ~TempFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_name.isEmpty())
            ::unlink(m_name.constData());
    }

    // errno on failure, 0 on success.
    int create(const QString &target)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = QFile::encodeName(target + QLatin1Char('.') + randomSuffix());
            m_fd = openRetrying(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd >= 0) {
                m_name = name;
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }

    int write(const QByteArray &bytes)
    {
        const char *p = bytes.constData();
        qsizetype left = bytes.size();
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
    int syncAndClose()
    {
        if (::fsync(m_fd) != 0 && errno != EINVAL && errno != EOPNOTSUPP)
            return errno;
        const int result = ::close(m_fd);
        m_fd = -1; // closed even when close fails
        return result != 0 && errno != EINTR ? errno : 0;
    }

    int renameOver(const QString &target)
    {
        if (::rename(m_name.constData(), QFile::encodeName(target).constData()) != 0)
            return errno;
        m_name.clear();
        return 0;
    }

    int fd() const { return m_fd; }

private:
    int m_fd = -1;
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
        file.setFileName(path);
        if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            return {};
        why = file.errorString();
    }
    ::close(fd);
    return why;
}

QString replaceFile(const QString &path, const QByteArray &bytes)
{
    // Replace what a link points to, not the link.
    QString target = path;
    for (int depth = 0; QFileInfo(target).isSymLink(); ++depth) {
        if (depth == 40)
            return systemReason(ELOOP);
        target = QFileInfo(target).symLinkTarget();
    }

    struct stat st;
    const bool exists = ::stat(QFile::encodeName(target).constData(), &st) == 0;
    if (!exists && errno != ENOENT)
        return systemReason(errno);
    if (exists && S_ISDIR(st.st_mode))
        return systemReason(EISDIR);
    if (exists && !S_ISREG(st.st_mode))
        return kindReason(st.st_mode);

    TempFile temp;
    if (const int e = temp.create(target))
        return systemReason(e);
    // Best effort: some file systems (FAT) have no permissions to keep.
    if (exists)
        (void)::fchmod(temp.fd(), st.st_mode & 07777);
    int e = temp.write(bytes);
    if (!e)
        e = temp.syncAndClose();
    if (!e)
        e = temp.renameOver(target);
    return e ? systemReason(e) : QString();
}

} // namespace LWFileAccess
