#include "render/worker/workerwatch.h"

#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace
{

std::atomic<qint64> refused{0};

// One process's (or task's) file under /proc, read whole; empty when it cannot be read.
QByteArray readProc(const char *path)
{
    FILE *f = std::fopen(path, "re");
    if (!f)
        return {};
    char buffer[4096];
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    return QByteArray(buffer, qsizetype(n));
}

qint64 statusField(const QByteArray &status, const char *name)
{
    const qsizetype at = status.indexOf(name);
    if (at < 0)
        return -1;
    bool ok = false;
    const qsizetype from = at + qsizetype(std::strlen(name));
    const qint64 v =
        status.mid(from, status.indexOf('\n', from) - from).trimmed().split(' ').value(0).toLongLong(&ok);
    return ok ? v : -1;
}

// The worker's tasks (its threads), by id.
std::vector<pid_t> tasksOf(pid_t pid)
{
    std::vector<pid_t> out;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/task", int(pid));
    if (DIR *d = ::opendir(path)) {
        while (const dirent *e = ::readdir(d))
            if (const int tid = std::atoi(e->d_name); tid > 0)
                out.push_back(pid_t(tid));
        ::closedir(d);
    }
    return out;
}

// Nanoseconds each task has waited for a CPU (the scheduler adds a wait when it ends).
std::vector<std::pair<pid_t, qint64>> runQueueWaits(pid_t pid)
{
    std::vector<std::pair<pid_t, qint64>> out;
    for (const pid_t tid : tasksOf(pid)) {
        char path[96];
        std::snprintf(path, sizeof path, "/proc/%d/task/%d/schedstat", int(pid), int(tid));
        const QList<QByteArray> fields = readProc(path).split(' ');
        out.emplace_back(tid, fields.value(1).toLongLong());
    }
    return out;
}

// The most any task has waited for a CPU since `before`, in milliseconds.
qint64 longestWaitSince(pid_t pid, const std::vector<std::pair<pid_t, qint64>> &before)
{
    qint64 most = 0;
    for (const auto &[tid, ns] : runQueueWaits(pid)) {
        const auto was =
            std::find_if(before.begin(), before.end(), [tid = tid](const auto &b) { return b.first == tid; });
        most = std::max(most, ns - (was == before.end() ? 0 : was->second));
    }
    return most / 1'000'000;
}

// The fields of a task's stat after its name (state first); empty when it cannot be read.
QList<QByteArray> taskStat(pid_t pid, pid_t tid)
{
    char path[96];
    std::snprintf(path, sizeof path, "/proc/%d/task/%d/stat", int(pid), int(tid));
    const QByteArray stat = readProc(path);
    const qsizetype at = stat.lastIndexOf(") ");
    return at < 0 ? QList<QByteArray>() : stat.mid(at + 2).split(' ');
}

// What the worker's tasks are doing now: one running or waiting for a CPU (also when that cannot
// be read: it is not known to be asleep), else one in uninterruptible sleep (the disk, paging on
// a machine short of memory), else all asleep of their own accord.
enum class Doing { runnable, onDisk, asleep };

Doing doingOf(pid_t pid)
{
    const std::vector<pid_t> tasks = tasksOf(pid);
    if (tasks.empty())
        return Doing::runnable;
    bool disk = false;
    for (const pid_t tid : tasks) {
        const QList<QByteArray> fields = taskStat(pid, tid);
        if (fields.isEmpty() || fields[0] == "R")
            return Doing::runnable;
        disk = disk || fields[0] == "D";
    }
    return disk ? Doing::onDisk : Doing::asleep;
}

// The worker's threads, as its status counts them (INT_MAX when it cannot be read).
int threadsOf(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", int(pid));
    const qint64 n = statusField(readProc(path), "\nThreads:");
    return n < 0 ? INT_MAX : int(n);
}

// Those of them that are not ending. A thread joined is still counted until it has wholly
// exited: a decoder that joins one thread and starts the next would otherwise be refused the next
// now and then, and wait for it for ever.
int liveThreadsOf(pid_t pid)
{
    constexpr qint64 exiting = 0x4; // the kernel's PF_EXITING
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/task", int(pid));
    if (::access(path, R_OK) != 0)
        return INT_MAX;
    int live = 0;
    for (const pid_t tid : tasksOf(pid)) {
        const QList<QByteArray> fields = taskStat(pid, tid);
        if (fields.size() > 6 && !(fields[6].toLongLong() & exiting))
            ++live;
    }
    return live;
}

// Answers one thread ask: granted while the worker has fewer than `most` threads, refused at
// once past them. A thread granted may not show yet: it counts until the thread that asked for
// it asks again (its ask has returned by then), so that asks close together never all pass.
// False when it refused one.
bool grantThread(pid_t pid, int listener, std::vector<pid_t> &asking, int most)
{
    seccomp_notif ask{};
    if (::ioctl(listener, SECCOMP_IOCTL_NOTIF_RECV, &ask) != 0)
        return true;
    asking.erase(std::remove(asking.begin(), asking.end(), pid_t(ask.pid)), asking.end());
    // The status first, which is one read; the tasks one by one only where it would refuse.
    const bool granted = qint64(threadsOf(pid)) + qint64(asking.size()) < most ||
                         qint64(liveThreadsOf(pid)) + qint64(asking.size()) < most;
    seccomp_notif_resp answer{};
    answer.id = ask.id;
    if (granted)
        answer.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
    else
        answer.error = -EAGAIN;
    if (::ioctl(listener, SECCOMP_IOCTL_NOTIF_SEND, &answer) == 0 && granted)
        asking.push_back(pid_t(ask.pid));
    if (!granted)
        ++refused;
    return granted;
}

} // namespace

namespace LWWorkerWatch
{

Holding holdingOf(pid_t pid)
{
    Holding h;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", int(pid));
    const QByteArray status = readProc(path);
    h.sharedKb = statusField(status, "\nRssShmem:");
    h.dataKb = statusField(status, "\nVmData:");
    if (!status.isEmpty())
        h.threads = liveThreadsOf(pid);
    std::snprintf(path, sizeof path, "/proc/%d/fd", int(pid));
    DIR *d = ::opendir(path);
    if (!d)
        return h;
    h.descriptors = h.memfds = 0;
    while (const dirent *e = ::readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        ++h.descriptors;
        char link[320], target[64] = {};
        std::snprintf(link, sizeof link, "/proc/%d/fd/%s", int(pid), e->d_name);
        if (::readlink(link, target, sizeof target - 1) > 0 && std::strncmp(target, "/memfd:", 7) == 0)
            ++h.memfds;
    }
    ::closedir(d);
    return h;
}

bool holdsMore(const Holding &hello, const Holding &now, qint64 dataMargin)
{
    const auto more = [](qint64 was, qint64 is) { return was >= 0 && is > was; };
    return more(hello.descriptors, now.descriptors) || more(hello.memfds, now.memfds) ||
           more(hello.threads, now.threads) || more(hello.sharedKb, now.sharedKb) ||
           (dataMargin > 0 && now.dataKb * 1024 > dataMargin / 2);
}

Listened listen(pid_t pid, int channel, int listener, std::vector<pid_t> &asking, int mostThreads, int wallMs,
                const std::function<bool()> &cancelled)
{
    pollfd p[2] = {{channel, POLLIN, 0}, {listener, POLLIN, 0}};
    const auto waitsBefore = runQueueWaits(pid);
    QElapsedTimer since;
    since.start();
    const qint64 wall = std::max(1, wallMs), cap = 3 * wall;
    constexpr qint64 cancelEveryMs = 20;
    qint64 due = wall;
    Listened out;
    for (;;) {
        qint64 wait = std::clamp<qint64>(due - since.elapsed(), 0, INT_MAX);
        if (cancelled)
            wait = std::min(wait, cancelEveryMs);
        const int n = ::poll(p, p[1].fd >= 0 ? 2 : 1, int(wait));
        if (n < 0 && errno == EINTR)
            continue;
        if (n > 0) {
            if (p[0].revents)
                return out;
            if (!(p[1].revents & POLLIN))
                p[1].fd = -1; // the worker's filter has gone: only its channel tells now
            else if (!grantThread(pid, listener, asking, mostThreads) && ++out.refused > mostRefusals)
                return out.heard = Heard::asking, out;
            continue;
        }
        if (cancelled && cancelled())
            return out.heard = Heard::cancelled, out;
        const qint64 elapsed = since.elapsed();
        if (n == 0 && elapsed < due)
            continue; // woken to ask `cancelled`
        // Its waits for a CPU are the machine's: the wall clock runs without them.
        const qint64 mine = elapsed - longestWaitSince(pid, waitsBefore);
        const Doing doing = n == 0 ? doingOf(pid) : Doing::runnable;
        if (n == 0 && elapsed < cap) {
            if (mine < wall) {
                due = std::min(cap, elapsed + (wall - mine));
                continue;
            }
            // Running, or waiting for a CPU now (a wait is added only once it ends).
            if (doing == Doing::runnable) {
                due = std::min(cap, elapsed + std::max<qint64>(50, wall / 16));
                continue;
            }
        }
        // Asleep of its own accord past its own wall clock, whatever CPU time it used before.
        if (doing == Doing::asleep && mine >= wall)
            return out.heard = Heard::blocked, out;
        return out.heard = Heard::starved, out;
    }
}

qint64 refusedAsks()
{
    return refused;
}

} // namespace LWWorkerWatch
