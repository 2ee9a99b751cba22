#include "model/fileaccess.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <functional>
#include <optional>
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

const std::string oldBytes = "the design as it was";
const std::string newBytes = "{\"the design\":\"as saved now\"}";

std::string readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<missing>";
}

void writeFile(const QString &path, const std::string &bytes, mode_t mode = 0644)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << qPrintable(path);
    f.write(bytes.data(), qint64(bytes.size()));
    f.close();
    ASSERT_EQ(::chmod(qPrintable(path), mode), 0);
}

struct stat statOf(const QString &path, bool follow = true)
{
    struct stat st {};
    EXPECT_EQ(follow ? ::stat(qPrintable(path), &st) : ::lstat(qPrintable(path), &st), 0) << qPrintable(path);
    return st;
}

// Every name in `folder`, hidden ones included: what a save must leave as it found it.
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Every path under `folder`, relative, hidden ones included, links not followed.
QStringList tree(const QString &folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out.append(QDir(folder).relativeFilePath(it.next()));
    out.sort();
    return out;
}

std::string attribute(const QString &path, const char *name)
{
    QByteArray value(4096, '\0');
    const ssize_t n = ::getxattr(qPrintable(path), name, value.data(), size_t(value.size()));
    return n < 0 ? "<none>" : value.left(n).toHex().toStdString();
}

// A POSIX access list as the kernel stores it: owner rw, user 1234 rw, group r, mask rw, other r.
QByteArray accessList()
{
    QByteArray out;
    const auto u16 = [&](quint16 v) { out.append(char(v & 0xff)).append(char(v >> 8)); };
    const auto u32 = [&](quint32 v) { u16(quint16(v & 0xffff)), u16(quint16(v >> 16)); };
    u32(2); // version
    const quint32 none = 0xffffffff;
    const struct { quint16 tag, perm; quint32 id; } acl[] = {
        {0x01, 6, none}, {0x02, 6, 1234}, {0x04, 4, none}, {0x10, 6, none}, {0x20, 4, none}};
    for (const auto &e : acl)
        u16(e.tag), u16(e.perm), u32(e.id);
    return out;
}

// Runs `work` in a child process and returns what it wrote to `out`, or "<killed>" when the
// child died of a signal. With `nobody`, the child first takes the ids of an unprivileged user.
QByteArray inChild(const std::function<QByteArray()> &work, bool nobody = false)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "<no pipe>";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        if (nobody && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        const QByteArray result = work();
        (void)!::write(pipeFds[1], result.constData(), size_t(result.size()));
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    QByteArray result;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status))
        return "<killed>";
    return WEXITSTATUS(status) == 0 ? result : "<child failed>";
}

class FileAccess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // Other users' ids (tests as root) must reach the folders inside.
        ASSERT_EQ(::chmod(qPrintable(dir.path()), 0755), 0);
    }
    // A fresh folder for one case; the QTemporaryDir removes it, read-only ones made writable.
    QString folder(const char *name)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }
    void TearDown() override
    {
        for (const QString &sub : entries(dir.path()))
            ::chmod(qPrintable(dir.filePath(sub)), 0755);
    }

    static bool root() { return ::geteuid() == 0; }
    QTemporaryDir dir;
};

} // namespace

TEST_F(FileAccess, ReplacesTheRealFileAndKeepsWhatItWas)
{
    struct Case {
        const char *name;
        // Makes the layout in `f` and returns the path to save.
        std::function<QString(const QString &f)> arrange;
        // What must hold afterwards.
        std::function<void(const QString &f)> check;
        // The file a save makes where there was none ("<long>": 245 letters), or null.
        const char *adds = nullptr;
        bool needsRoot = false;
    };
    const bool canAttribute = [&] {
        const QString probe = dir.filePath(QStringLiteral("probe"));
        writeFile(probe, oldBytes);
        return ::setxattr(qPrintable(probe), "user.probe", "1", 1, 0) == 0 &&
               ::setxattr(qPrintable(probe), "system.posix_acl_access", accessList().constData(),
                          size_t(accessList().size()), 0) == 0;
    }();
    const Case cases[] = {
        {"a link in a linked folder saves the real design, not a file its text seems to name",
         [](const QString &f) {
             EXPECT_TRUE(QDir().mkpath(f + "/projects/acme/cards"));
             writeFile(f + "/projects/acme/Card.velkfolio", oldBytes);
             writeFile(f + "/Card.velkfolio", "unrelated");
             EXPECT_EQ(::symlink("projects/acme/cards", qPrintable(f + "/shortcut")), 0);
             EXPECT_EQ(::symlink("../Card.velkfolio", qPrintable(f + "/projects/acme/cards/Card.velkfolio")), 0);
             return f + "/shortcut/Card.velkfolio";
         },
         [](const QString &f) {
             EXPECT_EQ(readFile(f + "/projects/acme/Card.velkfolio"), newBytes);
             EXPECT_EQ(readFile(f + "/Card.velkfolio"), "unrelated");
             EXPECT_TRUE(S_ISLNK(statOf(f + "/shortcut", false).st_mode));
             EXPECT_TRUE(S_ISLNK(statOf(f + "/projects/acme/cards/Card.velkfolio", false).st_mode));
         }},
        {"a dangling link gets the file it names",
         [](const QString &f) {
             EXPECT_EQ(::symlink("real/New.velkfolio", qPrintable(f + "/New.velkfolio")), 0);
             EXPECT_TRUE(QDir().mkpath(f + "/real"));
             return f + "/New.velkfolio";
         },
         [](const QString &f) {
             EXPECT_EQ(readFile(f + "/real/New.velkfolio"), newBytes);
             EXPECT_TRUE(S_ISLNK(statOf(f + "/New.velkfolio", false).st_mode));
         },
         "real/New.velkfolio"},
        {"another user's owner and group stay",
         [](const QString &f) {
             writeFile(f + "/Card.velkfolio", oldBytes, 0660);
             EXPECT_EQ(::chown(qPrintable(f + "/Card.velkfolio"), 1234, 5678), 0);
             return f + "/Card.velkfolio";
         },
         [](const QString &f) {
             const struct stat st = statOf(f + "/Card.velkfolio");
             EXPECT_EQ(st.st_uid, 1234u);
             EXPECT_EQ(st.st_gid, 5678u);
             EXPECT_EQ(st.st_mode & 07777, 0660u);
         },
         nullptr, true},
        {"a private design stays private",
         [](const QString &f) {
             writeFile(f + "/Card.velkfolio", oldBytes, 0600);
             return f + "/Card.velkfolio";
         },
         [](const QString &f) { EXPECT_EQ(statOf(f + "/Card.velkfolio").st_mode & 07777, 0600u); }},
        {"a name of 250 bytes",
         [](const QString &f) {
             const QString name = QString(240, u'n') + ".velkfolio";
             writeFile(f + '/' + name, oldBytes);
             return f + '/' + name;
         },
         [](const QString &f) { EXPECT_EQ(readFile(f + '/' + QString(240, u'n') + ".velkfolio"), newBytes); }},
        {"a new file of 255 bytes",
         [](const QString &f) { return f + '/' + QString(245, u'n') + ".velkfolio"; },
         [](const QString &f) { EXPECT_EQ(readFile(f + '/' + QString(245, u'n') + ".velkfolio"), newBytes); },
         "<long>.velkfolio"},
    };
    for (bool named : {false, true}) {
        int index = 0;
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (named ? " (named temporary)" : ""));
            if (c.needsRoot && !root())
                continue;
            const QString f = folder(QString::asprintf("%d-%d", named, index++).toLatin1().constData());
            const QString target = c.arrange(f);
            QStringList expected = tree(f);
            if (c.adds) {
                expected.append(QString::fromLatin1(c.adds).replace(QStringLiteral("<long>"), QString(245, u'n')));
                expected.sort();
            }
            std::optional<mode_t> createdMode;
            LWFileAccess::ReplaceProbe probe;
            probe.namedTemporary = named;
            probe.written = [&](int fd) {
                struct stat st {};
                ASSERT_EQ(::fstat(fd, &st), 0);
                createdMode = st.st_mode & 07777;
            };
            EXPECT_EQ(LWFileAccess::replaceFile(target, QByteArray::fromStdString(newBytes), probe).toStdString(), "");
            c.check(f);
            EXPECT_EQ(tree(f), expected); // no temporary left, nothing else touched
            // The earlier contents are never readable through the temporary but by its owner.
            ASSERT_TRUE(createdMode.has_value());
            if (!c.adds) {
                EXPECT_EQ(*createdMode & 077, 0u) << std::oct << *createdMode;
            }
        }
    }

    // Extended attributes and the access list (where the file system keeps them).
    if (!canAttribute) {
        GTEST_SKIP() << "no extended attributes or access lists on this file system";
    }
    const QString f = folder("attributes");
    const QString target = f + "/Card.velkfolio";
    writeFile(target, oldBytes);
    ASSERT_EQ(::setxattr(qPrintable(target), "user.comment", "for the fair", 12, 0), 0);
    ASSERT_EQ(::setxattr(qPrintable(target), "system.posix_acl_access", accessList().constData(),
                         size_t(accessList().size()), 0),
              0);
    const std::string acl = attribute(target, "system.posix_acl_access");
    const mode_t mode = statOf(target).st_mode & 07777;
    EXPECT_EQ(LWFileAccess::replaceFile(target, QByteArray::fromStdString(newBytes)).toStdString(), "");
    EXPECT_EQ(attribute(target, "user.comment"), QByteArray("for the fair").toHex().toStdString());
    EXPECT_EQ(attribute(target, "system.posix_acl_access"), acl);
    EXPECT_EQ(statOf(target).st_mode & 07777, mode);
    EXPECT_EQ(readFile(target), newBytes);
}

TEST_F(FileAccess, RefusesWhatItMayNotReplaceAndLeavesItAlone)
{
    const QString denied = LWFileAccess::systemReason(EACCES);
    struct Case {
        const char *name;
        // Changes the layout in `f`, around the design `f`/Card.velkfolio.
        std::function<void(const QString &f)> arrange;
        QString reason;
        bool asNobody = false;
    };
    const Case cases[] = {
        // As root access() allows it: only the rule for files without write permission refuses.
        {"a design marked read-only",
         [](const QString &f) { ASSERT_EQ(::chmod(qPrintable(f + "/Card.velkfolio"), 0444), 0); }, denied},
        // The folder lets anyone rename over it: only the file's own permission refuses.
        {"another user's design in a folder open to all",
         [](const QString &f) { ASSERT_EQ(::chmod(qPrintable(f), 0777), 0); }, denied, true},
        {"a design of the saver's own marked read-only, in a folder open to all",
         [](const QString &f) {
             ASSERT_EQ(::chmod(qPrintable(f), 0777), 0);
             ASSERT_EQ(::chmod(qPrintable(f + "/Card.velkfolio"), 0444), 0);
             ASSERT_EQ(::chown(qPrintable(f + "/Card.velkfolio"), 65534, 65534), 0);
         },
         denied, true},
        {"a design with another hard link",
         [](const QString &f) { ASSERT_EQ(::link(qPrintable(f + "/Card.velkfolio"), qPrintable(f + "/Copy.velkfolio")), 0); },
         QStringLiteral("it has 1 other hard link, which saving would leave with the old contents")},
        {"a writable design in a read-only folder",
         [](const QString &f) {
             ASSERT_EQ(::chmod(qPrintable(f + "/Card.velkfolio"), 0666), 0);
             ASSERT_EQ(::chmod(qPrintable(f), 0555), 0);
         },
         "its folder \"%1\" takes no new files (" + denied + "), which a safe save needs even to replace one"},
    };
    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString f = folder(QByteArray::number(index++).constData());
        if (c.asNobody && !root())
            continue;
        const QString target = f + "/Card.velkfolio";
        writeFile(target, oldBytes);
        c.arrange(f);
        const struct stat before = statOf(target);
        const QStringList names = entries(f);
        const auto save = [&] { return LWFileAccess::replaceFile(target, QByteArray::fromStdString(newBytes)).toUtf8(); };
        const QByteArray reason = c.asNobody ? inChild(save, true) : save();
        EXPECT_EQ(reason.toStdString(),
                  (c.reason.contains(u"%1") ? c.reason.arg(QFileInfo(f).fileName()) : c.reason).toStdString());
        EXPECT_EQ(readFile(target), oldBytes);
        EXPECT_EQ(statOf(target).st_ino, before.st_ino);
        EXPECT_EQ(entries(f), names);
    }
}

TEST_F(FileAccess, ACrashWhileSavingLeavesNoVisibleStray)
{
    for (bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporary" : "unnamed temporary");
        const QString f = folder(named ? "named" : "unnamed");
        const QString target = f + "/Card.velkfolio";
        writeFile(target, oldBytes);
        const QByteArray outcome = inChild([&] {
            LWFileAccess::ReplaceProbe probe;
            probe.namedTemporary = named;
            probe.written = [](int) { ::raise(SIGKILL); };
            return LWFileAccess::replaceFile(target, QByteArray::fromStdString(newBytes), probe).toUtf8();
        });
        EXPECT_EQ(outcome.toStdString(), "<killed>");
        EXPECT_EQ(readFile(target), oldBytes);
        // An unnamed temporary vanishes with the process; a named one stays hidden.
        QStringList visible = QDir(f).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        EXPECT_EQ(visible, QStringList{"Card.velkfolio"});
        EXPECT_EQ(entries(f).size(), named ? 2 : 1);
    }
}
