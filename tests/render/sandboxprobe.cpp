// A test program: sets itself up as a decode worker (LWDecodeWorker::prepare, the same set-up) and
// then acts as a decoder taken over by a crafted picture would.
//   lw-sandbox-probe <call> <folder> <layers> [<address>]: with the sandbox's layers (all, or one
//     alone: filter, landlock, root; nonamespaces: all on a system that refuses namespaces),
//     tries one call on the folder's files (or on the parent); exits 0 when refused, 1 when it
//     went through, 2 when the call is not on this machine, 3 when the set-up failed.
//   lw-sandbox-probe program <worker> <dies|quits>: as the program, has the worker decode a
//     picture that loops, says the worker's pid on stdout and ends at once (dies), or a plain one,
//     ends its application object and exits 0 when no worker is left (quits).
#include "render/worker/decodeworker.h"
#include "render/worker/decodeworkers.h"
#include "support/refusedcall.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <optional>
#include <sys/mman.h>
#include <thread>

#include <QFile>
#include <csignal>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/bpf.h>
#include <linux/keyctl.h>
#include <linux/openat2.h>
#include <linux/perf_event.h>
#include <map>
#include <string>
#include <sys/mount.h>
#include <sys/personality.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int channel = 3;


// chmod through the 32-bit table (int 0x80), whose call numbers mean other calls in the 64-bit one.
long chmod32([[maybe_unused]] const char *path)
{
#if defined(__x86_64__)
    long got;
    asm volatile("int $0x80" : "=a"(got) : "a"(15L), "b"(path), "c"(0777L) : "memory");
    return got;
#else
    std::_Exit(2);
#endif
}

// Whether this machine runs 32-bit calls at all: some hypervisors fault on int 0x80 before any
// call is made, sandbox or not.
bool runs32BitCalls()
{
#if defined(__x86_64__)
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGSEGV, SIG_DFL); // a sanitizer's handler would exit 1 after its report
        long got;
        asm volatile("int $0x80" : "=a"(got) : "a"(20L) : "memory"); // getpid
        std::_Exit(got > 0 ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
#else
    return false;
#endif
}

// This process's child, once it has run for a third of a second.
pid_t loopingChild()
{
    for (;;) {
        for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            const QList<QByteArray> fields = stat.open(QIODevice::ReadOnly) ? stat.readAll().split(' ') : QList<QByteArray>();
            if (fields.size() > 14 && fields[3].toInt() == ::getpid() && fields[13].toInt() + fields[14].toInt() >= 30)
                return entry.toInt();
        }
        ::usleep(10000);
    }
}

// As the program: a worker decodes a picture that loops (dies: its pid said, then ended at once)
// or a plain one (quits: exits 0 when no worker is left once the application object ended).
int actAsTheProgram(int argc, char **argv)
{
    std::optional<QCoreApplication> app(std::in_place, argc, argv);
    LWDecodeWorkers::setForTests(QString::fromLocal8Bit(argv[2]), 60, 60000);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImage(64, 64, QImage::Format_RGB32).save(&buffer, "png");
    if (std::string(argv[3]) == "dies") {
        std::thread([png] { (void)LWDecodeWorkers::decode(png + "LWTEST loop", {}, 64 * 64 * 4, QSize(64, 64)); }).detach();
        std::printf("%d\n", loopingChild());
        std::fflush(stdout);
        std::_Exit(0);
    }
    const bool decoded = LWDecodeWorkers::decode(png, {}, 64 * 64 * 4, QSize(64, 64)).image.has_value();
    app.reset();
    return decoded && LWDecodeWorkers::stats().running == 0 ? 0 : 1;
}

sockaddr_un abstractAddress()
{
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strcpy(a.sun_path + 1, "lw-sandbox-probe");
    return a;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const std::string call = argv[1];
    if (call == "program" && argc == 4)
        return actAsTheProgram(argc, argv);
    if (argc < 4)
        return 2;
    const std::string dir = argv[2], layersAsked = argv[3];
    if (call == "chmod32" && !runs32BitCalls())
        return 2;
    const char *address = argc > 4 ? argv[4] : "0";
    namespace S = LWWorkerSandbox;
    const std::map<std::string, unsigned> layerNames = {
        {"all", S::allLayers}, {"nonamespaces", S::allLayers}, {"filter", S::filter}, {"landlock", S::landlock}, {"root", S::ownRoot}};
    const auto layers = layerNames.find(layersAsked);
    if (layers == layerNames.end())
        return 2;
    const auto at = [&](const char *name) { return dir + "/" + name; };
    const pid_t parent = ::getppid();
    // Descriptors 0 to 2 outlive the set-up: a socket pair (sendmsg), an unconnected socket and a
    // listening one (connect), the parent's pidfd (pidfd_getfd); stderr an inherited file.
    int pair[2];
    (void)::socketpair(AF_UNIX, SOCK_STREAM, 0, pair);
    (void)::dup2(pair[0], 0);
    (void)::dup2(pair[1], 1);
    if (call == "connect") {
        const sockaddr_un a = abstractAddress();
        const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
        (void)::bind(listening, reinterpret_cast<const sockaddr *>(&a), sizeof(a));
        (void)::listen(listening, 1);
        (void)::dup2(::socket(AF_UNIX, SOCK_STREAM, 0), 0);
        (void)::dup2(listening, 1);
    }
    if (call == "pidfd_getfd")
        (void)::dup2(int(::syscall(SYS_pidfd_open, parent, 0)), 1);
    (void)::dup2(::open(at("inherited.txt").c_str(), O_RDWR), 2);
    // Its data and CPU soft limits below the hard ones, which a taken-over decoder would raise.
    for (const auto resource : {RLIMIT_DATA, RLIMIT_CPU}) {
        rlimit r{};
        (void)::getrlimit(resource, &r);
        r.rlim_cur = std::min(r.rlim_cur, r.rlim_max - 1);
        (void)::setrlimit(resource, &r);
    }
    int pairChannel[2];
    (void)::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pairChannel);
    (void)::dup2(pairChannel[0], channel);
    // Where a 32-bit call can reach it.
    auto *low = static_cast<char *>(::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0));
    if (low == MAP_FAILED)
        std::_Exit(3);
    std::strncpy(low, at("design.velkfolio").c_str(), 4095);
    if (layersAsked == "nonamespaces")
        refuseCall(__NR_unshare, EPERM); // as on a system that refuses namespaces
    if (!LWDecodeWorker::prepare(channel, layers->second))
        std::_Exit(3);

    const std::string design = at("design.velkfolio"), photo = at("photo.jpg"), note = at("note.txt");
    const timeval never[2] = {};
    const std::map<std::string, std::function<long()>> calls = {
#ifdef SYS_open
        {"open", [&] { return long(::open(design.c_str(), O_RDWR)); }},
#endif
#ifdef SYS_creat
        {"creat", [&] { return long(::creat(at("new.txt").c_str(), 0644)); }},
#endif
        {"openat", [&] { return long(::openat(AT_FDCWD, design.c_str(), O_RDONLY)); }},
        {"openat2",
         [&] {
             open_how how{};
             how.flags = O_RDONLY;
             return ::syscall(SYS_openat2, AT_FDCWD, design.c_str(), &how, sizeof(how));
         }},
        {"truncate", [&] { return long(::truncate(design.c_str(), 0)); }},
        {"ftruncate", [&] { return long(::ftruncate(2, 0)); }},
        {"unlink", [&] { return long(::unlink(photo.c_str())); }},
        {"unlinkat", [&] { return long(::unlinkat(AT_FDCWD, photo.c_str(), 0)); }},
        {"rename", [&] { return long(::rename(note.c_str(), at("renamed.txt").c_str())); }},
        {"link", [&] { return long(::link(design.c_str(), at("linked").c_str())); }},
        {"symlink", [&] { return long(::symlink(design.c_str(), at("symlinked").c_str())); }},
        {"chmod", [&] { return long(::chmod(design.c_str(), 0)); }},
        {"chmod32", [&] { return chmod32(low); }},
        {"stat", [&] {
             struct stat st{};
             return ::syscall(SYS_newfstatat, AT_FDCWD, design.c_str(), &st, AT_EMPTY_PATH);
         }},
        {"fstat", [&] {
             struct stat st{};
             return long(::fstat(channel, &st)) == 0 && S_ISSOCK(st.st_mode) ? 0L : -1L;
         }},
        {"fork", [&] {
             const pid_t child = ::fork();
             if (child == 0)
                 std::_Exit(0);
             return long(child);
         }},
        {"chown", [&] { return long(::chown(design.c_str(), 1234, 1234)); }},
        {"utimes", [&] { return long(::utimes(design.c_str(), never)); }},
        {"mkdir", [&] { return long(::mkdir(at("made").c_str(), 0755)); }},
        {"kill", [&] { return long(::kill(parent, 0)); }},
        {"tgkill", [&] { return ::syscall(SYS_tgkill, parent, parent, 0); }},
        {"pidfd_open", [&] { return ::syscall(SYS_pidfd_open, parent, 0); }},
        {"pidfd_getfd", [&] { return ::syscall(SYS_pidfd_getfd, 1, 2, 0); }},
        {"ptrace", [&] { return long(::ptrace(PTRACE_SEIZE, parent, nullptr, nullptr)); }},
        {"process_vm_writev",
         [&] {
             char word[] = "overwritten";
             const iovec local{word, sizeof(word) - 1};
             const iovec remote{reinterpret_cast<void *>(std::strtoull(address, nullptr, 16)), sizeof(word) - 1};
             return long(::process_vm_writev(parent, &local, 1, &remote, 1, 0));
         }},
        {"socket", [&] { return long(::socket(AF_INET, SOCK_STREAM, 0)); }},
        {"socketpair",
         [&] {
             int sv[2];
             return long(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv));
         }},
        {"connect",
         [&] {
             const sockaddr_un a = abstractAddress();
             return long(::connect(0, reinterpret_cast<const sockaddr *>(&a), sizeof(a)));
         }},
        {"sendmsg",
         [&] {
             char word[] = "x";
             iovec io{word, 1};
             msghdr m{};
             m.msg_iov = &io;
             m.msg_iovlen = 1;
             return long(::sendmsg(0, &m, 0));
         }},
        {"execve",
         [&] {
             char *args[] = {const_cast<char *>("/bin/true"), nullptr};
             return long(::execve("/bin/true", args, nullptr));
         }},
        {"personality", [&] { return long(::personality(ADDR_NO_RANDOMIZE)) == -1 ? -1L : 0L; }},
        {"prctl", [&] { return long(::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0)); }},
        {"bpf",
         [&] {
             bpf_attr attr{};
             attr.map_type = BPF_MAP_TYPE_ARRAY;
             attr.key_size = 4;
             attr.value_size = 4;
             attr.max_entries = 1;
             return ::syscall(SYS_bpf, BPF_MAP_CREATE, &attr, sizeof(attr));
         }},
        {"userfaultfd", [&] { return ::syscall(SYS_userfaultfd, 0); }},
        {"perf_event_open",
         [&] {
             perf_event_attr attr{};
             attr.type = PERF_TYPE_SOFTWARE;
             attr.size = sizeof(attr);
             attr.config = PERF_COUNT_SW_CPU_CLOCK;
             return ::syscall(SYS_perf_event_open, &attr, 0, -1, -1, 0);
         }},
        {"keyctl", [&] { return ::syscall(SYS_keyctl, KEYCTL_GET_KEYRING_ID, KEY_SPEC_SESSION_KEYRING, 1); }},
        {"mount", [&] { return long(::mount("none", dir.c_str(), "tmpfs", 0, nullptr)); }},
        {"unshare", [&] { return long(::unshare(CLONE_NEWNS)); }},
        {"setrlimit",
         [&] {
             rlimit r{};
             return ::getrlimit(RLIMIT_DATA, &r) != 0 ? 0L : (r.rlim_cur = r.rlim_max, long(::setrlimit(RLIMIT_DATA, &r)));
         }},
        {"prlimit",
         [&] {
             rlimit r{};
             return ::prlimit(::getpid(), RLIMIT_CPU, nullptr, &r) != 0
                        ? 0L
                        : (r.rlim_cur = r.rlim_max, long(::prlimit(::getpid(), RLIMIT_CPU, &r, nullptr)));
         }},
        {"getrlimit",
         [&] {
             rlimit r{};
             return long(::getrlimit(RLIMIT_DATA, &r)) == 0 && r.rlim_cur < r.rlim_max ? 0L : -1L;
         }},
    };
    const auto found = calls.find(call);
    // Straight out, as the worker: exit handlers (the leak checker's) are refused what they need.
    std::_Exit(found == calls.end() ? 2 : found->second() < 0 ? 0 : 1);
}
