#include "render/worker/decodeworkers.h"
#include "render/worker/sanitizers.h"

#include "render/parallel.h"
#include "render/worker/decodeprotocol.h"
#include "render/worker/decodeworker.h"
#include "render/worker/workerspawn.h"
#include "render/worker/workerwatch.h"

#include <QColorSpace>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QWaitCondition>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using LWPictureDecoder::Failure;
using LWPictureDecoder::Result;
using LWDecodeWorkers::Cancellable;
namespace P = LWDecodeProtocol;

constexpr bool addressSanitizer = LWSanitizers::address;

constexpr int maxIccBytes = 16 << 20;

// A header's limits: the worker's own code, a reader's tables, and time for a header only.
constexpr qint64 headerMargin = LWDecodeWorkers::memoryMargin;
constexpr int headerCpuMilliseconds = 2000;
constexpr int headerWallMs = 5000;

struct Worker {
    pid_t pid = -1;
    int channel = -1;
    int listener = -1;       // where its filter asks for each new thread
    std::shared_ptr<std::vector<pid_t>> asking = std::make_shared<std::vector<pid_t>>(); // granted a thread last
    qint64 addressSpace = 0; // its address space once set up, before any request (0: not known)
    LWWorkerWatch::Holding hello; // what it held then, which it may not pass between requests
};

// How a worker ended: by itself, killed here, or by a signal this program did not send (SIGKILL:
// the system's out-of-memory killer, which the worker is the first choice of, unless its hard CPU
// limit was reached; SIGXCPU or SIGPROF: its CPU time ran out; any other: it crashed).
enum class Ended { itself, killedHere, killedOutside, cpuTime, crashed };

Ended endedBy(int status)
{
    if (!WIFSIGNALED(status))
        return Ended::itself;
    switch (WTERMSIG(status)) {
    case SIGKILL:
        return Ended::killedOutside;
    case SIGXCPU:
    case SIGPROF:
        return Ended::cpuTime;
    default:
        return Ended::crashed;
    }
}

bool exited(pid_t pid)
{
    siginfo_t info{};
    return ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

// How a worker that has ended ended; reaped. Killed at its hard CPU limit is its CPU time's end.
Ended reap(pid_t pid)
{
    rlimit cpu{};
    const bool known = ::prlimit(pid, RLIMIT_CPU, nullptr, &cpu) == 0; // still there until reaped
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const Ended how = endedBy(status);
    // The kernel moves the soft limit on, a second at a time, for a worker that lives on past it
    // (ignoring SIGXCPU), up to the hard one, where it kills it.
    if (how == Ended::killedOutside && known && cpu.rlim_max != RLIM_INFINITY && cpu.rlim_cur >= cpu.rlim_max)
        return Ended::cpuTime;
    return how;
}

// Ends a worker, given `graceMs` to end by itself (a worker reads the end of its channel and
// exits), then killed.
Ended end(Worker w, int graceMs)
{
    ::close(w.channel);
    if (w.listener >= 0)
        ::close(w.listener);
    QDeadlineTimer grace(graceMs);
    while (!exited(w.pid)) {
        if (grace.hasExpired()) {
            ::kill(w.pid, SIGKILL);
            while (::waitpid(w.pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            return Ended::killedHere;
        }
        ::usleep(1000);
    }
    return reap(w.pid);
}

constexpr int leavingMs = 200; // for a worker whose channel closed to finish ending
// For a worker to set itself up and say hello (loading its readers on a loaded machine).
constexpr int helloWallMs = LWSanitizers::address ? 20000 : 10000;
// After a worker could not start or shut itself in, how long others are not tried while its
// program stays as it was: the pictures asked meanwhile fail at once.
constexpr int troublePauseMs = 2000;

// The worker beside the file this process started from. Once that file is replaced (the program
// updated while it runs) the link names it with " (deleted)" and resolves no more: its folder
// still holds the worker.
QString besideThisProgram()
{
    QString self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const QString replaced = QStringLiteral(" (deleted)");
    if (self.endsWith(replaced) && !QFileInfo::exists(self))
        self.chop(replaced.size());
    return QFileInfo(self).absolutePath() + QStringLiteral("/leafwrighter-decode");
}

// A worker started, or why none could be: the program missing or not one (decoderMissing), or
// the machine's passing want of descriptors, processes or memory (unavailable).
struct Started {
    std::optional<Worker> worker;
    Failure why = Failure::none;
};

Started spawn(const QString &program)
{
    const LWWorkerSpawn::Spawned s = LWWorkerSpawn::spawn(program);
    if (s.pid < 0) {
        const int e = s.error;
        const bool passing = e == EMFILE || e == ENFILE || e == EAGAIN || e == ENOMEM;
        return {std::nullopt, passing ? Failure::unavailable : Failure::decoderMissing};
    }
    Worker w;
    w.pid = s.pid;
    w.channel = s.channel;
    return {w, Failure::none};
}

// The address space a process has mapped, from outside; 0 when it cannot be read.
qint64 addressSpaceOf(pid_t pid)
{
    QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readLine().split(' ').value(0).toLongLong() * ::sysconf(_SC_PAGESIZE);
}

using LWWorkerWatch::Heard;
LWWorkerWatch::Listened listen(const Worker &w, int wallMs);

// Waits `wallMs` for a new worker's hello. None when it is set up and shut in (its address space
// and what it holds then read); else it is ended, and why: it could not shut itself in
// (decoderUnsafe), it ended, broke the protocol or slept before (decoderMissing: it cannot
// start), or it was starved by a loaded machine, killed by its memory killer or cancelled
// (unavailable).
Failure greet(Worker &w, int wallMs)
{
    P::Hello hello;
    std::optional<int> fd;
    const Heard heard = listen(w, wallMs).heard;
    const bool answered = heard == Heard::message;
    if (answered)
        fd = P::receive(w.channel, &hello, sizeof(hello));
    const bool sound = fd && hello.magic == P::helloMagic && hello.size == sizeof(hello) &&
                       (*fd >= 0) == (hello.confined != 0);
    if (fd && *fd >= 0)
        w.listener = *fd;
    if (sound && hello.confined) {
        w.addressSpace = addressSpaceOf(w.pid);
        w.hello = LWWorkerWatch::holdingOf(w.pid);
        // Its threads, counted apart from any other process's, bounded once for good.
        const rlimit tasks{rlim_t(LWDecodeWorker::mostThreads), rlim_t(LWDecodeWorker::mostThreads)};
        if (hello.alone)
            (void)::prlimit(w.pid, RLIMIT_NPROC, &tasks, nullptr);
        return Failure::none;
    }
    const Ended how = end(w, answered ? leavingMs : 0);
    if (sound)
        return Failure::decoderUnsafe;
    return heard == Heard::starved || heard == Heard::cancelled || how == Ended::killedOutside
               ? Failure::unavailable
               : Failure::decoderMissing;
}

// Whether an idle worker still serves a request of `cpuMilliseconds`: alive, and its hard CPU
// limit (only ever lowered) above the soft limit the request will have.
bool usable(const Worker &w, int cpuMilliseconds)
{
    clockid_t clock;
    timespec used{};
    rlimit cpu{};
    if (exited(w.pid) || ::clock_getcpuclockid(w.pid, &clock) != 0 || ::clock_gettime(clock, &used) != 0 ||
        ::prlimit(w.pid, RLIMIT_CPU, nullptr, &cpu) != 0)
        return false;
    const rlim_t soft = rlim_t(used.tv_sec + (used.tv_nsec > 0 ? 1 : 0)) + rlim_t(cpuMilliseconds + 999) / 1000;
    return cpu.rlim_max == RLIM_INFINITY || soft < cpu.rlim_max;
}

struct Pool {
    QMutex lock;
    QWaitCondition freed;
    std::vector<Worker> idle;
    std::vector<pid_t> busy;
    int running = 0;
    int started = 0;
    qint64 decodes = 0;
    qint64 handed = 0;
    int endedHolding = 0;
    int generation = 0; // workers of an older one are ended when given back
    bool closed = false; // the program is ending: no worker is started
    QString program;
    int cpuSeconds = 0, wallMilliseconds = 0, helloMilliseconds = 0;
    // Why the last worker started could not serve (decoderMissing, decoderUnsafe), the program's
    // file then, and until when no other is tried while it stays so.
    Failure trouble = Failure::none;
    QByteArray troubleStamp;
    QDeadlineTimer troubleRest;

    // A worker for a request of `cpuMilliseconds`; none when none can be had, and why in `cannot`
    // (unavailable also when Cancel was heard while every place was busy). `fresh`: a new one
    // (an idle one ended to make room for it).
    std::optional<std::pair<Worker, int>> take(int cpuMilliseconds, Failure *cannot, bool fresh = false)
    {
        QMutexLocker guard(&lock);
        const int most = std::clamp(LWParallel::workers(), 1, LWDecodeWorkers::mostWorkers);
        for (;;) {
            while (idle.empty() && running >= most && !closed)
                if (!Cancellable::wait(freed, guard)) {
                    *cannot = Failure::unavailable;
                    return std::nullopt;
                }
            if (closed || idle.empty() || (fresh && running < most))
                break;
            const Worker w = idle.back();
            idle.pop_back();
            if (!fresh && usable(w, cpuMilliseconds)) {
                busy.push_back(w.pid);
                return std::pair(w, generation);
            }
            // Dead since, without the CPU time left, or ended to make room for a fresh one.
            --running;
            guard.unlock();
            (void)end(w, fresh ? leavingMs : 0);
            guard.relock();
        }
        if (closed) {
            *cannot = Failure::unavailable;
            return std::nullopt;
        }
        const QString path = program.isEmpty() ? besideThisProgram() : program;
        if (trouble != Failure::none && !troubleRest.hasExpired() && LWWorkerSpawn::stampOf(path) == troubleStamp) {
            *cannot = trouble;
            return std::nullopt;
        }
        ++running;
        const int gen = generation;
        const int helloWall = helloMilliseconds > 0 ? helloMilliseconds : helloWallMs;
        guard.unlock();
        static std::once_flag atQuit;
        std::call_once(atQuit, [] {
            if (QCoreApplication::instance()) // its workers ended with the application object
                qAddPostRoutine(LWDecodeWorkers::endAll);
        });
        Started s = spawn(path);
        if (s.worker)
            s.why = greet(*s.worker, helloWall);
        guard.relock();
        // Only a worker of the program asked now tells whether it can start (not one of the
        // program before, slow to say hello).
        if (gen == generation && (s.why == Failure::decoderMissing || s.why == Failure::decoderUnsafe)) {
            trouble = s.why;
            troubleStamp = LWWorkerSpawn::stampOf(path);
            troubleRest.setRemainingTime(troublePauseMs);
        }
        if (s.why != Failure::none) {
            --running;
            freed.wakeOne();
            *cannot = s.why;
            return std::nullopt;
        }
        if (gen == generation)
            trouble = Failure::none;
        ++started;
        // Every worker was ended while this one started (the program ending, or the workers
        // replaced): it is not used, or it would escape that end with its request.
        if (closed || gen != generation) {
            --running;
            guard.unlock();
            (void)end(*s.worker, 0);
            return take(cpuMilliseconds, cannot, fresh); // none once closed
        }
        busy.push_back(s.worker->pid);
        return std::pair(*s.worker, gen);
    }

    // A worker back after a decode; `sound` when it answered within the protocol. One that did
    // not, or holds more than at its hello, is ended after `graceMs`, and how it ended is told.
    Ended give(Worker w, int gen, bool sound, int graceMs = 0)
    {
        const qint64 dataMargin = addressSanitizer ? 0 : LWDecodeWorkers::memoryMargin; // its shadow is data
        const bool holding =
            sound && LWWorkerWatch::holdsMore(w.hello, LWWorkerWatch::holdingOf(w.pid), dataMargin);
        const bool keep = sound && !holding;
        QMutexLocker guard(&lock);
        endedHolding += holding;
        ++decodes;
        busy.erase(std::remove(busy.begin(), busy.end(), w.pid), busy.end());
        Ended how = Ended::itself;
        if (keep && gen == generation && !closed) {
            idle.push_back(w);
        } else {
            --running;
            guard.unlock();
            how = end(w, graceMs);
            guard.relock();
        }
        freed.wakeOne();
        return how;
    }
};

Pool &pool()
{
    static Pool p;
    return p;
}

Result failed(Failure why) { return {std::nullopt, why, false}; }

// A decode's CPU time: a base for any picture (a small picture's headers, a decoder's start) and
// a rate per megapixel the picture declares. The rate is twice the slowest format's decode of a
// 12-megapixel photo-like picture (bench/bench_decodecost.cpp, all threads' CPU): 10-bit HEIC
// 93 ms, HEIC 78, AVIF 37, WebP 15, PNG and progressive JPEG 14, JPEG 5, TIFF 2. The wall clock
// is twice the CPU time, and more for a loaded machine.
constexpr qint64 cpuBaseMs = 1000;
constexpr qint64 cpuMsPerMegapixel = 200;
constexpr qint64 wallAllowanceMs = 3000;

// The bytes in a sealed memfd (freed with P::release once every worker is done); -1 on failure,
// with errno telling why.
int bytesIn(const QByteArray &bytes)
{
    const int fd = P::makeMemfd("lw-picture", 0);
    if (fd < 0)
        return -1;
    const auto fail = [fd] {
        const int e = errno;
        ::close(fd);
        errno = e;
        return -1;
    };
    qsizetype at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + at, size_t(bytes.size() - at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail();
        at += n;
    }
    if (!P::seal(fd))
        return fail();
    return fd;
}

struct Mapping {
    void *at;
    size_t length;
    int fd; // the answer's memfd, freed with the image whoever else holds it
};

void unmap(void *info)
{
    auto *m = static_cast<Mapping *>(info);
    ::munmap(m->at, m->length);
    (void)P::release(m->fd);
    delete m;
}

// The most an answer of `made` pixels can take within `reserved`: its rows at 32 bits a pixel
// and their padding, a colour table and a colour profile.
qint64 answerRoom(QSize made, qint64 reserved)
{
    const qint64 rows = (qint64(std::max(made.width(), 0)) * 4 + P::rowPadding) * std::max(made.height(), 0);
    return std::min(reserved, rows) + 256 * qint64(sizeof(QRgb)) + maxIccBytes;
}

// The formats a decode hands over (at most 32 bits a pixel; wider ones are narrowed in the worker).
bool handedOver(QImage::Format f)
{
    switch (f) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
    case QImage::Format_Alpha8:
    case QImage::Format_RGB16:
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
        return true;
    default:
        return false;
    }
}

// The image an answer describes, mapped from the memfd `fd` of `room` bytes handed for it (then
// owned by the image, shrunk to what it holds); none when the answer does not hold or is not what
// was asked: `made` pixels, in a format handed over, no more bytes than `reserved`, every page
// of them written and sealed by the worker.
std::optional<QImage> imageOf(const P::Answer &a, int fd, qint64 room, QSize made, qint64 reserved)
{
    if (QSize(a.width, a.height) != made || a.format <= QImage::Format_Invalid || a.format >= QImage::NImageFormats ||
        !handedOver(QImage::Format(a.format)) || a.iccBytes < 0 || a.iccBytes > maxIccBytes || a.dotsPerMeterX < 0 ||
        a.dotsPerMeterY < 0)
        return std::nullopt;
    const auto format = QImage::Format(a.format);
    const qint64 bits = qint64(a.width) * QImage::toPixelFormat(format).bitsPerPixel();
    if (qint64(a.width) * a.height > LWPictureDecoder::maxPixelCount || a.bytesPerLine % 4 != 0 ||
        a.bytesPerLine < (bits + 7) / 8 || a.bytesPerLine > (bits + 7) / 8 + P::rowPadding ||
        qint64(a.bytesPerLine) * a.height > reserved)
        return std::nullopt;
    const int colours = format == QImage::Format_Indexed8 ? 256 : (format == QImage::Format_Mono || format == QImage::Format_MonoLSB) ? 2 : 0;
    const qint64 pixels = qint64(a.bytesPerLine) * a.height;
    const qint64 total = pixels + colours * qint64(sizeof(QRgb)) + a.iccBytes;
    struct stat st{};
    const qint64 page = ::sysconf(_SC_PAGESIZE);
    if (total > room || !P::sealedWith(fd, room) || ::fstat(fd, &st) != 0 ||
        qint64(st.st_blocks) * 512 < total / page * page || ::ftruncate(fd, off_t(total)) != 0)
        return std::nullopt;
    // Read-only, all pages at once (every user reads them all; a fault a page costs more): the
    // image copies itself before anything writes into it.
    void *at = ::mmap(nullptr, size_t(total), PROT_READ, MAP_SHARED | MAP_POPULATE, fd, 0);
    if (at == MAP_FAILED)
        return std::nullopt;
    const auto *bytes = static_cast<const uchar *>(at);
    QList<QRgb> table(colours);
    if (colours)
        std::memcpy(table.data(), bytes + pixels, size_t(colours) * sizeof(QRgb));
    const QByteArray icc(reinterpret_cast<const char *>(bytes + pixels + colours * sizeof(QRgb)), a.iccBytes);
    QImage img(bytes, a.width, a.height, a.bytesPerLine, format, unmap, new Mapping{at, size_t(total), fd});
    if (img.isNull()) { // its memfd is the caller's again
        ::munmap(at, size_t(total));
        return std::nullopt;
    }
    if (colours)
        img.setColorTable(table);
    if (a.dotsPerMeterX > 0 && a.dotsPerMeterY > 0) {
        img.setDotsPerMeterX(a.dotsPerMeterX);
        img.setDotsPerMeterY(a.dotsPerMeterY);
    }
    if (!icc.isEmpty())
        img.setColorSpace(QColorSpace::fromIccProfile(icc));
    return img;
}

// Sets the worker's limits for its next request, from outside: the worker's filter lets it read
// its limits, never change them. With a memory limit (none under AddressSanitizer, which maps
// terabytes): its data that, the one memfd it is handed (its file size) that, and all it maps
// (private, shared, thread stacks) within its address space once set up, the request's bytes and
// that again. Without, its data limit this program's own, as it was started with. Its CPU
// limit the time it has used, in whole seconds up, and `cpuMilliseconds` in whole seconds up,
// behind the worker's exact timer; its hard CPU limit (SIGKILL, which no decoder can catch or
// ignore) `beyondMilliseconds` past that (a second at least), only ever lowered (an unprivileged
// program cannot raise it): a worker without room for a request is replaced (usable). False when
// a limit could not be set.
bool limit(const Worker &w, const P::Ask &ask, int beyondMilliseconds)
{
    clockid_t clock;
    timespec used{};
    if (::clock_getcpuclockid(w.pid, &clock) != 0 || ::clock_gettime(clock, &used) != 0)
        return false;
    rlimit own{};
    if (ask.memoryLimit <= 0 && ::getrlimit(RLIMIT_DATA, &own) != 0)
        return false;
    const auto set = [pid = w.pid](auto resource, rlim_t soft, rlim_t hard = RLIM_INFINITY) {
        rlimit r{};
        if (::prlimit(pid, resource, nullptr, &r) != 0)
            return false;
        r.rlim_max = std::min(hard, r.rlim_max);
        r.rlim_cur = std::min(soft, r.rlim_max);
        return ::prlimit(pid, resource, &r, nullptr) == 0;
    };
    const rlim_t soft = rlim_t(used.tv_sec + (used.tv_nsec > 0 ? 1 : 0)) + rlim_t(ask.cpuMilliseconds + 999) / 1000;
    if (!set(RLIMIT_CPU, soft, soft + std::max<rlim_t>(1, rlim_t(beyondMilliseconds + 999) / 1000)))
        return false;
    if (ask.memoryLimit <= 0)
        return set(RLIMIT_DATA, own.rlim_cur);
    const auto memory = rlim_t(ask.memoryLimit);
    return set(RLIMIT_DATA, memory) && set(RLIMIT_FSIZE, memory) &&
           (w.addressSpace <= 0 || set(RLIMIT_AS, rlim_t(w.addressSpace + ask.bytes) + memory));
}

LWWorkerWatch::Listened listen(const Worker &w, int wallMs)
{
    static const std::function<bool()> asked = &LWDecodeWorkers::Cancellable::now;
    return LWWorkerWatch::listen(w.pid, w.channel, w.listener, *w.asking, LWDecodeWorker::mostThreads, wallMs,
                                 Cancellable::listening() ? asked : std::function<bool()>());
}

// The worker's answer to a header question, checked; the worker given back.
struct HeaderAnswer {
    std::optional<LWPictureDecoder::Header> header;
    bool lasting = false; // it says something of the picture
    bool failed = false;  // the reader failed or crashed (not past its CPU time): maybe for memory
    bool again = false;   // it slept or kept asking for threads: the picture's once a fresh worker does too
    bool cancelled = false; // Cancel ended it: nothing is known
};

HeaderAnswer headerAnswer(Pool &p, Worker worker, int gen, int wallMs)
{
    P::Answer a;
    std::optional<int> fd;
    const Heard heard = listen(worker, wallMs).heard;
    const bool answered = heard == Heard::message;
    if (answered)
        fd = P::receive(worker.channel, &a, sizeof(a));
    if (fd && *fd >= 0)
        ::close(*fd);
    constexpr int side = 1 << 30;
    const bool sound = fd && *fd < 0 && a.magic == P::answerMagic && a.size == sizeof(a) &&
                       (a.failure == int(Failure::none) || a.failure == int(Failure::unreadable)) &&
                       a.width > -side && a.width < side && a.height > -side && a.height < side &&
                       a.orientation >= 1 && a.orientation <= 8 && a.work >= 0 && a.work <= 16;
    const Ended how = p.give(worker, gen, sound, answered ? leavingMs : 0);
    HeaderAnswer out;
    out.cancelled = heard == Heard::cancelled;
    // Starved by a loaded machine or killed by the system: asked again next time.
    out.again = heard == Heard::blocked || heard == Heard::asking;
    out.lasting = sound || out.again || (answered && how != Ended::killedOutside);
    out.failed = out.lasting && (!sound || a.failure != int(Failure::none)) && how != Ended::cpuTime;
    if (sound && a.failure == int(Failure::none))
        out.header =
            LWPictureDecoder::Header{QSize(a.width, a.height), a.orientation, a.format, a.work, a.alpha != 0};
    return out;
}

} // namespace

namespace LWDecodeWorkers {

Limits limitsFor(qint64 declaredPixels, qint64 reserved)
{
    // Without a declared size, what the reservation holds at four bytes a pixel.
    const qint64 pixels = std::max<qint64>(0, declaredPixels > 0 ? declaredPixels : reserved / 4);
    // The sanitizers' builds decode several times slower.
    const qint64 slower = addressSanitizer ? 4 : 1;
    const qint64 cpu = std::min<qint64>(slower * (cpuBaseMs + cpuMsPerMegapixel * (pixels / 1000) / 1000), INT_MAX / 4);
    return {int(cpu), int(2 * cpu + wallAllowanceMs)};
}

Result decode(const QByteArray &bytes, const LWPictureDecoder::Request &request, qint64 reserved, QSize made,
              qint64 declaredPixels, const Try &go)
{
    Pool &p = pool();
    P::Ask ask;
    ask.bytes = bytes.size();
    ask.longestSide = request.longestSide;
    ask.part[0] = request.part.x(), ask.part[1] = request.part.y();
    ask.part[2] = request.part.width(), ask.part[3] = request.part.height();
    ask.memoryLimit = addressSanitizer ? 0 : reserved + memoryMargin;
    const bool limited = ask.memoryLimit > 0;
    int wall;
    {
        QMutexLocker guard(&p.lock);
        const Limits limits = limitsFor(declaredPixels, reserved);
        ask.cpuMilliseconds = p.cpuSeconds > 0 ? p.cpuSeconds * 1000 : limits.cpuMilliseconds;
        wall = p.wallMilliseconds > 0 ? p.wallMilliseconds : limits.wallMilliseconds;
    }
    // Asked before the bytes are copied: a large picture's copy alone is a long wait.
    if (Cancellable::now())
        return failed(Failure::unavailable);
    const int in = bytesIn(bytes);
    if (in < 0) // no descriptor left is the machine's passing want, as is memory
        return failed(errno == EMFILE || errno == ENFILE ? Failure::unavailable : Failure::outOfMemory);
    {
        QMutexLocker guard(&p.lock);
        p.handed += bytes.size();
    }
    // One more try in a fresh worker when an idle one had died since its last decode, a worker
    // crashed, or it was blocked past its wall clock: a crash may be the machine's (its memory killer)
    // rather than the picture's, and a picture that crashes or blocks every worker costs two. A
    // worker past its CPU time, starved by a loaded machine or cancelled gets no second go.
    bool killedOutside = false, fresh = go.ample, cancelled = false;
    Failure why = Failure::unreadable;
    const qint64 room = answerRoom(made, reserved);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if ((cancelled = Cancellable::now()))
            break;
        // The answer's memfd: the worker makes none, and it cannot grow.
        const int out = P::makeMemfd("lw-pixels", room);
        if (out < 0 || !P::sealGrowth(out)) {
            why = errno == EMFILE || errno == ENFILE ? Failure::unavailable : Failure::outOfMemory;
            if (out >= 0)
                ::close(out);
            break;
        }
        const auto taken = p.take(ask.cpuMilliseconds, &why, fresh);
        if (!taken) { // no worker now (missing, not shut in, no descriptor or process left)
            ::close(out);
            break;
        }
        const auto [worker, gen] = *taken;
        const int fds[] = {in, out};
        // The hard CPU limit leaves room for this decode again, or a header question after it.
        const int beyond = std::max(ask.cpuMilliseconds, headerCpuMilliseconds);
        const bool sent = limit(worker, ask, beyond) && P::send(worker.channel, &ask, sizeof(ask), fds);
        if (!sent) {
            (void)P::release(out);
            why = Failure::unreadable;
            killedOutside = p.give(worker, gen, false, leavingMs) == Ended::killedOutside || killedOutside;
            continue;
        }
        P::Answer answer;
        std::optional<int> fd;
        const LWWorkerWatch::Listened heard = listen(worker, wall);
        const bool answered = heard.heard == Heard::message;
        if (answered)
            fd = P::receive(worker.channel, &answer, sizeof(answer));
        if (fd && *fd >= 0) // an answer carries no descriptor
            ::close(*fd);
        const bool sound = fd && *fd < 0 && answer.magic == P::answerMagic && answer.size == sizeof(answer) &&
                           answer.failure >= int(Failure::none) && answer.failure <= int(Failure::outOfMemory);
        std::optional<QImage> img;
        if (sound && answer.failure == int(Failure::none))
            img = imageOf(answer, out, room, made, reserved);
        // A thread refused may have failed the decode (one granted just before counts until its
        // asker asks again): a fresh worker decides.
        const bool refusedFailure = sound && !img && heard.refused > 0 && attempt == 0;
        const bool failedSoundly = sound && answer.failure != int(Failure::none) && !refusedFailure;
        // What the worker wrote there is freed whatever it kept; one that sealed it against that is ended.
        const bool freed = img || P::release(out);
        const Ended how = p.give(worker, gen, (img || failedSoundly) && freed, answered ? leavingMs : 0);
        killedOutside = how == Ended::killedOutside || killedOutside;
        if (img || failedSoundly)
            (void)P::release(in);
        if (img)
            return {std::move(img), Failure::none, answer.partial != 0, false, heard.cpuMs};
        if (failedSoundly) {
            // Memory the worker was refused within its limit was wanted beyond the reservation;
            // memory it could not get for its answer was the machine's want.
            const auto failure = Failure(answer.failure);
            const bool beyond = failure == Failure::outOfMemory && limited && !answer.outOfSystemMemory;
            const Failure said = beyond ? Failure::tooLarge : failure;
            if (go.underLimit && limited && (said == Failure::unreadable || said == Failure::tooLarge))
                *go.underLimit = true;
            return failed(said);
        }
        if ((cancelled = heard.heard == Heard::cancelled))
            break;
        if (heard.heard == Heard::starved) { // a loaded machine's, not the picture's: tried again next time
            why = Failure::unavailable;
            break;
        }
        if (heard.heard == Heard::blocked || refusedFailure) {
            fresh = true;
            continue;
        }
        if (how == Ended::cpuTime)
            break; // the picture's own cost
        // A worker that keeps asking for threads is ended as a crash would end it.
        if ((how == Ended::crashed || heard.heard == Heard::asking) &&
            ((go.underLimit && limited) || go.ample)) {
            // Under the data limit a crash may be the limit's: the second go has ample room.
            if (go.underLimit && limited)
                *go.underLimit = true;
            break;
        }
    }
    (void)P::release(in);
    if (cancelled || (why == Failure::unavailable && Cancellable::heard()))
        return failed(Failure::unavailable);
    // Killed by the system for memory: a passing want, not a fault of the picture.
    return failed(killedOutside ? Failure::outOfMemory : why);
}

std::optional<LWPictureDecoder::Header> header(const QByteArray &bytes, bool *lasting, Failure *cannot)
{
    *lasting = false;
    if (cannot)
        *cannot = Failure::unavailable;
    P::Ask ask;
    ask.kind = P::Kind::header;
    ask.bytes = bytes.size();
    // The reader's own tables and what our checks copy of the bytes; its time a header's.
    ask.memoryLimit = addressSanitizer ? 0 : headerMargin + 2 * bytes.size();
    ask.cpuMilliseconds = headerCpuMilliseconds;
    if (Cancellable::now())
        return std::nullopt;
    const int in = bytesIn(bytes);
    if (in < 0)
        return std::nullopt;
    Pool &p = pool();
    // The hard CPU limit leaves room for the picture's decode that follows in the same worker.
    int beyond = limitsFor(LWPictureDecoder::maxPixelCount, 0).cpuMilliseconds;
    int wall;
    {
        QMutexLocker guard(&p.lock);
        p.handed += bytes.size();
        beyond = std::max(beyond, p.cpuSeconds * 1000);
        wall = p.wallMilliseconds > 0 ? std::min(headerWallMs, p.wallMilliseconds) : headerWallMs;
    }
    // An idle worker may have died since its last use: a fresh one is asked then. A reader that
    // failed under the data limit is asked again, in a fresh worker with ample room.
    bool ample = false;
    std::optional<LWPictureDecoder::Header> told;
    for (int attempt = 0; attempt < 3 && !Cancellable::now(); ++attempt) {
        Failure why = Failure::unavailable;
        const auto taken = p.take(ask.cpuMilliseconds, &why, ample);
        if (!taken) {
            if (cannot)
                *cannot = why;
            break;
        }
        const auto [worker, gen] = *taken;
        if (!limit(worker, ask, beyond) || !P::send(worker.channel, &ask, sizeof(ask), in)) {
            (void)p.give(worker, gen, false, leavingMs);
            continue;
        }
        const HeaderAnswer answer = headerAnswer(p, worker, gen, wall);
        if (answer.cancelled)
            break;
        if (((answer.failed && ask.memoryLimit > 0) || answer.again) && !ample) {
            ample = true;
            if (ask.memoryLimit > 0)
                ask.memoryLimit = ampleRoom(ask.memoryLimit);
            continue;
        }
        *lasting = answer.lasting;
        told = answer.header;
        break;
    }
    (void)P::release(in);
    return told;
}

LWPictureDecoder::Failure trouble()
{
    Pool &p = pool();
    QMutexLocker guard(&p.lock);
    return p.trouble;
}

void endAll()
{
    Pool &p = pool();
    QMutexLocker guard(&p.lock);
    p.closed = true;
    ++p.generation;
    for (const pid_t busy : p.busy) // their decodes fail at once; each is ended when given back
        ::kill(busy, SIGKILL);
    std::vector<Worker> idle;
    std::swap(idle, p.idle);
    p.running -= int(idle.size());
    p.freed.wakeAll();
    guard.unlock();
    for (const Worker &w : idle)
        (void)end(w, leavingMs);
}

Stats stats()
{
    Pool &p = pool();
    QMutexLocker guard(&p.lock);
    return {p.started, p.decodes, p.running, int(p.busy.size()), p.handed, p.endedHolding,
            LWWorkerWatch::refusedAsks()};
}

void setForTests(const QString &program, int cpuSeconds, int wallMilliseconds, int helloMilliseconds)
{
    Pool &p = pool();
    QMutexLocker guard(&p.lock);
    p.program = program;
    p.cpuSeconds = cpuSeconds;
    p.wallMilliseconds = wallMilliseconds;
    p.helloMilliseconds = helloMilliseconds;
    p.closed = false;
    p.trouble = Failure::none;
    ++p.generation;
    std::vector<Worker> idle;
    std::swap(idle, p.idle);
    p.running -= int(idle.size());
    guard.unlock();
    for (const Worker &w : idle)
        (void)end(w, 2000);
}

} // namespace LWDecodeWorkers
