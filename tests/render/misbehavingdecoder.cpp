// A decode worker for tests only: the real worker's set-up and loop, whose decoder misbehaves as
// the picture's first bytes ask ("LWTEST crash", "LWTEST loop", ...). The program's own worker
// has no such words; a design's bytes reach this one only where a test starts it.
#include "render/worker/decodeprotocol.h"
#include "render/worker/decodeworker.h"
#include "render/worker/decodeworkers.h"
#include "render/worker/sanitizers.h"
#include "support/refusedcall.h"

#include <QElapsedTimer>
#include <QImage>
#include <algorithm>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <thread>
#include <sys/stat.h>
#include <csignal>
#include <cstddef>
#include <sys/syscall.h>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <ctime>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace P = LWDecodeProtocol;
using LWPictureDecoder::Result;

constexpr int channel = 3;

bool crasher = false; // this worker took the test's crash-once flag
bool cramped = false; // this worker took the test's cramped-once flag
bool refuser = false; // this worker took the test's refused-once flag

// Leaves almost no room under the worker's data limit (mapped, never touched), as a decoder's
// heap kept from earlier decodes would: the decode that follows is refused memory.
void fillDataLimit()
{
    for (size_t size = size_t(1) << 34; size >= (size_t(1) << 22); size /= 2)
        while (::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1,
                      0) != MAP_FAILED) {
        }
}

[[noreturn]] void silent()
{
    for (;;) // asleep (the filter refuses pause)
        ::sleep(3600);
}

// Busy for `ms` of CPU time.
void spin(int ms)
{
    timespec start{}, now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
    do
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    while ((now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1'000'000 < ms);
}

// The memfd the program handed for the answer: the only one the worker holds while it decodes.
int handedMemfd()
{
    for (int fd = channel + 1; fd < 64; ++fd)
        if (::fcntl(fd, F_GET_SEALS) >= 0)
            return fd;
    return -1;
}

// The answer's memfd, `size` bytes written at its start and sealed, then closed (the answer
// carries none); -1 on failure.
int memfdOf(qint64 size, const void *data = nullptr, int fd = handedMemfd())
{
    static const std::vector<char> zeros(1 << 20);
    for (qint64 at = 0; at < size;) {
        const qint64 n = std::min<qint64>(size - at, qint64(zeros.size()));
        const char *from = data ? static_cast<const char *>(data) + at : zeros.data();
        if (::pwrite(fd, from, size_t(n), off_t(at)) != ssize_t(n))
            return ::close(fd), -1;
        at += n;
    }
    (void)P::seal(fd);
    return ::close(fd), -1;
}

void sendRaw(const void *data, int size, int fd = -1) { (void)P::send(channel, data, size, fd); }
void sendRaw(const void *data, int size, std::span<const int> fds) { (void)P::send(channel, data, size, fds); }

// An answer describing an image of `side` x `side` ARGB32 pixels in `fd`.
P::Answer imageAnswer(int side)
{
    P::Answer a;
    a.width = a.height = side;
    a.bytesPerLine = side * 4;
    a.format = int(QImage::Format_ARGB32);
    return a;
}

// Answers against the protocol, then waits to be ended.
[[noreturn]] void breakProtocol(const QByteArray &how)
{
    if (how == "garbage") {
        sendRaw("not an answer at all, just words", 32);
    } else if (how == "short") {
        const P::Answer a;
        sendRaw(&a, 6);
    } else if (how == "magic") {
        P::Answer a;
        a.magic = 0xDEADBEEF;
        sendRaw(&a, sizeof(a));
    } else if (how == "failure") {
        P::Answer a;
        a.failure = 77;
        sendRaw(&a, sizeof(a));
    } else if (how == "lengths") { // a huge image in a page of memory
        const int fd = memfdOf(4096);
        const P::Answer a = imageAnswer(30000);
        sendRaw(&a, sizeof(a), fd);
    } else if (how == "stride") {
        const int fd = memfdOf(64 * 64 * 4);
        P::Answer a = imageAnswer(64);
        a.bytesPerLine = 8;
        sendRaw(&a, sizeof(a), fd);
    } else if (how == "unsealed") { // may be shrunk under the program's feet
        const int fd = handedMemfd();
        for (int row = 0; row < 64; ++row)
            (void)::write(fd, std::vector<char>(64 * 4).data(), 64 * 4);
        const P::Answer a = imageAnswer(64);
        sendRaw(&a, sizeof(a));
    } else if (how == "nofd") {
        const P::Answer a = imageAnswer(64);
        sendRaw(&a, sizeof(a));
    } else if (how == "twofds") {
        const int fds[2] = {handedMemfd(), handedMemfd()};
        const P::Answer a = imageAnswer(64);
        sendRaw(&a, sizeof(a), fds);
    } else if (how == "hangup") {
        std::_Exit(0);
    }
    silent(); // "silent": never answers
}

// The picture decoded as asked, answered with one thing changed: its size ("bigger", 4000 x 4000;
// "smaller", half each way, well within the reservation),
// its format ("format", 30 bits a channel), its memfd one page ("smallfd") or 64 MB ("bigfd").
[[noreturn]] void answerAltered(const QByteArray &how, const QByteArray &bytes, const LWPictureDecoder::Request &request)
{
    const QImage img = LWPictureDecoder::decodeHere(bytes, request).image->convertToFormat(QImage::Format_ARGB32);
    P::Answer a = imageAnswer(img.width());
    a.height = img.height();
    qint64 size = img.sizeInBytes();
    if (how == "bigger")
        a.width = a.height = 4000, a.bytesPerLine = 4000 * 4, size = qint64(4000) * 4000 * 4;
    if (how == "smaller") // its first rows, half as wide
        a.width /= 2, a.height /= 2, a.bytesPerLine = a.width * 4, size = qint64(a.height) * a.bytesPerLine;
    if (how == "format") // as many bytes, in a format no decode hands over
        a.format = int(QImage::Format_A2BGR30_Premultiplied);
    if (how == "smallfd")
        size = 4096;
    if (how == "bigfd")
        size = 64 << 20;
    const int fd = memfdOf(size, how == "bigger" || how == "bigfd" ? nullptr : img.constBits());
    sendRaw(&a, sizeof(a), fd);
    silent();
}

// Takes the loop over, as a decoder taken over could: each decode answered "out of memory" (never
// held against a picture) with every memfd it was handed kept, the answer's filled to its end.
[[noreturn]] void hoard()
{
    static const std::vector<char> junk(1 << 20, 'x');
    for (int in = -1, out = handedMemfd();;) {
        for (off_t at = 0; out >= 0 && ::pwrite(out, junk.data(), junk.size(), at) > 0;
             at += off_t(junk.size())) {
        }
        P::Answer a;
        a.failure = int(LWPictureDecoder::Failure::outOfMemory);
        sendRaw(&a, sizeof(a));
        P::Ask ask;
        int fds[2] = {in, out};
        if (!P::receive(channel, &ask, sizeof(ask), fds))
            std::_Exit(0);
        in = fds[0], out = fds[1];
    }
}

// A plain green picture when what the words try was refused, red when it went through: a file
// opened or examined, or a socket made ("reach <path>"); a gigabyte of shared memory ("shared"),
// a memfd made or the one handed grown past its size or to a gigabyte ("memfd"), threads past the
// worker's count ("threads"); one thread started and joined for each of 5,000 tiles ("tiles N": N
// of them), as an HEVC decoder does, red when one was refused ("tiles").
Result refusedOrNot(const QByteArray &how, const QByteArray &argument, const QByteArray &bytes,
                    const LWPictureDecoder::Request &request)
{
    bool through = false;
    if (how == "reach") {
        struct stat st{};
        through = ::open(argument.constData(), O_RDONLY) >= 0 || ::socket(AF_INET, SOCK_STREAM, 0) >= 0 ||
                  ::syscall(SYS_newfstatat, AT_FDCWD, argument.constData(), &st, AT_EMPTY_PATH) == 0;
    } else if (how == "shared") {
        through = ::mmap(nullptr, size_t(1) << 30, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0) != MAP_FAILED;
    } else if (how == "memfd") {
        struct stat st{}; // past the size the program gave it, within its file-size limit
        through = ::memfd_create("lw-more", 0) >= 0 || ::pwrite(handedMemfd(), "x", 1, off_t(1) << 30) == 1 ||
                  (::fstat(handedMemfd(), &st) == 0 && ::pwrite(handedMemfd(), "x", 1, st.st_size + 4096) == 1);
    } else if (how == "threads") { // each left waiting: the worker is not used again
        pthread_attr_t small; // its stacks well within its memory limit
        ::pthread_attr_init(&small);
        ::pthread_attr_setstacksize(&small, 64 << 10);
        int made = 0;
        for (pthread_t t; made < 64 && ::pthread_create(&t, &small, [](void *) -> void * { return ::sleep(3600), nullptr; }, nullptr) == 0;)
            ++made;
        through = 1 + LWDecodeWorker::qtThreads + made > LWDecodeWorker::mostThreads;
    } else if (how == "tiles") { // within its count: refused (red) only if an ended thread is counted
        const int tiles = argument.isEmpty() ? 5000 : argument.toInt();
        for (int tile = 0; tile < tiles && !through; ++tile) {
            pthread_t t;
            through = ::pthread_create(&t, nullptr, [](void *) -> void * { return nullptr; }, nullptr) != 0 ||
                      ::pthread_join(t, nullptr) != 0;
        }
    }
    Result r = LWPictureDecoder::decodeHere(bytes, request); // at the size asked
    r.image->fill(through ? Qt::red : Qt::green);
    return r;
}

Result misbehave(const QByteArray &bytes, const LWPictureDecoder::Request &request)
{
    // The words follow the picture's own bytes, which the program checked.
    const qsizetype at = bytes.indexOf("LWTEST ");
    if (at < 0)
        return LWPictureDecoder::decodeHere(bytes, request);
    const QByteArray words = bytes.mid(at + 7);
    const QByteArray how = words.split(' ').value(0);
    if (how == "crash" || (how == "crashonce" && crasher))
        ::raise(SIGSEGV);
    if (how == "crashonce" || how == "headersleep" || how == "headerspinsleep" ||
        (how == "refusedonce" && !refuser))
        return LWPictureDecoder::decodeHere(bytes, request);
    if (how == "slow") { // a second and a quarter of CPU before it decodes (five under the sanitizers)
        spin(LWSanitizers::address ? 5000 : 1250);
        return LWPictureDecoder::decodeHere(bytes, request);
    }
    if (how == "tilework") { // "tilework 400": 400 ms of CPU in a thread started and joined for each 2 ms
        for (int done = 0; done < words.split(' ').value(1).toInt(); done += 2) {
            pthread_t t;
            if (::pthread_create(&t, nullptr, [](void *) -> void * { return spin(2), nullptr; }, nullptr) == 0)
                ::pthread_join(t, nullptr);
        }
        return LWPictureDecoder::decodeHere(bytes, request);
    }
    if (how == "spinsleep") { // "spinsleep 600": busy for 600 ms of CPU, then asleep for good
        spin(words.split(' ').value(1).toInt());
        silent();
    }
    if (how == "refusedonce" && refuser) { // a thread refused, then a sound failure
        pthread_t t[LWDecodeWorker::mostThreads];
        int made = 0;
        while (made < LWDecodeWorker::mostThreads &&
               ::pthread_create(&t[made], nullptr, [](void *) -> void * { return ::usleep(20000), nullptr; },
                                nullptr) == 0)
            ++made;
        while (made > 0)
            ::pthread_join(t[--made], nullptr);
        return {std::nullopt, LWPictureDecoder::Failure::unreadable, false};
    }
    if (how == "keepshared") { // shared anonymous memory kept past a sound failure
        void *kept = ::mmap(nullptr, 1 << 20, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (kept != MAP_FAILED)
            std::memset(kept, 1, 1 << 20);
        return {std::nullopt, LWPictureDecoder::Failure::unreadable, false};
    }
    if (how == "sealshrink") { // the answer's memfd sealed against the program freeing it
        const int fd = handedMemfd();
        (void)::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK);
        ::close(fd);
        return {std::nullopt, LWPictureDecoder::Failure::unreadable, false};
    }
    if (how == "killed") // as the system's memory killer ends a process
        ::raise(SIGKILL);
    if (how == "nopixels") { // the machine has no room for the answer: its memfd takes no write
        ::close(handedMemfd());
        QImage big(1024, 1024, QImage::Format_RGB32);
        big.fill(Qt::red);
        return {big, LWPictureDecoder::Failure::none, false};
    }
    if (how == "dodge") { // "dodge 4000": busy only about each moment a 4-s wall clock's watch once looked
        const long wall = words.split(' ').value(1).toLong(), step = std::max(50L, wall / 16);
        QElapsedTimer since;
        since.start();
        for (long at = wall;; at += step) {
            ::usleep(useconds_t(std::max<qint64>(0, at - 40 - since.elapsed())) * 1000);
            while (since.elapsed() < at + 40) {
            }
        }
    }
    if (how == "sampledodge") { // "sampledodge 20": busy only about each moment a watch that
        // looked every 20 ms since the decode began would look, asleep between
        const qint64 gapUs = words.split(' ').value(1).toLongLong() * 1000;
        QElapsedTimer since;
        since.start();
        for (qint64 k = 1;; ++k) {
            const qint64 at = k * gapUs;
            ::usleep(useconds_t(std::max<qint64>(0, at - 1500 - since.nsecsElapsed() / 1000)));
            while (since.nsecsElapsed() / 1000 < at + 2500) {
            }
        }
    }
    if (how == "sleep") { // a slow decode: "sleep 2000" answers after two seconds
        ::usleep(useconds_t(words.split(' ').value(1).toInt()) * 1000);
        return LWPictureDecoder::decodeHere(bytes, request);
    }
    if (how == "hoard")
        hoard();
    if (how == "rhythm") { // "rhythm 300 untimed": never answers; asks for a thread that ends at
        // once, joins it and sleeps 300 us, again and again (its exact CPU timer stopped if asked)
        if (words.split(' ').contains("untimed")) {
            const itimerval stopped{};
            (void)::setitimer(ITIMER_PROF, &stopped, nullptr);
        }
        for (const useconds_t gap = useconds_t(words.split(' ').value(1).toInt());;) {
            pthread_t t;
            if (::pthread_create(&t, nullptr, [](void *) -> void * { return nullptr; }, nullptr) == 0)
                ::pthread_join(t, nullptr);
            ::usleep(gap);
        }
    }
    if (how == "threadloop") // asks again whatever it is told
        for (pthread_t t;;)
            (void)::pthread_create(
                &t, nullptr, [](void *) -> void * { return ::sleep(3600), nullptr; }, nullptr);
    if (how == "throw")
        throw std::bad_alloc(); // as libheif does when it cannot allocate
    if (how == "stubborn") { // past its CPU time it carries on: only the hard limit ends it
        (void)::signal(SIGXCPU, SIG_IGN);
        (void)::signal(SIGPROF, SIG_IGN);
    }
    if (how == "untimed" || how == "stubborn") { // its exact timer stopped: the program's CPU limit still ends it
        const itimerval stopped{};
        (void)::setitimer(ITIMER_PROF, &stopped, nullptr);
    }
    if (how == "loop" || how == "untimed" || how == "stubborn") {
        volatile int spin = 0;
        while (spin == 0) {
        }
    }
    if (how == "raise") { // its data limit raised to the hard one; past its limit, should that work
        rlimit data{};
        (void)::getrlimit(RLIMIT_DATA, &data);
        data.rlim_cur = data.rlim_max;
        (void)::setrlimit(RLIMIT_DATA, &data);
    }
    if (how == "allocate" || how == "raise") {
        std::vector<char *> kept;
        // Blocks past a small picture's limit, also on its second go with ample room.
        const int most = int((LWDecodeWorkers::ampleRoom(0) + LWDecodeWorkers::memoryMargin) >> 26) + 2;
        for (int n = 0; how == "allocate" || n < most; ++n) {
            char *block = static_cast<char *>(std::malloc(64 << 20));
            if (!block)
                return {std::nullopt, LWPictureDecoder::Failure::outOfMemory, false};
            std::memset(block, 1, 64 << 20);
            kept.push_back(block);
        }
        for (char *block : kept) // past its limit: the picture, as if nothing had stopped it
            std::free(block);
        return LWPictureDecoder::decodeHere(bytes.left(at), request);
    }
    if (how == "bigger" || how == "smaller" || how == "format" || how == "smallfd" || how == "bigfd")
        answerAltered(how, bytes.left(at), request);
    if (how == "reach" || how == "shared" || how == "memfd" || how == "threads" ||
        how == "tiles")
        return refusedOrNot(how, words.mid(how.size() + 1), bytes.left(at), request);
    breakProtocol(how);
}


} // namespace

int main()
{
    // The first worker to remove the flag file crashes on "crashonce"; any other decodes it.
    if (const char *flag = std::getenv("LW_TEST_CRASH_ONCE"); flag && ::unlink(flag) == 0)
        crasher = true;
    // The first worker to remove this one decodes its first picture with no room left.
    if (const char *flag = std::getenv("LW_TEST_CRAMPED_ONCE"); flag && ::unlink(flag) == 0)
        cramped = !LWSanitizers::address; // no data limit there
    // The first worker to remove this one (and where a data limit is set, the first to remove it
    // with "2" after it) is refused a thread in its decode, then fails it.
    if (const char *flag = std::getenv("LW_TEST_REFUSED_ONCE"))
        refuser = ::unlink(flag) == 0 ||
                  (!LWSanitizers::address && ::unlink((QByteArray(flag) + "2").constData()) == 0);
    // Asleep before its hello until this file is there.
    if (const char *after = std::getenv("LW_TEST_HELLO_AFTER"))
        while (::access(after, F_OK) != 0)
            ::usleep(10000);

    // A thread of its own in uninterruptible sleep (a vfork's wait) for its life, as when paging.
    static char stack[64 << 10];
    if (std::getenv("LW_TEST_DISK"))
        std::thread([] {
            const auto child = [](void *) { return ::prctl(PR_SET_PDEATHSIG, SIGKILL), ::pause(); };
            (void)::clone(child, stack + sizeof stack, CLONE_VM | CLONE_VFORK | SIGCHLD, nullptr);
        }).detach();
    // As on a system whose kernel refuses the filter.
    if (std::getenv("LW_TEST_NO_FILTER"))
        refuseCall(__NR_seccomp, EINVAL);
    const bool confined = LWDecodeWorker::prepare(channel);
    // Every image made whole: some of its misdeeds alter the image.
    const auto decode = [](const QByteArray &bytes, const LWPictureDecoder::Request &request,
                           const LWPictureDecoder::RowsOut &) {
        if (std::exchange(cramped, false))
            fillDataLimit();
        return misbehave(bytes, request);
    };
    // "headersleep 1500": its header answered after a second and a half; "headerloop": never;
    // "headerspinsleep 1100": busy for 1.1 s of CPU, then asleep for good.
    const auto header = [](const QByteArray &bytes) {
        if (const qsizetype at = bytes.indexOf("LWTEST headersleep "); at >= 0)
            ::usleep(useconds_t(bytes.mid(at + 19).split(' ').value(0).toInt()) * 1000);
        if (const qsizetype at = bytes.indexOf("LWTEST headerspinsleep "); at >= 0)
            spin(bytes.mid(at + 23).split(' ').value(0).toInt()), silent();
        for (volatile bool spin = bytes.contains("LWTEST headerloop"); spin;) {
        }
        return LWPictureDecoder::headerHere(bytes);
    };
    std::_Exit(LWDecodeWorker::serve(channel, decode, confined, header));
}
