// A decode worker for tests only: the real worker's set-up and loop, whose decoder misbehaves as
// the picture's first bytes ask ("LWTEST crash", "LWTEST loop", ...). The program's own worker
// has no such words; a design's bytes reach this one only where a test starts it.
#include "render/worker/decodeprotocol.h"
#include "render/worker/decodeworker.h"
#include "render/worker/sanitizers.h"

#include <QImage>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {

namespace P = LWDecodeProtocol;
using LWPictureDecoder::Result;

constexpr int channel = 3;

bool crasher = false; // this worker took the test's crash-once flag

[[noreturn]] void silent()
{
    for (;;)
        ::pause();
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
        const int fd = P::makeMemfd("lie", 4096);
        (void)P::seal(fd);
        const P::Answer a = imageAnswer(30000);
        sendRaw(&a, sizeof(a), fd);
    } else if (how == "stride") {
        const int fd = P::makeMemfd("lie", 64 * 64 * 4);
        (void)P::seal(fd);
        P::Answer a = imageAnswer(64);
        a.bytesPerLine = 8;
        sendRaw(&a, sizeof(a), fd);
    } else if (how == "unsealed") { // may be shrunk under the program's feet
        const int fd = P::makeMemfd("open", 64 * 64 * 4);
        const P::Answer a = imageAnswer(64);
        sendRaw(&a, sizeof(a), fd);
    } else if (how == "nofd") {
        const P::Answer a = imageAnswer(64);
        sendRaw(&a, sizeof(a));
    } else if (how == "twofds") {
        const int fds[2] = {P::makeMemfd("a", 64 * 64 * 4), P::makeMemfd("b", 64 * 64 * 4)};
        for (const int fd : fds)
            (void)P::seal(fd);
        const P::Answer a = imageAnswer(64);
        sendRaw(&a, sizeof(a), fds);
    } else if (how == "hangup") {
        std::_Exit(0);
    }
    silent(); // "silent": never answers
}

// A plain green picture when the worker could neither open a file nor make a socket, red when it could.
Result reachOut(const QByteArray &path)
{
    const int file = ::open(path.constData(), O_RDONLY);
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(file < 0 && sock < 0 ? Qt::green : Qt::red);
    return {img, LWPictureDecoder::Failure::none, false};
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
    if (how == "crashonce")
        return LWPictureDecoder::decodeHere(bytes, request);
    if (how == "slow") { // a second and a quarter of CPU before it decodes (five under the sanitizers)
        timespec start{}, now{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
        do
            ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        while ((now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1'000'000 <
               (LWSanitizers::address ? 5000 : 1250));
        return LWPictureDecoder::decodeHere(bytes, request);
    }
    if (how == "killed") // as the system's memory killer ends a process
        ::raise(SIGKILL);
    if (how == "nopixels") { // the machine has no room for the answer: a file size limit fails its write
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{1 << 20, RLIM_INFINITY};
        (void)::setrlimit(RLIMIT_FSIZE, &small);
        QImage big(1024, 1024, QImage::Format_RGB32);
        big.fill(Qt::red);
        return {big, LWPictureDecoder::Failure::none, false};
    }
    if (how == "sleep") { // a slow decode: "sleep 2000" answers after two seconds
        ::usleep(useconds_t(words.split(' ').value(1).toInt()) * 1000);
        return LWPictureDecoder::decodeHere(bytes, request);
    }
    if (how == "throw")
        throw std::bad_alloc(); // as libheif does when it cannot allocate
    if (how == "loop") {
        volatile int spin = 0;
        while (spin == 0) {
        }
    }
    if (how == "allocate") {
        std::vector<char *> kept;
        for (;;) {
            char *block = static_cast<char *>(std::malloc(64 << 20));
            if (!block)
                return {std::nullopt, LWPictureDecoder::Failure::outOfMemory, false};
            std::memset(block, 1, 64 << 20);
            kept.push_back(block);
        }
    }
    if (how == "reach")
        return reachOut(words.mid(how.size() + 1));
    breakProtocol(how);
}

} // namespace

int main()
{
    // The first worker to remove the flag file crashes on "crashonce"; any other decodes it.
    if (const char *flag = std::getenv("LW_TEST_CRASH_ONCE"); flag && ::unlink(flag) == 0)
        crasher = true;
    LWDecodeWorker::prepare(channel);
    std::_Exit(LWDecodeWorker::serve(channel, misbehave));
}
