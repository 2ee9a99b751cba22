// Picture bytes as a design file holds them: probed, sized and decoded at both sizes and in part
// in this process, as a decode worker decodes them, which must end soon within the decode limit
// whatever the bytes (libFuzzer's malloc limit catches any allocation past it). The worker's filter
// is installed at start, its refusals handed to a listener here: a call it refuses made while
// decoding (other than those the decoders do without) stops the run and names the call; every
// call still goes through, so libFuzzer and the sanitizers keep their files, reports and leak checks.
#include "model/image.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/picturedecoder.h"
#include "render/pictures/formats/jpegprobe.h"
#include "render/worker/decodeprotocol.h"
#include "render/worker/decodeworker.h"
#include "render/worker/workersandbox.h"

#include "guiapp.h"

#include <QDir>
#include <QFile>
#include <QThreadPool>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <vector>
#include <cstdlib>
#include <linux/seccomp.h>
#include <new>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Shared with the listener, a process of its own: the leak checker stops every thread of this one.
struct Shared {
    std::atomic<bool> decoding{false};
    pid_t others[32] = {}; // threads already running at start (Qt's own), which never decode
    std::atomic<long> refusedCall{-1}; // the first call the worker would have been refused while decoding
    std::atomic<long> firstArgument{0}, caller{0}; // its first argument and thread
};
Shared *shared = nullptr;

// A thread of the program (not a helper process of the sanitizers').
bool ours(pid_t tid)
{
    char path[64];
    std::snprintf(path, sizeof(path), "/proc/%d/task/%d", int(::getppid()), int(tid));
    return ::access(path, F_OK) == 0;
}

// Refusals the decoders do without: naming a thread.
bool doneWithout(const seccomp_data &d) { return d.nr == __NR_prctl && d.args[0] == PR_SET_NAME; }

// Lets every call through, noting the first one refused while decoding, until this program ends.
[[noreturn]] void listen(int listener)
{
    for (;;) {
        seccomp_notif n{};
        if (::ioctl(listener, SECCOMP_IOCTL_NOTIF_RECV, &n) != 0) {
            if (errno == EINTR || errno == ENOENT)
                continue;
            ::_exit(0);
        }
        long none = -1;
        if (shared->decoding && !doneWithout(n.data) &&
            std::find(std::begin(shared->others), std::end(shared->others), pid_t(n.pid)) == std::end(shared->others) &&
            ours(pid_t(n.pid)))
            if (shared->refusedCall.compare_exchange_strong(none, long(n.data.nr)))
                shared->firstArgument = long(n.data.args[0]), shared->caller = long(n.pid);
        seccomp_notif_resp r{};
        r.id = n.id;
        r.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
        (void)::ioctl(listener, SECCOMP_IOCTL_NOTIF_SEND, &r);
    }
}

// Installs the worker's filter with its refusals handed to a listener process started here.
void installListened()
{
    void *memory = ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    int pair[2];
    if (memory == MAP_FAILED || ::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair) != 0)
        std::abort();
    shared = new (memory) Shared;
    int i = 0;
    for (const QString &task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (task.toInt() != ::gettid() && i < 32)
            shared->others[i++] = task.toInt();
    if (::fork() == 0) { // makes only calls safe after a fork
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::close(pair[0]);
        int listener = -1;
        int fd[1];
        if (!LWDecodeProtocol::receive(pair[1], &listener, sizeof(listener), fd) || fd[0] < 0)
            ::_exit(1);
        listen(fd[0]);
    }
    ::close(pair[1]);
    const int listener = LWWorkerSandbox::install(pair[0], LWWorkerSandbox::Refusal::listened);
    if (listener < 0 || !LWDecodeProtocol::send(pair[0], &listener, sizeof(listener), listener)) {
        std::fprintf(stderr, "The decode worker's filter could not be installed.\n");
        std::abort();
    }
    ::close(listener);
}

void decodeAsTheWorker(const QByteArray &bytes, const LWPictureDecoder::Request &request)
{
    // Rows handed out must be the image begun, whole rows of it, no more of them than it has;
    // rows written where they stand upright must stay within the image's memory.
    QSize size;
    int rows = 0;
    std::vector<uchar> canvas;
    const LWPictureDecoder::RowsOut out{[&](QSize s) { return size = s, !s.isEmpty(); },
                                        [&](const uchar *first, int count, qsizetype stride) {
                                            if (count < 0 || count > size.height() - rows ||
                                                stride < qsizetype(size.width()) * 4)
                                                std::abort();
                                            volatile uchar last = first[(count - 1) * stride + size.width() * 4 - 1];
                                            (void)last;
                                            rows += count;
                                            return true;
                                        },
                                        [&](QSize s, qsizetype *stride) -> uchar * {
                                            if (s.isEmpty() || !canvas.empty())
                                                std::abort();
                                            size = s, rows = s.height();
                                            canvas.resize(size_t(s.width()) * 4 * size_t(s.height()));
                                            *stride = qsizetype(s.width()) * 4;
                                            return canvas.data();
                                        }};
    shared->decoding = true;
    const LWPictureDecoder::Result r = LWPictureDecoder::decodeHere(bytes, request, out);
    if (r.handedOut && rows != size.height())
        std::abort();
    shared->decoding = false;
    if (const long nr = shared->refusedCall.exchange(-1); nr >= 0) {
        QFile name(QStringLiteral("/proc/self/task/%1/comm").arg(shared->caller.load()));
        const QByteArray thread = name.open(QIODevice::ReadOnly) ? name.readAll().trimmed() : QByteArray();
        std::fprintf(stderr, "A decode made call %ld (first argument %ld, thread %s), which the worker's filter refuses.\n", nr,
                     shared->firstArgument.load(), thread.constData());
        std::abort();
    }
}

} // namespace

// The sanitizers' report begins: its calls are its own.
extern "C" void __asan_on_error()
{
    if (shared)
        shared->decoding = false;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***argv)
{
    startGuiApplication(*argv); // Qt's image readers need one
    // Every input is a new picture: keep none of them.
    (void)LWImageCache::setBudget({0, 0});
    // A few bytes may rightly declare a picture as large as the budget (a GIF's canvas of 300 MP),
    // whose decode costs what a real one costs: seconds under the sanitizers, three times an
    // input. A smaller budget keeps every input quick; the decoders' paths stay the same.
    (void)LWDecodeBudget::setLimit(qint64(256) << 20);
    LWDecodeWorker::loadReaders(); // as the worker, before its filter, which refuses new threads
    LWDecodeWorker::startThreads();
    installListened();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LWImage picture = LWImage::empty(); // a new asset id each time
    picture.data = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)LWPictureDecoder::headerHere(*picture.data); // what a worker answers the program
    (void)LWJpegProbe::passable(*picture.data);
    (void)LWImageCache::pixelSize(picture);
    decodeAsTheWorker(*picture.data, {LWImageCache::previewMaxPixels, {0, 0, 1, 1}});
    decodeAsTheWorker(*picture.data, {0, {0, 0, 1, 1}});
    decodeAsTheWorker(*picture.data, {0, {0.25, 0.5, 0.5, 0.25}});
    return 0;
}
