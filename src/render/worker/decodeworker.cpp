#include "render/worker/decodeworker.h"

#include "render/worker/decodeprotocol.h"
#include "render/worker/sanitizers.h"
#include "render/worker/workersandbox.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QSemaphore>
#include <QThreadPool>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <libheif/heif.h>
#include <limits>
#include <utility>
#include <pthread.h>
#include <csignal>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

namespace P = LWDecodeProtocol;
using LWPictureDecoder::Failure;

int threadListener = -1; // the filter's, until handed to the program

bool answer(int channel, const P::Answer &a) { return P::send(channel, &a, sizeof(a), -1); }

bool writeAll(int fd, const uchar *data, qint64 size, qint64 at)
{
    for (qint64 done = 0; done < size;) {
        const ssize_t n = ::pwrite(fd, data + done, size_t(size - done), off_t(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The image's pixels, its colour table and profile written at the start of the answer's memfd
// `out`, sealed; false when that fails. Lets go of the image.
bool imageOut(std::optional<QImage> &image, P::Answer &a, int out)
{
    const QImage &img = *image;
    const QList<QRgb> table = img.colorTable();
    const int colours = img.format() == QImage::Format_Indexed8 ? 256 : img.depth() == 1 ? 2 : 0;
    const QByteArray icc = img.colorSpace().isValid() ? img.colorSpace().iccProfile() : QByteArray();
    a.width = img.width();
    a.height = img.height();
    a.format = int(img.format());
    a.dotsPerMeterX = img.dotsPerMeterX();
    a.dotsPerMeterY = img.dotsPerMeterY();
    a.iccBytes = icc.size();
    // Rows padded past what the program takes go at the image's own width, one by one.
    const qsizetype line = img.bytesPerLine();
    const qsizetype narrow = (qsizetype(img.width()) * img.depth() + 31) / 32 * 4;
    const bool narrowed = line > (qsizetype(img.width()) * img.depth() + 7) / 8 + P::rowPadding;
    a.bytesPerLine = int(narrowed ? narrow : line);
    const qint64 pixels = qint64(a.bytesPerLine) * img.height();
    QByteArray after(colours * qsizetype(sizeof(QRgb)), '\0');
    for (int i = 0; i < colours; ++i) {
        const QRgb c = table.value(i, 0);
        std::memcpy(after.data() + i * sizeof(QRgb), &c, sizeof(QRgb));
    }
    after += icc;
    // Written, not copied through a mapping: the kernel fills the new pages without a fault each
    // (faulting in fresh shared pages cost more than the copy).
    bool written = true;
    if (narrowed)
        for (int y = 0; y < img.height() && written; ++y)
            written = writeAll(out, img.constScanLine(y), narrow, qint64(y) * narrow);
    else
        written = writeAll(out, img.constBits(), pixels, 0);
    image.reset();
    return written && writeAll(out, reinterpret_cast<const uchar *>(after.constData()), after.size(), pixels) &&
           P::seal(out);
}

// Rows handed out by a decode, written as they come into the memfd of the answer: a large part
// is never held in the worker's own memory, whose fresh pages cost more than the rows.
class RowsToMemfd {
public:
    explicit RowsToMemfd(int out) : m_out(out) {}
    ~RowsToMemfd() { unmap(); }
    // Unmaps the memfd: the worker holds no more of it once it is closed.
    void unmap()
    {
        if (m_mapped)
            ::munmap(m_mapped, m_mappedBytes);
        m_mapped = nullptr;
    }
    LWPictureDecoder::RowsOut out()
    {
        return {[this](QSize size) { return begin(size); },
                [this](const uchar *first, int count, qsizetype stride) { return rows(first, count, stride); },
                [this](QSize size, qsizetype *stride) { return canvas(size, stride); }};
    }
    // Every row in the memfd, sealed, its answer filled in; false when rows are missing or it fails.
    bool finish(P::Answer &a)
    {
        if (m_mapped)
            m_rows = m_size.height(); // a decode that did not fill it failed and is not answered so
        unmap();
        if (m_fd < 0 || m_rows != m_size.height() || !P::seal(m_fd))
            return false;
        const QImage made(1, 1, QImage::Format_RGB32); // what the image would have said
        a.width = m_size.width();
        a.height = m_size.height();
        a.bytesPerLine = int(m_line);
        a.format = int(QImage::Format_RGB32);
        a.dotsPerMeterX = made.dotsPerMeterX();
        a.dotsPerMeterY = made.dotsPerMeterY();
        a.iccBytes = 0;
        return true;
    }

private:
    bool begin(QSize size)
    {
        if (m_fd >= 0 || size.isEmpty() || qint64(size.width()) * 4 > std::numeric_limits<int>::max())
            return false;
        m_size = size;
        m_line = qsizetype(size.width()) * 4;
        m_fd = m_out;
        return m_fd >= 0;
    }
    bool rows(const uchar *first, int count, qsizetype stride)
    {
        if (m_fd < 0 || count < 0 || count > m_size.height() - m_rows)
            return false;
        const qint64 at = qint64(m_rows) * m_line;
        if (stride == m_line) {
            if (!writeAll(m_fd, first, m_line * count, at))
                return false;
        } else {
            for (int i = 0; i < count; ++i)
                if (!writeAll(m_fd, first + i * stride, m_line, at + i * m_line))
                    return false;
        }
        m_rows += count;
        return true;
    }
    // The answer's memfd mapped whole, for rows written in another order: as large as the rows,
    // never held twice.
    uchar *canvas(QSize size, qsizetype *stride)
    {
        if (!begin(size))
            return nullptr;
        const qint64 bytes = qint64(m_line) * size.height();
        const uchar zero = 0;
        if (!writeAll(m_fd, &zero, 1, bytes - 1)) // within the size the program gave it
            return nullptr;
        void *at = ::mmap(nullptr, size_t(bytes), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, m_fd, 0);
        if (at == MAP_FAILED)
            return nullptr;
        m_mapped = static_cast<uchar *>(at);
        m_mappedBytes = size_t(bytes);
        *stride = m_line;
        return m_mapped;
    }
    uchar *m_mapped = nullptr;
    size_t m_mappedBytes = 0;
    int m_out; // the answer's memfd, not owned
    int m_fd = -1;
    QSize m_size;
    qsizetype m_line = 0;
    int m_rows = 0;
};

P::Answer headerAnswer(const std::optional<LWPictureDecoder::Header> &h)
{
    P::Answer a;
    a.failure = int(h ? Failure::none : Failure::unreadable);
    if (h) {
        a.width = h->stored.width();
        a.height = h->stored.height();
        a.format = h->format;
        a.orientation = h->orientation;
        a.work = h->heifWork;
        a.alpha = h->alpha;
    }
    return a;
}

} // namespace

namespace LWDecodeWorker {

void loadReaders()
{
    for (const char *format : {"jpeg", "png", "tiff", "webp", "gif", "bmp"}) {
        QBuffer none;
        QImageReader reader(&none, format);
        (void)reader.canRead();
    }
    heif_init(nullptr);
}

void startThreads()
{
    QThreadPool *pool = QThreadPool::globalInstance();
    pool->setMaxThreadCount(qtThreads);
    pool->setExpiryTimeout(-1); // never ended, so never started again
    if constexpr (!LWSanitizers::address) { // whose frames are larger; it has no memory limit
        pthread_attr_t attr;
        if (::pthread_getattr_default_np(&attr) == 0) {
            (void)::pthread_attr_setstacksize(&attr, threadStack);
            (void)::pthread_setattr_default_np(&attr);
            ::pthread_attr_destroy(&attr);
        }
        pool->setStackSize(uint(threadStack));
    }
    // Each task waits until all have started: as many threads as tasks.
    QSemaphore started, go, done;
    for (int i = 0; i < qtThreads; ++i)
        pool->start([&] {
            started.release();
            go.acquire();
            done.release();
        });
    started.acquire(qtThreads);
    go.release(qtThreads);
    done.acquire(qtThreads);
}

bool prepare(int channel, unsigned layers)
{
    namespace S = LWWorkerSandbox;
    // The first the system's memory killer ends: a worker is replaced, the program's design is not.
    if (QFile score(QStringLiteral("/proc/self/oom_score_adj")); score.open(QIODevice::WriteOnly))
        score.write("1000");
    // While the process has one thread: namespaces of its own where the system allows.
    const bool own = (layers & S::ownRoot) && S::isolate();
    qputenv("QT_NO_GLIB", "1"); // Qt's threads wake through one eventfd each, not GLib's pipes
    ::syscall(SYS_close_range, 3u, unsigned(channel) - 1, 0u);
    ::syscall(SYS_close_range, unsigned(channel) + 1, ~0u, 0u);
    loadReaders();
    const bool rooted = own && S::emptyRoot();
    rlimit r{rlim_t(openDescriptors), rlim_t(openDescriptors)};
    (void)::setrlimit(RLIMIT_NOFILE, &r);
    // Past its file-size limit (the answer's memfd) a write fails rather than ending the worker.
    (void)::signal(SIGXFSZ, SIG_IGN);
    // Before its threads, which inherit it: Landlock holds only for the threads made after.
    if (!S::restrictSelf(layers & S::landlock))
        return false;
    // Ended with the program, whatever it decodes (the filter refuses changing it). A program
    // already gone has closed the channel.
    (void)::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // As many threads on any machine (the filter hides the core count from the decoders, which
    // then decode on one thread, and asks the program for any more), each with a small stack: all
    // within the memory margin.
    startThreads();
    if (layers & S::filter)
        return (threadListener = S::install(channel)) >= 0;
    return layers == S::landlock || rooted; // a layer set up alone (tests)
}

bool hello(int channel, bool confined)
{
    P::Hello h;
    h.confined = confined;
    h.alone = LWWorkerSandbox::alone();
    const bool said = P::send(channel, &h, sizeof(h), confined ? threadListener : -1);
    if (threadListener >= 0) // never kept: with it the worker could grant its own threads
        ::close(std::exchange(threadListener, -1));
    return said;
}

int serve(int channel, const Decode &decode, bool confined, const ReadHeader &header)
{
    if (!hello(channel, confined))
        return 0;
    if (!confined) {
        std::fputs("leafwrighter-decode: the sandbox could not be set up on this system; no picture is decoded.\n",
                   stderr);
        return 3;
    }
    for (;;) {
        P::Ask ask;
        int fds[2];
        if (!P::receive(channel, &ask, sizeof(ask), fds))
            return 0; // the program has ended, or closed the channel
        const int in = fds[0], out = fds[1];
        const auto closeBoth = [&] {
            for (const int fd : fds)
                if (fd >= 0)
                    ::close(fd);
        };
        if (ask.magic != P::askMagic || ask.size != sizeof(ask) || in < 0 ||
            (ask.kind != P::Kind::decode && ask.kind != P::Kind::header) || (ask.kind == P::Kind::decode) != (out >= 0))
            return closeBoth(), 2;
        P::Answer a;
        const bool fits = ask.bytes >= 0 && P::sealedWith(in, ask.bytes);
        void *mapped = fits && ask.bytes > 0 ? ::mmap(nullptr, size_t(ask.bytes), PROT_READ, MAP_PRIVATE | MAP_POPULATE, in, 0) : nullptr;
        ::close(in);
        if (!fits || mapped == MAP_FAILED) {
            if (out >= 0)
                ::close(out);
            a.failure = int(Failure::unreadable);
            if (!answer(channel, a))
                return 0;
            continue;
        }
        const QByteArray bytes = QByteArray::fromRawData(static_cast<const char *>(mapped), qsizetype(ask.bytes));
        const LWPictureDecoder::Request request{ask.longestSide, QRectF(ask.part[0], ask.part[1], ask.part[2], ask.part[3])};
        // The decode's CPU time exactly: a profiling timer whose signal ends the worker. Its memory
        // and CPU limits (in whole seconds, behind the timer) were set by the program, which
        // alone can change them.
        const int cpuMs = std::max(1, ask.cpuMilliseconds);
        itimerval cpuTime{{0, 0}, {cpuMs / 1000, (cpuMs % 1000) * 1000}};
        (void)::setitimer(ITIMER_PROF, &cpuTime, nullptr);
        if (ask.kind == P::Kind::header) {
            const std::optional<LWPictureDecoder::Header> h = header(bytes);
            const itimerval stopped{};
            (void)::setitimer(ITIMER_PROF, &stopped, nullptr);
            if (mapped)
                ::munmap(mapped, size_t(ask.bytes));
            if (!answer(channel, headerAnswer(h)))
                return 0;
            continue;
        }
        RowsToMemfd rows(out);
        LWPictureDecoder::Result r = decode(bytes, request, rows.out());
        const itimerval stopped{};
        (void)::setitimer(ITIMER_PROF, &stopped, nullptr);
        if (mapped)
            ::munmap(mapped, size_t(ask.bytes));
        a.failure = int(r.failure);
        a.partial = r.partial;
        if (r.image || r.handedOut) {
            if (!(r.image ? imageOut(r.image, a, out) : rows.finish(a)))
                a.failure = int(Failure::outOfMemory), a.outOfSystemMemory = 1;
        } else if (r.failure == Failure::none) {
            a.failure = int(Failure::unreadable);
        }
        // Nothing of the request held once it answers: the program checks that from outside.
        rows.unmap();
        ::close(out);
        if (!answer(channel, a))
            return 0;
    }
}

} // namespace LWDecodeWorker
