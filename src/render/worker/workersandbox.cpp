#include "render/worker/workersandbox.h"
#include "render/worker/sanitizers.h"

#include <QtGlobal>
#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <initializer_list>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/capability.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <csignal>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>
#include <type_traits>
#include <vector>

namespace {

#if defined(__x86_64__)
constexpr quint32 thisArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr quint32 thisArch = AUDIT_ARCH_AARCH64;
#else
constexpr quint32 thisArch = 0; // call numbers never checked here: no filter, so no decoding
#endif

bool alone_ = false; // its tasks counted apart from every other process's

constexpr quint32 allowed = SECCOMP_RET_ALLOW;
constexpr int seccompSignal = 1; // a SIGSYS's si_code when the filter trapped the call (SYS_SECCOMP)
constexpr quint32 killed = SECCOMP_RET_KILL_PROCESS;
constexpr quint32 fails(int error) { return SECCOMP_RET_ERRNO | (quint32(error) & SECCOMP_RET_DATA); }

// The low half of a call's argument (little-endian): every argument checked is an int or flags
// the kernel reads as 32 bits.
constexpr quint32 argument(int i) { return quint32(offsetof(seccomp_data, args) + 8 * size_t(i)); }

// The flags glibc's threads are made with; a new process or namespace is refused.
constexpr quint32 threadFlags = CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_SIGHAND | CLONE_THREAD | CLONE_SYSVSEM |
                                CLONE_SETTLS | CLONE_PARENT_SETTID | CLONE_CHILD_CLEARTID;

// A filter made of one block per call: compared with the call's number, then the block's checks,
// each path ending in an action.
class Filter {
public:
    explicit Filter(quint32 refused) : m_refused(refused)
    {
        m_code = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, thisArch, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, killed),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            // x32 calls on x86-64 (numbers from 2^30) are another table: never legitimate here.
            BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000u, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, killed),
        };
    }

    void always(long nr, quint32 action) { block(nr, {ret(action)}); }
    void allow(std::initializer_list<long> calls)
    {
        for (const long nr : calls)
            always(nr, allowed);
    }
    // Allowed when argument `i` is one of `values` (and, where given, argument `null` is 0, all
    // 64 bits: a pointer not passed).
    void allowWhenIn(long nr, int i, std::initializer_list<quint32> values, int null = -1)
    {
        std::vector<sock_filter> b = {load(i)};
        const quint8 n = quint8(values.size());
        quint8 k = 0;
        for (const quint32 v : values)
            b.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, v, quint8(n - k++), 0));
        b.push_back(ret(m_refused));
        b.push_back(ret(allowed));
        if (null >= 0) {
            const quint8 toRefused = quint8(b.size() - 2);
            b.insert(b.begin(), {load(null), BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, quint8(toRefused + 2)),
                                 loadHigh(null), BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, toRefused)});
        }
        block(nr, b);
    }
    // Allowed when argument `i` has none of the bits of `mask` (and, where given, all of `needed`).
    // (With `action` instead of allowing.)
    void allowWithout(long nr, int i, quint32 mask, quint32 needed = 0, quint32 action = allowed)
    {
        if (needed == 0)
            return block(nr, {load(i), BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, mask, 1, 0), ret(action), ret(m_refused)});
        block(nr, {load(i), BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, mask, 2, 0),
                   BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, needed, 0, 1), ret(action), ret(m_refused)});
    }

    [[nodiscard]] sock_fprog program()
    {
        m_code.push_back(ret(m_refused));
        return {quint16(m_code.size()), m_code.data()};
    }

private:
    static sock_filter ret(quint32 action) { return BPF_STMT(BPF_RET | BPF_K, action); }
    static sock_filter load(int i) { return BPF_STMT(BPF_LD | BPF_W | BPF_ABS, argument(i)); }
    static sock_filter loadHigh(int i) { return BPF_STMT(BPF_LD | BPF_W | BPF_ABS, argument(i) + 4); }
    void block(long nr, const std::vector<sock_filter> &body)
    {
        m_code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, quint32(nr), 0, quint8(body.size())));
        m_code.insert(m_code.end(), body.begin(), body.end());
    }

    quint32 m_refused;
    std::vector<sock_filter> m_code;
};

// glibc's fstat is newfstatat(fd, "", buf, AT_EMPTY_PATH), and the kernel follows a path given
// beside that flag: the filter traps the call, and only an empty path is answered, as fstat.
void answerStat(int, siginfo_t *info, void *context)
{
    const int saved = errno;
    auto *uc = static_cast<ucontext_t *>(context);
#if defined(__x86_64__)
    greg_t *r = uc->uc_mcontext.gregs;
    const long fd = long(r[REG_RDI]), flags = long(r[REG_R10]);
    const auto *path = reinterpret_cast<const char *>(r[REG_RSI]);
    void *buffer = reinterpret_cast<void *>(r[REG_RDX]);
    greg_t *result = &r[REG_RAX];
#elif defined(__aarch64__)
    auto *r = uc->uc_mcontext.regs;
    const long fd = long(r[0]), flags = long(r[3]);
    const auto *path = reinterpret_cast<const char *>(r[1]);
    void *buffer = reinterpret_cast<void *>(r[2]);
    auto *result = &r[0];
#endif
#if defined(__x86_64__) || defined(__aarch64__)
    long answer = -EPERM;
    if (info->si_code == seccompSignal && info->si_syscall == __NR_newfstatat && fd >= 0 && (flags & AT_EMPTY_PATH) &&
        path && path[0] == '\0') {
        answer = ::syscall(__NR_fstat, fd, buffer);
        if (answer < 0)
            answer = -errno;
    }
    *result = std::remove_pointer_t<decltype(result)>(answer);
#else
    (void)info, (void)uc;
#endif
    errno = saved;
}

// Landlock with every file and network access handled and none granted, and signals and abstract
// sockets kept within the worker: as much as the kernel's version knows. Applies to the calling
// thread and those it starts.
bool applyLandlock()
{
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1)
        return false;
    struct {
        quint64 fs, net, scoped;
    } attr{};
    attr.fs = (quint64(1) << (abi >= 5 ? 16 : abi >= 3 ? 15 : abi >= 2 ? 14 : 13)) - 1;
    attr.net = abi >= 4 ? 3 : 0;    // binding and connecting TCP
    attr.scoped = abi >= 6 ? 3 : 0; // abstract unix sockets and signals
    const size_t size = abi >= 6 ? 24 : abi >= 4 ? 16 : 8;
    const int ruleset = int(::syscall(SYS_landlock_create_ruleset, &attr, size, 0));
    if (ruleset < 0)
        return false;
    const bool done = ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    ::close(ruleset);
    return done;
}

} // namespace

namespace LWWorkerSandbox {

bool isolate()
{
    const bool root = ::getuid() == 0; // whose tasks no task limit counts, also in a user namespace
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET | CLONE_NEWNS) == 0) {
        alone_ = !root;
        return true;
    }
    // Root where user namespaces are refused may still have the others.
    return ::unshare(CLONE_NEWNET | CLONE_NEWNS) == 0;
}

bool emptyRoot()
{
    // Nothing mounted here reaches the machine's mounts.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    // An empty read-only filesystem over a folder every system has, made the root; the machine's
    // root, stacked on it by pivot_root, let go.
    for (const char *at : {"/tmp", "/proc", "/dev"}) {
        if (::mount("lw-empty", at, "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC | MS_RDONLY, "size=4k,nr_inodes=2,mode=0555") != 0)
            continue;
        return ::chdir(at) == 0 && ::syscall(SYS_pivot_root, ".", ".") == 0 && ::umount2(".", MNT_DETACH) == 0 &&
               ::chdir("/") == 0;
    }
    return false;
}

bool restrictSelf(bool withLandlock)
{
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    (void)::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0); // no core, no /proc/<pid>/mem for the user's processes
    // Root's capabilities, where no user namespace of its own took them, let go.
    (void)::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[2] = {};
    (void)::syscall(SYS_capset, &header, none);
    if (withLandlock)
        (void)applyLandlock();
    return true;
}

bool alone() { return alone_; }

int install(int channel, Refusal refusal)
{
    if constexpr (thisArch == 0)
        return -1;
    const bool listened = refusal == Refusal::listened;
    Filter f(listened ? SECCOMP_RET_USER_NOTIF : fails(EPERM));
    const quint32 self = quint32(::getpid());
    f.allow({
        // The descriptors it holds: the channel, the memfds it is handed, stderr. Opening or making
        // one (a memfd: memory past its limits) is refused.
        __NR_read, __NR_write, __NR_readv, __NR_writev, __NR_pread64, __NR_pwrite64, __NR_preadv, __NR_pwritev,
        __NR_lseek, __NR_close, __NR_eventfd2, __NR_ppoll, __NR_fstat,
#ifdef __NR_poll
        __NR_poll,
#endif
        // Memory, its threads' locks, time, random bytes, signals, exit.
        __NR_brk, __NR_munmap, __NR_mremap, __NR_madvise, __NR_futex, __NR_set_robust_list, __NR_rseq,
        __NR_sched_yield, __NR_nanosleep, __NR_clock_nanosleep, __NR_clock_gettime, __NR_clock_getres,
        __NR_gettimeofday, __NR_getrandom, __NR_getpid, __NR_gettid, __NR_getrusage, __NR_setitimer, __NR_sysinfo,
        __NR_rt_sigreturn,
        __NR_rt_sigaction, __NR_rt_sigprocmask, __NR_sigaltstack, __NR_restart_syscall, __NR_exit, __NR_exit_group,
    });
    // The sanitizers test whether memory can be read by writing it into a pipe of their own.
    if constexpr (LWSanitizers::address)
        f.allow({__NR_pipe2});
    if (listened) { // the fuzz target keeps its files: only a decoder's calls matter there
        f.allowWhenIn(__NR_newfstatat, 3, {AT_EMPTY_PATH});
    } else {
        struct sigaction trapped{};
        trapped.sa_sigaction = answerStat;
        trapped.sa_flags = SA_SIGINFO | SA_NODEFER;
        if (::sigaction(SIGSYS, &trapped, nullptr) != 0)
            return -1;
        f.always(__NR_newfstatat, SECCOMP_RET_TRAP);
    }
    f.allowWithout(__NR_mmap, 2, PROT_EXEC);
    f.allowWithout(__NR_mprotect, 2, PROT_EXEC);
    // A thread, never a process or namespace; each asked of the program, which counts them (the
    // listener), a few at most.
    f.allowWithout(__NR_clone, 0, ~threadFlags, CLONE_THREAD, listened ? allowed : SECCOMP_RET_USER_NOTIF);
    f.always(__NR_clone3, fails(ENOSYS)); // its flags are behind a pointer: glibc falls back to clone
    // The core count, hidden: the decoders then use one thread on any machine. As missing, not
    // refused: glibc then still describes a thread (pthread_getattr_np, which the sanitizers need).
    f.always(__NR_sched_getaffinity, fails(ENOSYS));
    f.allowWhenIn(__NR_sendmsg, 0, {quint32(channel)});
    f.allowWhenIn(__NR_recvmsg, 0, {quint32(channel)});
    // Seals and descriptor flags; never the owner or signal of a descriptor, leases or locks.
    f.allowWhenIn(__NR_fcntl, 1, {F_GETFD, F_SETFD, F_GETFL, F_ADD_SEALS, F_GET_SEALS});
    // Reading its own limits (glibc's getrlimit), never setting them: the program sets them for
    // each request, from outside.
    f.allowWhenIn(__NR_prlimit64, 0, {0, self}, 2);
    f.allowWhenIn(__NR_kill, 0, {self});
    f.allowWhenIn(__NR_tgkill, 0, {self});
    if (listened)
        f.allowWhenIn(__NR_ioctl, 1, {quint32(SECCOMP_IOCTL_NOTIF_RECV), quint32(SECCOMP_IOCTL_NOTIF_SEND)});
    else // what no decoder ever does: reading or writing another process, running a program
        for (const long nr : {long(__NR_execve), long(__NR_execveat), long(__NR_ptrace), long(__NR_process_vm_readv),
                              long(__NR_process_vm_writev), long(__NR_pidfd_getfd)})
            f.always(nr, killed);
    // Everything else (paths, files, sockets, other processes, namespaces, ioctls) is refused.
    sock_fprog program = f.program();
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return -1;
    const unsigned flags =
        SECCOMP_FILTER_FLAG_TSYNC | SECCOMP_FILTER_FLAG_TSYNC_ESRCH | SECCOMP_FILTER_FLAG_NEW_LISTENER;
    const long got = ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, flags, &program);
    return got < 0 ? -1 : int(got);
}

} // namespace LWWorkerSandbox
