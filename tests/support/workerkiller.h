#pragma once
// Ends this process's decode workers from a thread of its own, at many moments, as the system's
// memory killer or a crash would: the workers are its children named after the worker program,
// found through /proc.
#include <QByteArray>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <map>
#include <set>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

class LWWorkerKiller {
public:
    // The first `kills` workers seen, each ended `delaysUs[k % size]` after it was first seen (the
    // k-th seen's): before its hello, while it decodes, while it waits idle. Before each kill its
    // end of its channel is copied here and held until the killer ends, as a process forked
    // meanwhile would hold it (where the system lets this process reach another's descriptors).
    LWWorkerKiller(std::vector<int> delaysUs, int kills)
        : m_delays(std::move(delaysUs)), m_kills(kills), m_thread([this] { run(); })
    {
    }
    ~LWWorkerKiller() { stop(); }
    LWWorkerKiller(const LWWorkerKiller &) = delete;
    LWWorkerKiller &operator=(const LWWorkerKiller &) = delete;

    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        m_heldCount = int(m_held.size());
        for (const int fd : m_held)
            ::close(fd);
        m_held.clear();
    }
    [[nodiscard]] int killed() const { return m_killed; }
    // Channels held, once stopped.
    [[nodiscard]] int held() const { return m_heldCount; }

private:
    struct Seen {
        int pidfd;
        qint64 killAtUs;
    };
    static qint64 nowUs()
    {
        timespec t{};
        ::clock_gettime(CLOCK_MONOTONIC, &t);
        return qint64(t.tv_sec) * 1'000'000 + t.tv_nsec / 1000;
    }
    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly | QIODevice::Unbuffered) ? f.readAll() : QByteArray();
    }
    // This process's children that run the worker program; the tasks that started any are looked
    // at each time, every other task now and then.
    std::vector<pid_t> workers(bool everyTask)
    {
        std::set<pid_t> tasks = m_spawners;
        if (everyTask)
            for (const QString &t : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                tasks.insert(t.toInt());
        std::vector<pid_t> out;
        for (const pid_t tid : tasks)
            for (const QByteArray &child : read(QStringLiteral("/proc/self/task/%1/children").arg(tid)).split(' ')) {
                const pid_t pid = child.trimmed().toInt();
                if (pid > 0 && read(QStringLiteral("/proc/%1/comm").arg(pid)).startsWith("leafwrighter-de")) {
                    out.push_back(pid);
                    m_spawners.insert(tid);
                }
            }
        return out;
    }
    void run()
    {
        std::map<pid_t, Seen> seen;
        std::set<pid_t> done;
        for (int tick = 0; !m_stop && m_killed < m_kills; ++tick) {
            const qint64 now = nowUs();
            for (const pid_t pid : workers(tick % 20 == 0)) {
                if (done.count(pid) || seen.count(pid) || int(done.size() + seen.size()) >= m_kills)
                    continue;
                // Held from here: the pid names this process even once it has ended and been reaped.
                const int pidfd = int(::syscall(SYS_pidfd_open, pid, 0));
                if (pidfd >= 0)
                    seen[pid] = {pidfd, now + m_delays[(done.size() + seen.size()) % m_delays.size()]};
            }
            for (auto it = seen.begin(); it != seen.end();) {
                if (it->second.killAtUs > now) {
                    ++it;
                    continue;
                }
                const int channel = int(::syscall(SYS_pidfd_getfd, it->second.pidfd, 3, 0));
                if (channel >= 0)
                    m_held.push_back(channel);
                if (::syscall(SYS_pidfd_send_signal, it->second.pidfd, SIGKILL, nullptr, 0) == 0)
                    ++m_killed;
                ::close(it->second.pidfd);
                done.insert(it->first);
                it = seen.erase(it);
            }
            ::usleep(500);
        }
        for (const auto &[pid, s] : seen)
            ::close(s.pidfd);
    }

    std::vector<int> m_delays;
    int m_kills;
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_killed = 0;
    std::set<pid_t> m_spawners;
    std::vector<int> m_held;
    int m_heldCount = 0;
    std::thread m_thread;
};
