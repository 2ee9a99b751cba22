#include "render/worker/workerspawn.h"

#include <QFile>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

class Starter {
public:
    static Starter &instance()
    {
        static Starter *s = new Starter; // never destroyed: its thread ends with the process
        return *s;
    }
    void run(const std::function<void()> &job)
    {
        std::unique_lock guard(m_lock);
        if (!m_started) {
            std::thread([this] { loop(); }).detach();
            m_started = true;
        }
        const quint64 ticket = ++m_asked;
        m_jobs.push_back(&job);
        m_wake.notify_all();
        m_done.wait(guard, [&] { return m_finished >= ticket; });
    }

private:
    void loop()
    {
        std::unique_lock guard(m_lock);
        for (;;) {
            m_wake.wait(guard, [&] { return !m_jobs.empty(); });
            const std::function<void()> *job = m_jobs.front();
            m_jobs.pop_front();
            guard.unlock();
            (*job)();
            guard.lock();
            ++m_finished;
            m_done.notify_all();
        }
    }
    std::mutex m_lock;
    std::condition_variable m_wake, m_done;
    std::deque<const std::function<void()> *> m_jobs;
    quint64 m_asked = 0, m_finished = 0;
    bool m_started = false;
};

LWWorkerSpawn::Spawned spawnHere(const QString &program)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0)
        return {-1, -1, errno};
    // The worker gets its end as descriptor 3, stdin and stdout from /dev/null and the
    // program's stderr for warnings; it closes anything else it inherits.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 3);
    const QByteArray path = program.toLocal8Bit();
    char *argv[] = {const_cast<char *>(path.constData()), nullptr};
    // Large blocks in huge pages where the system allows: a decoder's buffers are fresh memory
    // in a fresh process, and faulting them in page by page costs about a third of a decode. One
    // heap for its few threads: no other reserves address space beside its limit.
    std::vector<QByteArray> env;
    for (char **e = environ; *e; ++e)
        if (std::strncmp(*e, "GLIBC_TUNABLES=", 15) != 0)
            env.emplace_back(*e);
    env.emplace_back("GLIBC_TUNABLES=glibc.malloc.hugetlb=1:glibc.malloc.arena_max=1");
    std::vector<char *> envp;
    for (QByteArray &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, path.constData(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    if (failed != 0) {
        ::close(pair[0]);
        return {-1, -1, failed};
    }
    return {pid, pair[0], 0};
}

} // namespace

namespace LWWorkerSpawn {

Spawned spawn(const QString &program)
{
    Spawned s;
    Starter::instance().run([&] { s = spawnHere(program); });
    return s;
}

QByteArray stampOf(const QString &program)
{
    struct stat st{};
    if (::stat(QFile::encodeName(program).constData(), &st) != 0)
        return {};
    const qint64 fields[] = {qint64(st.st_ino), qint64(st.st_mode), qint64(st.st_size), qint64(st.st_mtim.tv_sec),
                             qint64(st.st_mtim.tv_nsec), qint64(st.st_ctim.tv_nsec)};
    return QByteArray(reinterpret_cast<const char *>(fields), sizeof(fields));
}

} // namespace LWWorkerSpawn
