#include "render/worker/workerwatch.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/seccomp.h>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <time.h>
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

// The fields of a task's stat after its name (state first); empty when it cannot be read.
QList<QByteArray> taskStat(pid_t pid, pid_t tid)
{
    char path[96];
    std::snprintf(path, sizeof path, "/proc/%d/task/%d/stat", int(pid), int(tid));
    const QByteArray stat = readProc(path);
    const qsizetype at = stat.lastIndexOf(") ");
    return at < 0 ? QList<QByteArray>() : stat.mid(at + 2).split(' ');
}

// A task's time on a CPU and its finished waits for one, in nanoseconds; none when its file cannot
// be read.
std::optional<std::pair<qint64, qint64>> schedstat(const char *path)
{
    const QList<QByteArray> fields = readProc(path).split(' ');
    if (fields.size() < 2)
        return std::nullopt;
    return std::pair(fields[0].toLongLong(), fields[1].toLongLong());
}

// A /proc file kept open and read again from its start (an ask waits while it is read: it must
// cost next to nothing, no open and close each time).
class KeptFile {
public:
    explicit KeptFile(const char *path) : m_fd(::open(path, O_RDONLY | O_CLOEXEC)) {}
    ~KeptFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    KeptFile(const KeptFile &) = delete;
    KeptFile &operator=(const KeptFile &) = delete;
    // Its bytes into `buffer`, a terminating zero after them; how many (none: unread).
    [[nodiscard]] ssize_t read(char *buffer, size_t size) const
    {
        const ssize_t n = m_fd < 0 ? -1 : ::pread(m_fd, buffer, size - 1, 0);
        buffer[std::max<ssize_t>(n, 0)] = 0;
        return n;
    }

private:
    int m_fd;
};

// The watcher's finished waits for a CPU (an ask's answer is timed by it).
class WatcherWaits {
public:
    [[nodiscard]] qint64 ns() const
    {
        char buffer[128];
        if (m_file.read(buffer, sizeof buffer) <= 0)
            return 0;
        const char *space = std::strchr(buffer, ' ');
        return space ? std::atoll(space + 1) : 0;
    }

private:
    KeptFile m_file{"/proc/thread-self/schedstat"};
};

// The CPU time all the worker's threads used, ended ones too, in nanoseconds (-1: unknown).
qint64 cpuOf(pid_t pid)
{
    clockid_t clock;
    timespec used{};
    if (::clock_getcpuclockid(pid, &clock) != 0 || ::clock_gettime(clock, &used) != 0)
        return -1;
    return qint64(used.tv_sec) * 1'000'000'000 + used.tv_nsec;
}

// What the watch tells of a worker at one look, since the wait began.
struct Account {
    qint64 waitedMs = 0;  // its waits for a CPU, and for the watcher's answers
    qint64 cpuMs = -1;    // the CPU time all its threads used (-1: unknown)
    bool disk = false;    // a task in uninterruptible sleep now: the disk, or paging
    bool runnable = false; // a task running or waiting for a CPU now
};

// The worker's time from outside. The scheduler adds a task's wait for a CPU to its account only
// when the wait ends, and a task that ends takes its account with it (a decoder may start and join
// a thread for each tile): so the watch also samples its tasks' states at moments it cannot
// foresee, and the time its tasks were runnable less the CPU time they used is time they were
// kept from a CPU. A thread that asks for a thread waits for the watcher's answer: what the
// watcher measured of that wait is the program's, once (never the time since its last sample: a
// decoder could time its asks to make its own sleep look like the program's).
class Watch {
public:
    explicit Watch(pid_t pid) : m_pid(pid), m_cpu(cpuOf(pid))
    {
        m_since.start();
        (void)read();
        for (Task &t : m_tasks)
            t.waitStart = t.wait;
    }

    [[nodiscard]] qint64 elapsed() const { return m_since.elapsed(); }
    // The CPU time all its threads used since the watch began (-1: unknown).
    [[nodiscard]] qint64 cpuNs() const
    {
        const qint64 now = cpuOf(m_pid);
        return m_cpu < 0 || now < 0 ? -1 : now - m_cpu;
    }

    // The tasks' states now, counted for the time since the last sample.
    void sample()
    {
        const qint64 now = m_since.nsecsElapsed();
        m_runnableNs += qint64(read().runnableTasks) * (now - m_sampledAt);
        m_sampledAt = now;
    }
    // An ask answered after it waited `ns` for the watcher, as the watcher measured it.
    void answered(qint64 ns) { m_answeringNs += ns; }
    [[nodiscard]] qint64 nowNs() const { return m_since.nsecsElapsed(); }

    Account look()
    {
        const State s = read();
        Account a;
        a.runnable = s.runnableTasks > 0;
        a.disk = s.disk;
        // Summed: tasks that waited side by side count each, so that the sum never falls short of
        // the time the worker was kept from running. One that ended keeps what was read of it.
        qint64 tasksNs = 0;
        for (const Task &t : m_tasks)
            tasksNs += t.wait - t.waitStart;
        const qint64 cpu = cpuNs();
        const qint64 sampledNs = cpu < 0 ? 0 : m_runnableNs - cpu;
        a.waitedMs = (std::max(tasksNs, sampledNs) + m_answeringNs) / 1'000'000;
        a.cpuMs = cpu < 0 ? -1 : cpu / 1'000'000;
        return a;
    }

private:
    struct Task {
        pid_t tid;
        qint64 wait = 0, waitStart = 0; // finished waits, now and when the watch began
    };
    struct State {
        int runnableTasks = 0;
        bool disk = false;
    };

    State read()
    {
        State s;
        for (const pid_t tid : tasksOf(m_pid)) {
            char path[96];
            std::snprintf(path, sizeof path, "/proc/%d/task/%d/schedstat", int(m_pid), int(tid));
            const auto stat = schedstat(path);
            const QList<QByteArray> fields = taskStat(m_pid, tid);
            if (!stat || fields.isEmpty())
                continue;
            s.runnableTasks += fields[0] == "R";
            s.disk = s.disk || fields[0] == "D";
            const auto same = [tid](const Task &t) { return t.tid == tid; };
            auto it = std::find_if(m_tasks.begin(), m_tasks.end(), same);
            if (it == m_tasks.end()) // a task begun since: all its waits count
                it = m_tasks.insert(m_tasks.end(), Task{tid});
            it->wait = stat->second;
        }
        return s;
    }

    pid_t m_pid;
    qint64 m_cpu;
    QElapsedTimer m_since;
    std::vector<Task> m_tasks;
    qint64 m_runnableNs = 0, m_sampledAt = 0, m_answeringNs = 0;
};

// The worker's threads, as its status counts them (INT_MAX when it cannot be read), read again
// and again through one descriptor: an ask waits while it is read.
class ThreadCount {
public:
    explicit ThreadCount(pid_t pid) : m_file(statusPath(pid).data()) {}
    [[nodiscard]] int now() const
    {
        char buffer[4096];
        const ssize_t n = m_file.read(buffer, sizeof buffer);
        const qint64 threads = n <= 0 ? -1 : statusField(QByteArray::fromRawData(buffer, n), "\nThreads:");
        return threads < 0 ? INT_MAX : int(threads);
    }

private:
    static std::array<char, 64> statusPath(pid_t pid)
    {
        std::array<char, 64> path{};
        std::snprintf(path.data(), path.size(), "/proc/%d/status", int(pid));
        return path;
    }
    KeptFile m_file;
};

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
bool grantThread(pid_t pid, const ThreadCount &threads, int listener, std::vector<pid_t> &asking, int most)
{
    seccomp_notif ask{};
    if (::ioctl(listener, SECCOMP_IOCTL_NOTIF_RECV, &ask) != 0)
        return true;
    asking.erase(std::remove(asking.begin(), asking.end(), pid_t(ask.pid)), asking.end());
    // The status first, which is one read; the tasks one by one only where it would refuse.
    const bool granted = qint64(threads.now()) + qint64(asking.size()) < most ||
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
    Watch watch(pid);
    const qint64 wall = std::max(1, wallMs), cap = 3 * wall;
    constexpr qint64 cancelEveryMs = 20;
    constexpr int tellMs = 5; // a running task's CPU time grows within it
    const qint64 again = std::max<qint64>(50, wall / 16);
    // Samples a few hundredths of a second apart, at random: a decoder cannot be runnable only
    // then. Taken only where the watcher's timer woke it, to the microsecond: one its asks woke
    // finds the asking thread waiting for the answer, and one taken after an answer finds it
    // running again; such a moment is passed over and its time left to the next sample.
    const auto sampleGap = [&watch] {
        return watch.nowNs() + QRandomGenerator::global()->bounded(10'000'000, 31'000'000);
    };
    const int slack = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    (void)::prctl(PR_SET_TIMERSLACK, 1, 0, 0, 0);
    const auto restoreSlack = qScopeGuard([slack] {
        if (slack > 0)
            (void)::prctl(PR_SET_TIMERSLACK, slack, 0, 0, 0);
    });
    qint64 due = wall, sampleAt = sampleGap();
    // What an ask waited for the watcher: the watcher's time out of poll since it last knew none
    // waited, its wait for a CPU as the ask woke it, and its answer.
    const WatcherWaits watcherWaits;
    const ThreadCount threads(pid);
    qint64 leftPoll = watch.nowNs(), outside = 0;
    const auto pollFor = [&](qint64 ns) {
        outside += watch.nowNs() - leftPoll;
        const qint64 waitedBefore = watcherWaits.ns();
        const timespec timeout{time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
        const int n = ::ppoll(p, p[1].fd >= 0 ? 2 : 1, &timeout, nullptr);
        leftPoll = watch.nowNs();
        if (n > 0 && p[1].fd >= 0 && (p[1].revents & POLLIN))
            outside += std::max<qint64>(0, watcherWaits.ns() - waitedBefore); // an ask waits
        else
            outside = 0;
        return n;
    };
    Listened out;
    for (;;) {
        qint64 wait = std::max<qint64>(0, std::min(due * 1'000'000, sampleAt) - watch.nowNs());
        if (cancelled)
            wait = std::min(wait, cancelEveryMs * 1'000'000);
        const int n = pollFor(wait);
        if (n < 0 && errno == EINTR)
            continue;
        if (watch.nowNs() >= sampleAt) {
            if (n == 0)
                watch.sample();
            sampleAt = sampleGap();
        }
        if (n > 0) {
            if (p[0].revents) {
                const qint64 cpu = watch.cpuNs();
                out.cpuMs = cpu < 0 ? -1 : cpu / 1'000'000;
                return out;
            }
            if (!(p[1].revents & POLLIN)) {
                p[1].fd = -1; // the worker's filter has gone: only its channel tells now
                continue;
            }
            const bool granted = grantThread(pid, threads, listener, asking, mostThreads);
            const qint64 answeredAt = watch.nowNs();
            watch.answered(outside + answeredAt - leftPoll);
            outside = 0, leftPoll = answeredAt;
            if (!granted && ++out.refused > mostRefusals)
                return out.heard = Heard::asking, out;
            continue;
        }
        if (cancelled && cancelled())
            return out.heard = Heard::cancelled, out;
        const qint64 elapsed = watch.elapsed();
        if (n == 0 && elapsed < due)
            continue; // woken to sample or to ask `cancelled`
        if (n < 0)
            return out.heard = Heard::starved, out;
        // The time it could have run: the wall clock less its waits for a CPU, the machine's.
        const Account a = watch.look();
        const qint64 mine = std::max<qint64>(0, elapsed - a.waitedMs);
        if (elapsed < cap && mine < wall) {
            due = std::min(cap, elapsed + (wall - mine));
            continue;
        }
        // On the disk or paging now: the machine's. Runnable now: running, or kept from a CPU by
        // a wait under way that its account does not hold yet (also the machine's), which its CPU
        // time standing still tells.
        bool machines = a.disk;
        if (!machines && a.runnable) {
            const qint64 before = watch.cpuNs();
            if (pollFor(tellMs * 1'000'000) != 0)
                continue; // its message or a thread ask first
            machines = before >= 0 && watch.cpuNs() == before;
        }
        // Past its own wall clock it used well under the time it could have run, however it
        // spread its work over that time: its own doing. One that uses its share is looked at
        // again; its CPU time's limit ends one that keeps that up.
        if (!machines && mine >= wall && a.cpuMs >= 0 && 2 * a.cpuMs < mine)
            return out.heard = Heard::blocked, out;
        if (elapsed >= cap)
            return out.heard = Heard::starved, out;
        due = std::min(cap, elapsed + again);
    }
}

qint64 refusedAsks()
{
    return refused;
}

} // namespace LWWorkerWatch
