// A test program: sets itself up as a decode worker (LWDecodeWorker::prepare, the same set-up) and
// then acts as a decoder taken over by a crafted picture would.
//   lw-sandbox-probe <call> <folder> <layers> [<address>]: with the sandbox's layers (all, or one
//     alone: filter, landlock, root; nonamespaces: all on a system that refuses namespaces),
//     tries one call on the folder's files (or on the parent); exits 0 when refused, 1 when it
//     went through, 2 when the call is not on this machine, 3 when the set-up failed.
//   lw-sandbox-probe decode <cores> <picture>...: decodes each picture at two sizes, as on a
//     machine of that many cores, says "decoded N" on stdout and waits to be ended.
//   lw-sandbox-probe program <worker> <dies|quits>: as the program, has the worker decode a
//     picture (that loops, or a plain one), says the worker's pid on stdout, then ends at once
//     (dies) or ends its application object first and exits 0 when the worker is gone (quits).
#include "render/pictures/picturedecoder.h"
#include "render/worker/decodeworker.h"
#include "render/worker/decodeprotocol.h"
#include "render/worker/decodeworkers.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <cstddef>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>

#include <QFile>
#include <QThreadPool>
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
#include <sched.h>
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
#include <unistd.h>

namespace {

constexpr int channel = 3;

// As the program, for the worker set up here: a process that grants every thread the worker's
// filter asks for (its listener comes with the hello on `end`), until the worker ends.
void grantEveryThread(int end)
{
    if (::fork() != 0)
        return;
    (void)::prctl(PR_SET_PDEATHSIG, SIGKILL);
    LWDecodeProtocol::Hello hello;
    const std::optional<int> listener = LWDecodeProtocol::receive(end, &hello, sizeof(hello));
    while (listener && *listener >= 0) {
        seccomp_notif ask{};
        if (::ioctl(*listener, SECCOMP_IOCTL_NOTIF_RECV, &ask) != 0 && errno != EINTR && errno != ENOENT)
            break;
        seccomp_notif_resp answer{};
        answer.id = ask.id;
        answer.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
        (void)::ioctl(*listener, SECCOMP_IOCTL_NOTIF_SEND, &answer);
    }
    std::_Exit(0);
}

[[noreturn]] void decodeAll(int cores, int count, char **paths)
{
    if (cores <= 2) { // as on a machine of two cores
        cpu_set_t two;
        CPU_ZERO(&two);
        CPU_SET(0, &two);
        CPU_SET(1, &two);
        (void)::sched_setaffinity(0, sizeof(two), &two);
    } else { // as Qt sizes its pool on a machine of that many
        QThreadPool::globalInstance()->setMaxThreadCount(cores);
    }
    std::vector<QByteArray> pictures;
    for (int i = 0; i < count; ++i) {
        QFile f(QString::fromLocal8Bit(paths[i]));
        pictures.push_back(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray());
    }
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends) != 0 || ::dup2(ends[0], channel) != channel)
        std::_Exit(3);
    grantEveryThread(ends[1]);
    if (!LWDecodeWorker::prepare(channel) || !LWDecodeWorker::hello(channel, true))
        std::_Exit(3);
    int decoded = 0;
    for (const QByteArray &bytes : pictures)
        for (const int side : {0, 1500})
            decoded += LWPictureDecoder::decodeHere(bytes, {side, {0, 0, 1, 1}}).image.has_value();
    std::printf("decoded %d\n", decoded);
    std::fflush(stdout);
    for (;;)
        ::pause();
}

// As on a system that refuses namespaces.
void refuseNamespaces()
{
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_unshare, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{quint16(std::size(code)), code};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        std::_Exit(3);
}

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

// This process's child, once it has run for `ticks` of CPU (-1: any).
pid_t child(int ticks = -1)
{
    for (;;) {
        for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            const QList<QByteArray> fields = stat.open(QIODevice::ReadOnly) ? stat.readAll().split(' ') : QList<QByteArray>();
            if (fields.size() > 14 && fields[3].toInt() == ::getpid() && fields[13].toInt() + fields[14].toInt() >= ticks)
                return entry.toInt();
        }
        if (ticks < 0)
            return -1;
        ::usleep(10000);
    }
}

// As the program: a worker decodes a picture that loops (dies) or a plain one (quits).
int actAsTheProgram(int argc, char **argv)
{
    const bool dies = std::string(argv[3]) == "dies";
    std::optional<QCoreApplication> app(std::in_place, argc, argv);
    LWDecodeWorkers::setForTests(QString::fromLocal8Bit(argv[2]), 60, 60000);
    QImage plain(64, 64, QImage::Format_RGB32);
    plain.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    plain.save(&buffer, "png");
    if (dies) {
        std::thread([png] { (void)LWDecodeWorkers::decode(png + "LWTEST loop", {}, 64 * 64 * 4, QSize(64, 64)); }).detach();
        std::printf("%d\n", child(30)); // well into its loop, long set up
        std::fflush(stdout);
        std::_Exit(0);
    }
    if (!LWDecodeWorkers::decode(png, {}, 64 * 64 * 4, QSize(64, 64)).image)
        return 3;
    const pid_t worker = child();
    std::printf("%d\n", worker);
    std::fflush(stdout);
    app.reset();
    return worker > 0 && ::kill(worker, 0) != 0 ? 0 : 1; // ended and reaped
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
    if (call == "decode")
        decodeAll(std::atoi(argv[2]), argc - 3, argv + 3);
    if (call == "program" && argc == 4)
        return actAsTheProgram(argc, argv);
    if (argc < 4)
        return 2;
    const std::string dir = argv[2], layersAsked = argv[3];
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
        refuseNamespaces();
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
        {"memfd_create", [&] { return long(::memfd_create("lw-probe", 0)); }},
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
