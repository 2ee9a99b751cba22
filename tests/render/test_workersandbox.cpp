// The decode worker's sandbox, through a test program (lw-sandbox-probe) that sets itself up with
// the worker's own set-up: what a decoder taken over by a crafted picture would try is refused by
// each layer and the files beside it stay as they were; the worker's threads and descriptors stay
// within its limits on a machine of two cores and on one of 128; it ends with the program.
#include "render/pictures/picturedecoder.h"
#include "render/worker/decodeworker.h"
#include "render/worker/decodeworkers.h"
#include "support/testpictures.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <sched.h>
#include <linux/landlock.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

using namespace LWTestPictures;

namespace {

QString probe()
{
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath() +
           QStringLiteral("/lw-sandbox-probe");
}

// Each file's name, size, mode, owner, times and contents.
QStringList snapshot(const QString &dir)
{
    QStringList out;
    for (const QFileInfo &f : QDir(dir).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        QFile file(f.filePath());
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        out << QStringLiteral("%1 %2 %3 %4 %5 %6")
                   .arg(f.fileName())
                   .arg(f.size())
                   .arg(int(f.permissions()))
                   .arg(f.ownerId())
                   .arg(f.lastModified().toMSecsSinceEpoch())
                   .arg(QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex()));
    }
    return out;
}

// What the probe's process reads in this one, which it may try to overwrite.
char canary[] = "canary-canary";

// The probe's end: exit status, or 128 + the signal that ended it.
int run(const QStringList &args)
{
    const QByteArray program = probe().toLocal8Bit();
    std::vector<QByteArray> words{program};
    for (const QString &a : args)
        words.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, program.constData(), nullptr, nullptr, argv.data(), nullptr) != 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// A field of a process's line in /proc (empty: the process is gone).
QByteArray statOf(const QString &pid, int field)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return stat.open(QIODevice::ReadOnly) ? stat.readAll().split(' ').value(field) : QByteArray();
}

// The one decode worker this process has running.
QString workerOfThisProcess()
{
    const QStringList all = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    const auto it = std::find_if(all.cbegin(), all.cend(), [](const QString &pid) { return statOf(pid, 3).toInt() == ::getpid(); });
    return it == all.cend() ? QString() : *it;
}

int entries(const QString &path) { return int(QDir(path).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size()); }

} // namespace

TEST(WorkerSandbox, WhatATakenOverDecoderTriesIsRefusedAndTheFilesBesideItStayAsTheyWere)
{
    // Each layer on its own refuses what it covers, the files open to anyone; all of them together
    // refuse everything, also on a system that refuses namespaces.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777));
    for (const char *name : {"design.velkfolio", "photo.jpg", "note.txt", "inherited.txt"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("the user's ") + name);
        f.setPermissions(QFileDevice::Permissions(0x6666));
    }
    const QStringList before = snapshot(dir.path());
    const QString address = QString::number(quintptr(canary), 16);
    const QStringList paths = {"open", "openat", "openat2", "creat", "truncate", "unlink", "unlinkat", "rename", "link",
                               "symlink", "mkdir", "execve"};
    QStringList landlocked = paths + QStringList{"ptrace", "process_vm_writev", "pidfd_getfd", "mount"};
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi >= 6) // signals and abstract sockets kept within
        landlocked << "kill" << "tgkill" << "connect";
    const QStringList everything = paths + QStringList{
        "ftruncate", "chmod", "chmod32", "chown", "utimes", "stat", "kill", "tgkill", "pidfd_open", "pidfd_getfd", "ptrace",
        "process_vm_writev", "socket", "socketpair", "connect", "sendmsg", "personality", "prctl", "bpf", "userfaultfd",
        "perf_event_open", "keyctl", "mount", "unshare", "fork"};
    const std::pair<const char *, QStringList> rows[] = {
        {"all", everything},
        {"filter", everything},
        {"landlock", abi >= 1 ? landlocked : QStringList()},
        {"root", paths + QStringList{"chmod", "chown", "utimes", "stat"}},
        {"nonamespaces", paths + QStringList{"chmod", "chmod32", "stat", "kill"}},
    };
    for (const auto &[layers, calls] : rows)
        for (const QString &call : calls) {
            SCOPED_TRACE(std::string(layers) + " " + call.toStdString());
            const int end = run({call, dir.path(), QString::fromLatin1(layers), address});
            // Refused with an error (0), or the process ended by the filter; 2: a call not on this machine.
            EXPECT_TRUE(end == 0 || end == 128 + SIGSYS || (end == 2 && (call == "creat" || call == "chmod32"))) << end;
            EXPECT_EQ(snapshot(dir.path()), before);
        }
    EXPECT_STREQ(canary, "canary-canary");
}

TEST(WorkerSandbox, ItsDataAndCpuLimitsCanBeReadButNotRaised)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Each row: the call, its end (0: refused, 1: went through). Its own descriptors it can describe.
    const std::pair<const char *, int> rows[] = {{"setrlimit", 0}, {"prlimit", 0}, {"getrlimit", 1}, {"fstat", 1}};
    for (const auto &[call, end] : rows) {
        SCOPED_TRACE(call);
        EXPECT_EQ(run({QString::fromLatin1(call), dir.path(), QStringLiteral("all")}), end);
    }
}

TEST(WorkerSandbox, ThreadsAndDescriptorsStayWithinTheLimitsOnTwoCoresAndOnMany)
{
    // Every format decoded in the program's own worker, started on two cores and on all of this
    // machine's; the large PNG is scaled on Qt's pool.
    const QList<QByteArray> pictures = {encode(twoTone(4000, 3000), "png"), encode(twoTone(3000, 2000), "jpg"),
                                        heic(twoTone(640, 480)), encode(twoTone(640, 480), "tiff"),
                                        heic(twoTone(64, 48), heif_orientation_normal, 8, heif_compression_AV1),
                                        encode(twoTone(640, 480), "webp"), twoToneGif(64, 48),
                                        encode(twoTone(64, 48), "bmp")};
    cpu_set_t all, two;
    ASSERT_EQ(::sched_getaffinity(0, sizeof(all), &all), 0);
    CPU_ZERO(&two);
    CPU_SET(0, &two), CPU_SET(1, &two);
    const auto onCores = [](const cpu_set_t &set) { // every thread's: any may start the worker
        for (const QString &task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            (void)::sched_setaffinity(task.toInt(), sizeof(set), &set);
    };
    QList<int> threads;
    for (const cpu_set_t *cores : {&two, &all}) {
        SCOPED_TRACE(CPU_COUNT(cores));
        LWDecodeWorkers::setForTests({}, 0, 0); // workers started from now on, on these cores
        onCores(*cores);
        int decoded = 0;
        for (const QByteArray &bytes : pictures)
            for (const int side : {0, 1500})
                decoded += LWPictureDecoder::decode(bytes, {side, {0, 0, 1, 1}}).image.has_value();
        onCores(all);
        EXPECT_EQ(decoded, 2 * pictures.size());
        const QString proc = QStringLiteral("/proc/%1/").arg(workerOfThisProcess());
        threads << entries(proc + QStringLiteral("task"));
        EXPECT_LE(threads.last(), 1 + LWDecodeWorker::qtThreads);
        EXPECT_LT(entries(proc + QStringLiteral("fd")), LWDecodeWorker::openDescriptors);
        QFile score(proc + QStringLiteral("oom_score_adj")); // the system's memory killer's first choice
        ASSERT_TRUE(score.open(QIODevice::ReadOnly));
        EXPECT_EQ(score.readAll().trimmed(), "1000");
        QFile limits(proc + QStringLiteral("limits"));
        ASSERT_TRUE(limits.open(QIODevice::ReadOnly));
        EXPECT_TRUE(limits.readAll().contains(QByteArray("Max open files            ") +
                                              QByteArray::number(LWDecodeWorker::openDescriptors)));
    }
    EXPECT_EQ(threads[0], threads[1]);
}

TEST(WorkerSandbox, AWorkerEndsWithTheProgram)
{
    // A program that ends at once, its worker looping: the worker ends with it. A program whose
    // application object ends: its idle worker is ended and gone before the program exits.
    const QString worker = QFileInfo(probe()).absolutePath() + QStringLiteral("/lw-misbehaving-decoder");
    for (const char *how : {"dies", "quits"}) {
        SCOPED_TRACE(how);
        QProcess program;
        program.start(probe(), {QStringLiteral("program"), worker, QString::fromLatin1(how)});
        ASSERT_TRUE(program.waitForFinished(60000));
        EXPECT_EQ(program.exitCode(), 0);
        const int pid = program.readAllStandardOutput().trimmed().toInt(); // the worker that loops
        EXPECT_EQ(pid > 0, std::string_view(how) == "dies");
        QDeadlineTimer gone(10000); // not a measure of speed: how long a killed process may linger
        const auto ended = [&] { return QByteArrayList{"", "Z"}.contains(statOf(QString::number(pid), 2)); };
        while (pid > 0 && !ended() && !gone.hasExpired())
            QThread::msleep(10);
        EXPECT_TRUE(pid == 0 || ended());
    }
}
