#include "model/file/fileaccess.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <functional>
#include <grp.h>
#include <iostream>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

const QByteArray oldBytes = "the design as it was";
const QByteArray newBytes = "{\"the design\":\"as saved now\"}";
// Contents made piece by piece: newBytes.
const LWFileAccess::Contents contents = [](const LWFileAccess::Append &append) {
    return append(newBytes.constData(), newBytes.size()) ? QStringLiteral("not written") : QString();
};

void writeFile(const QString &path, const QByteArray &bytes, mode_t mode = 0644)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << qPrintable(path);
    f.write(bytes);
    f.close();
    ASSERT_EQ(::chmod(qPrintable(path), mode), 0);
}

// One line for a file as a save must leave it: its contents, permissions and owner.
QString fileLine(const QString &name, const QByteArray &bytes, mode_t mode, uid_t uid, gid_t gid)
{
    return QStringLiteral("%1: %2 %3 %4:%5").arg(name, QString::fromUtf8(bytes)).arg(mode & 07777, 0, 8).arg(uid).arg(gid);
}

// Everything under `folder`, hidden names included, one sorted line each: links with their
// text (not followed), folders, and files as fileLine gives them with their extended attributes.
QStringList tree(const QString &folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QByteArray path = QFile::encodeName(it.next());
        const QString name = QDir(folder).relativeFilePath(it.filePath());
        struct stat st {};
        ::lstat(path.constData(), &st);
        char link[PATH_MAX] = {};
        if (S_ISLNK(st.st_mode))
            out.append(name + " -> " + QString::fromUtf8(link, int(::readlink(path.constData(), link, sizeof link - 1))));
        else if (S_ISDIR(st.st_mode))
            out.append(name + '/');
        else {
            QFile f(it.filePath());
            QString line = fileLine(name, f.open(QIODevice::ReadOnly) ? f.readAll() : "<unreadable>", st.st_mode,
                                    st.st_uid, st.st_gid);
            char names[1024];
            const ssize_t size = ::listxattr(path.constData(), names, sizeof names);
            for (const QByteArray &attr : QByteArray(names, std::max<int>(int(size), 0)).split('\0')) {
                QByteArray value(256, '\0');
                const ssize_t n = attr.isEmpty() ? -1 : ::getxattr(path.constData(), attr.constData(), value.data(), 256);
                if (n >= 0)
                    line += ' ' + QString::fromUtf8(attr) + '=' + QString::fromLatin1(value.left(n).toHex());
            }
            out.append(line);
        }
    }
    out.sort();
    return out;
}

// Runs `work` in a child process and returns what it returned, or "<killed>" when the child
// died of a signal. With `nobody`, the child first takes the ids of an unprivileged user.
QByteArray inChild(const std::function<QString()> &work, bool nobody = false)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "<no pipe>";
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (nobody && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        const QByteArray result = work().toUtf8();
        (void)!::write(fds[1], result.constData(), size_t(result.size()));
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray result;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? "<killed>" : WEXITSTATUS(status) == 0 ? result : "<child failed>";
}

class FileAccess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // Other users' ids (tests as root) must reach the folders inside.
        ASSERT_EQ(::chmod(qPrintable(dir.path()), 0755), 0);
    }
    void TearDown() override
    {
        for (const QString &sub : QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            ::chmod(qPrintable(dir.filePath(sub)), 0755); // read-only folders, so they can go
    }
    QString folder(const QString &name)
    {
        EXPECT_TRUE(QDir(dir.path()).mkpath(name));
        return dir.filePath(name);
    }
    static bool root() { return ::geteuid() == 0; }
    QTemporaryDir dir;
};

} // namespace

TEST_F(FileAccess, ReplacesTheRealFileAndKeepsWhatItWas)
{
    const QString longName = QString(240, u'n') + ".velkfolio";
    const QString longest = QString(245, u'n') + ".velkfolio";
    const mode_t umask = ::umask(022);
    ::umask(umask);
    const QString card = QStringLiteral("Card.velkfolio");
    struct Case {
        const char *name;
        QString target, real; // the path saved to and the real file's path, under the case's folder
        std::function<void(const QString &f)> arrange; // makes the layout in `f`
        bool needsRoot = false;
    };
    const Case cases[] = {
        {"a link in a linked folder: the real design, not the file its text seems to name", "shortcut/Card.velkfolio",
         "projects/acme/Card.velkfolio",
         [](const QString &f) {
             EXPECT_TRUE(QDir(f).mkpath("projects/acme/cards"));
             writeFile(f + "/projects/acme/Card.velkfolio", oldBytes);
             writeFile(f + "/Card.velkfolio", "unrelated");
             EXPECT_EQ(::symlink("projects/acme/cards", qPrintable(f + "/shortcut")), 0);
             EXPECT_EQ(::symlink("../Card.velkfolio", qPrintable(f + "/projects/acme/cards/Card.velkfolio")), 0);
         }},
        {"a dangling link: the file it names", "New.velkfolio", "real/New.velkfolio",
         [](const QString &f) {
             EXPECT_EQ(::symlink("real/New.velkfolio", qPrintable(f + "/New.velkfolio")), 0);
             EXPECT_TRUE(QDir(f).mkpath("real"));
         }},
        {"another user's owner and group", card, card,
         [](const QString &f) {
             writeFile(f + "/Card.velkfolio", oldBytes, 0660);
             EXPECT_EQ(::chown(qPrintable(f + "/Card.velkfolio"), 1234, 5678), 0);
         },
         true},
        {"a private design", card, card, [](const QString &f) { writeFile(f + "/Card.velkfolio", oldBytes, 0600); }},
        {"an access list (user 1234 may write) and an extended attribute", card, card,
         [](const QString &f) {
             // Owner rw, user 1234 rw, group r, mask rw, other r, as the kernel stores an access list.
             QByteArray acl("\x02\0\0\0", 4);
             const struct { quint16 tag, perm; quint32 id; } entries[] = {
                 {0x01, 6, ~0u}, {0x02, 6, 1234}, {0x04, 4, ~0u}, {0x10, 6, ~0u}, {0x20, 4, ~0u}};
             for (const auto &e : entries)
                 acl.append(reinterpret_cast<const char *>(&e), sizeof e); // little-endian, no padding
             const QByteArray path = QFile::encodeName(f + "/Card.velkfolio");
             writeFile(f + "/Card.velkfolio", oldBytes);
             if (::setxattr(path, "user.comment", "for the fair", 12, 0) != 0 ||
                 ::setxattr(path, "system.posix_acl_access", acl.constData(), size_t(acl.size()), 0) != 0)
                 std::cout << "no extended attributes or access lists here: " << std::strerror(errno) << '\n';
         }},
        {"a name of 250 bytes", longName, longName, [&](const QString &f) { writeFile(f + '/' + longName, oldBytes); }},
        {"a new file of 255 bytes", longest, longest, [](const QString &) {}},
    };
    for (bool named : {false, true}) {
        int index = 0;
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (named ? " (named temporary)" : ""));
            if (c.needsRoot && !root())
                continue;
            const QString f = folder(QStringLiteral("%1-%2").arg(named).arg(index++));
            c.arrange(f);
            // Afterwards: only the real file changed, to the new bytes, with what it had before.
            QStringList expected = tree(f);
            const auto earlier = std::find_if(expected.begin(), expected.end(),
                                              [&](const QString &line) { return line.startsWith(c.real + ": "); });
            const bool existed = earlier != expected.end();
            if (existed)
                earlier->replace(": " + oldBytes + ' ', ": " + newBytes + ' ');
            else
                expected.append(fileLine(c.real, newBytes, 0666 & ~umask, ::geteuid(), ::getegid()));
            expected.sort();

            std::optional<mode_t> createdMode;
            LWFileAccess::ReplaceProbe probe;
            probe.namedTemporary = named;
            probe.written = [&](int fd) {
                struct stat temp {};
                ::fstat(fd, &temp);
                createdMode = temp.st_mode & 07777;
            };
            EXPECT_EQ(LWFileAccess::replaceFile(f + '/' + c.target, newBytes, probe).toStdString(), "");
            EXPECT_EQ(tree(f).join('\n').toStdString(), expected.join('\n').toStdString());
            // The earlier contents are never readable through the temporary but by its owner.
            ASSERT_TRUE(createdMode.has_value());
            if (existed) {
                EXPECT_EQ(*createdMode & 077, 0u) << std::oct << *createdMode;
            }
        }
    }
}

TEST_F(FileAccess, RefusesWhatItMayNotReplaceAndLeavesItAlone)
{
    const QString denied = LWFileAccess::systemReason(EACCES);
    struct Case {
        const char *name;
        // Changes the layout in `f` around the design `f`/Card.velkfolio.
        std::function<void(const QString &f)> arrange;
        QString reason; // "%1": the folder's name
        bool asNobody = false;
    };
    const auto chmod = [](const QString &path, mode_t mode) { ASSERT_EQ(::chmod(qPrintable(path), mode), 0); };
    const Case cases[] = {
        // As root access() allows it: only the rule for files without any write permission refuses.
        {"a design marked read-only", [&](const QString &f) { chmod(f + "/Card.velkfolio", 0444); }, denied},
        // The folder lets anyone rename over it: only the file's own permission refuses.
        {"another user's design in a folder open to all", [&](const QString &f) { chmod(f, 0777); }, denied, true},
        {"the saver's own design marked read-only",
         [&](const QString &f) {
             chmod(f, 0777);
             chmod(f + "/Card.velkfolio", 0444);
             ASSERT_EQ(::chown(qPrintable(f + "/Card.velkfolio"), 65534, 65534), 0);
         },
         denied, true},
        // The folder lets anyone write, but its sticky bit keeps others' files theirs.
        {"another user's writable design in a shared sticky folder",
         [&](const QString &f) {
             chmod(f, 01777);
             chmod(f + "/Card.velkfolio", 0666);
         },
         "it belongs to another user, and its shared folder \"%1\" lets only its owner replace it (" +
             LWFileAccess::systemReason(EPERM) + ")",
         true},
        {"a design with another hard link",
         [](const QString &f) { ASSERT_EQ(::link(qPrintable(f + "/Card.velkfolio"), qPrintable(f + "/Copy.velkfolio")), 0); },
         QStringLiteral("it has 1 other hard link, which saving would leave with the old contents")},
        {"a writable design in a read-only folder",
         [&](const QString &f) {
             chmod(f + "/Card.velkfolio", 0666);
             chmod(f, 0555);
         },
         "its folder \"%1\" takes no new files (" + denied + "), which a safe save needs even to replace one"},
    };
    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.asNobody && !root())
            continue;
        const QString f = folder(QStringLiteral("refused-%1").arg(index++));
        const QString target = f + "/Card.velkfolio";
        writeFile(target, oldBytes);
        c.arrange(f);
        const QStringList before = tree(f);
        const auto save = [&] { return LWFileAccess::replaceFile(target, newBytes); };
        const QByteArray reason = c.asNobody ? inChild(save, true) : save().toUtf8();
        EXPECT_EQ(reason.toStdString(), QString(c.reason).replace("%1", QDir(f).dirName()).toStdString());
        EXPECT_EQ(tree(f), before);
    }
}

TEST_F(FileAccess, ACrashWhileSavingLeavesNoVisibleStray)
{
    for (bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporary" : "unnamed temporary");
        const QString f = folder(named ? "named" : "unnamed");
        writeFile(f + "/Card.velkfolio", oldBytes);
        const QStringList before = tree(f);
        const QByteArray outcome = inChild([&] {
            LWFileAccess::ReplaceProbe probe;
            probe.namedTemporary = named;
            probe.written = [](int) { ::raise(SIGKILL); };
            return LWFileAccess::replaceFile(f + "/Card.velkfolio", newBytes, probe);
        });
        EXPECT_EQ(outcome.toStdString(), "<killed>");
        // An unnamed temporary vanishes with the process; a named one stays hidden.
        QStringList after = tree(f);
        EXPECT_EQ(after.filter(QRegularExpression("^\\.lwsave-[A-Za-z0-9]{6}: ")).size(), named ? 1 : 0);
        EXPECT_EQ(after.filter(QRegularExpression("^[^.]")), before);
    }
}

// Files prepared one by one and put in place together: all of them, or, when the folder changed
// after they were prepared, none; dropped, none. Never a temporary.
TEST_F(FileAccess, ReplacesSeveralFilesTogether)
{
    const mode_t umask = ::umask(022);
    ::umask(umask);
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    const QString front = fileLine("Front.png", newBytes, 0644, uid, gid);
    const QString back = fileLine("Back.png", newBytes, 0666 & ~umask, uid, gid);
    const QString oldFront = fileLine("Front.png", oldBytes, 0644, uid, gid);
    struct Case {
        const char *name;
        std::function<void(const QString &f)> between; // after both are prepared
        bool commit;
        QStringList after;
        qsizetype failed = -1;
        QString reason = {};
    };
    const QString isFolder = LWFileAccess::systemReason(EISDIR);
    const Case cases[] = {
        {"both put in place", {}, true, {back, front}},
        {"both dropped", {}, false, {oldFront}},
        {"the second's name taken by a folder", [](const QString &f) { QDir(f).mkdir("Back.png"); }, true,
         {"Back.png/", oldFront}, 1, isFolder},
        {"the first's name taken by a folder",
         [](const QString &f) {
             QFile::remove(f + "/Front.png");
             QDir(f).mkdir("Front.png");
         },
         true, {"Front.png/"}, 0, isFolder},
    };
    for (bool named : {false, true}) {
        int index = 0;
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (named ? " (named temporaries)" : ""));
            const QString f = folder(QStringLiteral("together-%1-%2").arg(named).arg(index++));
            writeFile(f + "/Front.png", oldBytes);
            LWFileAccess::ReplaceProbe probe;
            probe.namedTemporary = named;
            {
                std::vector<LWFileAccess::Replacement> files(2);
                ASSERT_EQ(files[0].prepare(f + "/Front.png", contents, probe), QString());
                ASSERT_EQ(files[1].prepare(f + "/Back.png", contents, probe), QString());
                EXPECT_EQ(tree(f).filter(QRegularExpression("^[^.]")), QStringList{oldFront});
                if (c.between)
                    c.between(f);
                qsizetype failed = -2;
                if (c.commit) {
                    bool restored = false;
                    EXPECT_EQ(LWFileAccess::Replacement::commitAll(files, failed, restored), c.reason);
                    EXPECT_EQ(failed, c.failed);
                    EXPECT_FALSE(files[0].isPrepared() || files[1].isPrepared());
                }
            }
            EXPECT_EQ(tree(f), c.after);
        }
    }
}

// Two earlier files replaced together, the second failing at one of its last steps after both
// were prepared: both keep their earlier contents, no stray file remains, and the failure says
// which file and why.
TEST_F(FileAccess, TheSecondFileFailingAtItsLastStepChangesNothing)
{
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    const QStringList earlier = {fileLine("Back.png", "old back", 0644, uid, gid),
                                 fileLine("Front.png", "old front", 0644, uid, gid)};
    const struct {
        const char *step;
        int error;
    } cases[] = {{"name", ENOSPC}, {"close", EIO}, {"rename", EPERM}};
    for (bool named : {false, true}) {
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(c.step) + (named ? " (named temporaries)" : ""));
            const QString f = folder(QStringLiteral("last-%1-%2").arg(named).arg(c.step));
            writeFile(f + "/Front.png", "old front");
            writeFile(f + "/Back.png", "old back");
            LWFileAccess::ReplaceProbe probe;
            probe.namedTemporary = named;
            std::vector<LWFileAccess::Replacement> files(2);
            ASSERT_EQ(files[0].prepare(f + "/Front.png", contents, probe), QString());
            probe.lastStepFault = [&c](const char *step) { return std::strcmp(step, c.step) == 0 ? c.error : 0; };
            ASSERT_EQ(files[1].prepare(f + "/Back.png", contents, probe), QString());
            qsizetype failed = -2;
            bool restored = false;
            EXPECT_EQ(LWFileAccess::Replacement::commitAll(files, failed, restored),
                      LWFileAccess::systemReason(c.error));
            EXPECT_EQ(failed, 1);
            EXPECT_TRUE(restored);
            EXPECT_EQ(tree(f), earlier);
        }
    }
}

// In a shared folder with the sticky bit, a colleague's earlier back refuses before anything is
// written, so the user's own front stays as it was too.
TEST_F(FileAccess, AStickyFolderRefusesBeforeAnyFileIsReplaced)
{
    if (!root())
        GTEST_SKIP() << "needs the administrator to act as two users";
    const QString f = folder("shared");
    ASSERT_EQ(::chmod(qPrintable(f), 01777), 0);
    writeFile(f + "/Front.png", "old front", 0666);
    writeFile(f + "/Back.png", "old back", 0666);
    ASSERT_EQ(::chown(qPrintable(f + "/Front.png"), 65534, 65534), 0); // the user's own
    ASSERT_EQ(::chown(qPrintable(f + "/Back.png"), 1234, 1234), 0);   // a colleague's
    const QStringList before = tree(f);
    const QByteArray outcome = inChild(
        [&] {
            std::vector<LWFileAccess::Replacement> files(2);
            if (QString why = files[0].prepare(f + "/Front.png", contents); !why.isEmpty())
                return "front: " + why;
            if (QString why = files[1].prepare(f + "/Back.png", contents); !why.isEmpty())
                return "back: " + why;
            qsizetype failed = -1;
            bool restored = false;
            return "committed: " + LWFileAccess::Replacement::commitAll(files, failed, restored);
        },
        true);
    EXPECT_EQ(outcome.toStdString(), "back: it belongs to another user, and its shared folder \"shared\" lets only its "
                                     "owner replace it (" + LWFileAccess::systemReason(EPERM).toStdString() + ")");
    EXPECT_EQ(tree(f), before);
}

// Where the earlier files can get no second name (no hard links there), each is moved aside just
// before its rename: put in place, none is left aside; a later file failing brings back every
// earlier one, the files that did not exist go again, and nothing hidden remains.
TEST_F(FileAccess, FilesMovedAsideComeBackWhenALaterOneFails)
{
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    const QStringList earlier = {fileLine("Back.png", "old back", 0644, uid, gid),
                                 fileLine("Front.png", "old front", 0644, uid, gid),
                                 fileLine("Inside.png", "old inside", 0644, uid, gid)};
    const QStringList saved = {fileLine("Back.png", newBytes, 0644, uid, gid),
                               fileLine("Front.png", newBytes, 0644, uid, gid),
                               fileLine("Inside.png", newBytes, 0644, uid, gid)};
    const struct {
        const char *name;
        int linkError;
        int lastError; // of the last file's rename; 0: none
        bool firstIsNew;
        QStringList after;
        QString reason;
    } cases[] = {
        {"all put in place", EPERM, 0, false, saved, {}},
        {"the last failing", EPERM, EIO, false, earlier, LWFileAccess::systemReason(EIO)},
        {"the last failing, links unsupported", EOPNOTSUPP, EIO, false, earlier, LWFileAccess::systemReason(EIO)},
        {"the last failing, the first new", EMLINK, ENOSPC, true, {earlier[0], earlier[2]}, LWFileAccess::systemReason(ENOSPC)},
    };
    for (bool named : {false, true}) {
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (named ? " (named temporaries)" : ""));
            const QString f = folder(QStringLiteral("aside-%1-%2").arg(named).arg(c.name));
            if (!c.firstIsNew)
                writeFile(f + "/Front.png", "old front");
            writeFile(f + "/Back.png", "old back");
            writeFile(f + "/Inside.png", "old inside");
            LWFileAccess::ReplaceProbe probe;
            probe.namedTemporary = named;
            probe.lastStepFault = [&c](const char *step) { return std::strcmp(step, "link") == 0 ? c.linkError : 0; };
            std::vector<LWFileAccess::Replacement> files(3);
            ASSERT_EQ(files[0].prepare(f + "/Front.png", contents, probe), QString());
            ASSERT_EQ(files[1].prepare(f + "/Back.png", contents, probe), QString());
            probe.lastStepFault = [&c](const char *step) {
                return std::strcmp(step, "link") == 0 ? c.linkError : std::strcmp(step, "rename") == 0 ? c.lastError : 0;
            };
            ASSERT_EQ(files[2].prepare(f + "/Inside.png", contents, probe), QString());
            qsizetype failed = -2;
            bool restored = false;
            EXPECT_EQ(LWFileAccess::Replacement::commitAll(files, failed, restored), c.reason);
            EXPECT_EQ(failed, c.reason.isEmpty() ? -1 : 2);
            EXPECT_TRUE(restored);
            EXPECT_EQ(tree(f), c.after);
        }
    }
}
