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
#include <memory>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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
    // Its links (-1: unknown); a process's task folder has two more than the process has threads.
    [[nodiscard]] qint64 links() const
    {
        struct stat st{};
        return m_fd >= 0 && ::fstat(m_fd, &st) == 0 ? qint64(st.st_nlink) : -1;
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
// foresee. A task runnable at a sample is not yet kept from a CPU: the watcher's wake took the CPU
// it ran on, or it woke while the watcher looked; one that has still not run a moment after the
// watcher left the CPU is, for the time the sample stands for. A thread that asks for a thread
// waits for the watcher's answer: what the watcher measured of that wait is the program's, once
// (never the time since its last sample: a decoder could time its asks to make its own sleep look
// like the program's).
class Watch {
public:
    explicit Watch(pid_t pid) : m_pid(pid), m_cpu(cpuOf(pid))
    {
        m_since.start();
        (void)read();
        for (const std::unique_ptr<Task> &t : m_tasks)
            t->waitStart = t->wait;
    }

    [[nodiscard]] qint64 elapsed() const { return m_since.elapsed(); }
    // The CPU time all its threads used since the watch began (-1: unknown).
    [[nodiscard]] qint64 cpuNs() const
    {
        const qint64 now = cpuOf(m_pid);
        return m_cpu < 0 || now < 0 ? -1 : now - m_cpu;
    }

    // The tasks' states at a sample due at `due`, standing for the time since the last sample. A
    // task found runnable is looked at again `followUpNs` later: kept from a CPU if it has not run
    // since, has ended, or ran after a wait begun before the sample was due; not where its wait
    // began after that (the watcher's own wake took its CPU, or it woke while the watcher looked).
    void sample(qint64 due)
    {
        const qint64 now = m_since.nsecsElapsed();
        (void)read();
        m_pending.clear();
        for (const std::unique_ptr<Task> &t : m_tasks)
            if (t->state == 'R')
                m_pending.push_back({t->tid, t->cpu, t->runs, t->wait});
        m_pendingNs = now - m_sampledAt;
        m_sampledAt = now;
        m_pendingDue = std::min(due, now);
        m_followUpAt = m_pending.empty() ? -1 : now + followUpNs;
    }
    [[nodiscard]] qint64 followUpAt() const { return m_followUpAt; }
    void followUp()
    {
        const qint64 since = m_since.nsecsElapsed() - m_pendingDue;
        for (const Pending &p : m_pending) {
            const auto same = [&p](const std::unique_ptr<Task> &t) { return t->tid == p.tid; };
            const auto it = std::find_if(m_tasks.begin(), m_tasks.end(), same);
            if (it == m_tasks.end()) { // ended and put away since
                m_endedWaitNs += m_pendingNs;
                continue;
            }
            Task &t = **it;
            bool kept = !t.readState();
            if (!kept) {
                t.readWait();
                kept = (t.runs == p.runs && t.cpu == p.cpu) || t.wait - p.wait > since;
            }
            t.kept += kept ? m_pendingNs : 0;
        }
        m_pending.clear();
        m_followUpAt = -1;
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
        // the time the worker was kept from running. Each its finished waits or, where more, what
        // the samples found (a wait under way, or after its last read); one that ended keeps them.
        qint64 tasksNs = m_endedWaitNs;
        for (const std::unique_ptr<Task> &t : m_tasks)
            tasksNs += t->waited();
        const qint64 cpu = cpuNs();
        a.waitedMs = (tasksNs + m_answeringNs) / 1'000'000;
        a.cpuMs = cpu < 0 ? -1 : cpu / 1'000'000;
        return a;
    }

private:
    // A task's state letter and finished waits, read through descriptors kept while it lives: the
    // states are read first and at once, so that a look hardly lets a sleeping task wake first.
    struct Task {
        Task(pid_t pid, pid_t tid)
            : tid(tid), stat(path(pid, tid, "stat").data()), sched(path(pid, tid, "schedstat").data())
        {
        }
        pid_t tid;
        KeptFile stat, sched;
        qint64 wait = 0, waitStart = 0; // finished waits, now and when the watch began
        qint64 cpu = 0, runs = 0;       // its CPU time as last booked; the times it got a CPU
        qint64 kept = 0;                // the time samples found it kept from a CPU
        [[nodiscard]] qint64 waited() const { return std::max(wait - waitStart, kept); }
        char state = 0;                 // 0: ended (or unreadable)
        [[nodiscard]] char readState()
        {
            char buffer[512];
            const ssize_t n = stat.read(buffer, sizeof buffer);
            const char *close = n > 0 ? std::strrchr(buffer, ')') : nullptr;
            return state = close && close[1] == ' ' ? close[2] : 0;
        }
        void readWait()
        {
            char buffer[128];
            long long fields[3] = {};
            if (sched.read(buffer, sizeof buffer) > 0 &&
                std::sscanf(buffer, "%lld %lld %lld", &fields[0], &fields[1], &fields[2]) == 3)
                cpu = fields[0], wait = fields[1], runs = fields[2];
        }
        static std::array<char, 96> path(pid_t pid, pid_t tid, const char *file)
        {
            std::array<char, 96> p{};
            std::snprintf(p.data(), p.size(), "/proc/%d/task/%d/%s", int(pid), int(tid), file);
            return p;
        }
    };
    struct State {
        int runnableTasks = 0;
        bool disk = false;
    };

    State read()
    {
        State s;
        const auto count = [&s](char state) {
            s.runnableTasks += state == 'R';
            s.disk = s.disk || state == 'D';
        };
        for (const std::unique_ptr<Task> &t : m_tasks)
            count(t->readState());
        // Those ended give up their descriptors and keep what was read of their waits.
        for (auto it = m_tasks.begin(); it != m_tasks.end();)
            if ((*it)->state == 0)
                m_endedWaitNs += (*it)->waited(), it = m_tasks.erase(it);
            else
                (*it++)->readWait();
        for (const pid_t tid : tasksOf(m_pid)) {
            const auto same = [tid](const std::unique_ptr<Task> &t) { return t->tid == tid; };
            if (std::any_of(m_tasks.begin(), m_tasks.end(), same))
                continue;
            auto task = std::make_unique<Task>(m_pid, tid); // begun since: all its waits count
            if (!task->readState())
                continue;
            count(task->state);
            task->readWait();
            m_tasks.push_back(std::move(task));
        }
        return s;
    }

    pid_t m_pid;
    qint64 m_cpu;
    QElapsedTimer m_since;
    std::vector<std::unique_ptr<Task>> m_tasks;
    qint64 m_endedWaitNs = 0;
    struct Pending {
        pid_t tid;
        qint64 cpu, runs, wait;
    };
    static constexpr qint64 followUpNs = 200'000;
    std::vector<Pending> m_pending;
    qint64 m_pendingNs = 0, m_pendingDue = 0, m_followUpAt = -1;
    qint64 m_sampledAt = 0, m_answeringNs = 0;
};

// The worker's threads, as the kernel counts them (INT_MAX when they cannot be read), told again
// and again through kept descriptors: an ask waits while they are counted. Its task folder's
// links tell at once; its status, which takes far longer to make, only where they do not agree.
class ThreadCount {
public:
    explicit ThreadCount(pid_t pid)
        : m_status(path(pid, "status").data()), m_tasks(path(pid, "task").data())
    {
        const qint64 links = m_tasks.links();
        m_byLinks = links > 2 && links - 2 == fromStatus();
    }
    [[nodiscard]] int now() const
    {
        if (m_byLinks)
            if (const qint64 links = m_tasks.links(); links > 2)
                return int(std::min<qint64>(links - 2, INT_MAX));
        return fromStatus();
    }

private:
    [[nodiscard]] int fromStatus() const
    {
        char buffer[4096];
        const ssize_t n = m_status.read(buffer, sizeof buffer);
        const qint64 threads = n <= 0 ? -1 : statusField(QByteArray::fromRawData(buffer, n), "\nThreads:");
        return threads < 0 ? INT_MAX : int(threads);
    }
    static std::array<char, 64> path(pid_t pid, const char *file)
    {
        std::array<char, 64> p{};
        std::snprintf(p.data(), p.size(), "/proc/%d/%s", int(pid), file);
        return p;
    }
    KeptFile m_status, m_tasks;
    bool m_byLinks = false;
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
// False when it refused one. `answering` is set to when the answer went: the ask waited until then
// (a worker woken by the answer may take the CPU from the watcher; that is its own time).
bool grantThread(pid_t pid, const ThreadCount &threads, int listener, std::vector<pid_t> &asking, int most,
                 const Watch &watch, qint64 &answering)
{
    seccomp_notif ask{};
    answering = watch.nowNs();
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
    answering = watch.nowNs();
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
    // The process itself, watched apart from its channel: the channel ends only once every process
    // holding its far end has let go of it.
    const int process = int(::syscall(SYS_pidfd_open, pid, 0));
    if (process < 0 && errno == ESRCH)
        return {};
    const auto closing = qScopeGuard([process] {
        if (process >= 0)
            ::close(process);
    });
    pollfd p[3] = {{channel, POLLIN, 0}, {process, POLLIN, 0}, {listener, POLLIN, 0}};
    Watch watch(pid);
    const qint64 wall = std::max(1, wallMs), cap = 3 * wall;
    constexpr qint64 cancelEveryMs = 20;
    constexpr int tellMs = 5; // a running task's CPU time grows within it
    const qint64 again = std::max<qint64>(50, wall / 16);
    // Samples a few hundredths of a second apart, at random: a decoder cannot be runnable only
    // then. Taken as the watcher's timer wakes it, to the microsecond, before any ask that came
    // then is answered (the asking thread sleeps until it is).
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
    // What an ask waited for the watcher: where it came while the watcher was out of poll (the
    // watcher did not sleep in it), that time since it last knew none waited; its wait for a CPU
    // as the ask woke it; and its answer, until it went.
    const WatcherWaits watcherWaits;
    const ThreadCount threads(pid);
    qint64 leftPoll = watch.nowNs(), outside = 0;
    const auto sleeps = [] {
        rusage r{};
        return ::getrusage(RUSAGE_THREAD, &r) == 0 ? qint64(r.ru_nvcsw) : -1;
    };
    const auto pollFor = [&](qint64 ns) {
        outside += watch.nowNs() - leftPoll;
        const qint64 waitedBefore = watcherWaits.ns(), sleptBefore = sleeps();
        const timespec timeout{time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
        const int n = ::ppoll(p, p[2].fd >= 0 ? 3 : 2, &timeout, nullptr);
        leftPoll = watch.nowNs();
        if (n > 0 && p[2].fd >= 0 && (p[2].revents & POLLIN)) { // an ask waits
            if (sleptBefore < 0 || sleeps() != sleptBefore)
                outside = 0; // it came while the watcher slept
            outside += std::max<qint64>(0, watcherWaits.ns() - waitedBefore);
        } else {
            outside = 0;
        }
        return n;
    };
    Listened out;
    for (;;) {
        qint64 next = std::min(due * 1'000'000, sampleAt);
        if (watch.followUpAt() >= 0)
            next = std::min(next, watch.followUpAt());
        qint64 wait = std::max<qint64>(0, next - watch.nowNs());
        if (cancelled)
            wait = std::min(wait, cancelEveryMs * 1'000'000);
        const int n = pollFor(wait);
        if (n < 0 && errno == EINTR)
            continue;
        if (watch.followUpAt() >= 0 && watch.nowNs() >= watch.followUpAt())
            watch.followUp();
        if (watch.nowNs() >= sampleAt) {
            watch.sample(sampleAt);
            sampleAt = sampleGap();
        }
        if (n > 0) {
            if (p[0].revents || p[1].revents) {
                const qint64 cpu = watch.cpuNs();
                out.cpuMs = cpu < 0 ? -1 : cpu / 1'000'000;
                return out;
            }
            if (!(p[2].revents & POLLIN)) {
                p[2].fd = -1; // the worker's filter has gone: only its channel tells now
                continue;
            }
            qint64 answeredAt = 0;
            const bool granted = grantThread(pid, threads, listener, asking, mostThreads, watch, answeredAt);
            watch.answered(outside + answeredAt - leftPoll);
            outside = 0, leftPoll = watch.nowNs();
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
