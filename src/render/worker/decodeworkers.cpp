#include "render/worker/decodeworkers.h"
#include "render/worker/sanitizers.h"

#include "render/parallel.h"
#include "render/worker/decodeprotocol.h"

#include <QColorSpace>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMutex>
#include <QWaitCondition>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <time.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using LWPictureDecoder::Failure;
using LWPictureDecoder::Result;
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
};

// How a worker ended: by itself, killed here, or by a signal this program did not send (SIGKILL:
// the system's out-of-memory killer, which the worker is the first choice of; SIGXCPU or SIGPROF:
// its CPU time ran out; any other: it crashed).
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

// Ends a worker, given `graceMs` to end by itself (a worker reads the end of its channel and
// exits), then killed.
Ended end(Worker w, int graceMs)
{
    ::close(w.channel);
    QDeadlineTimer grace(graceMs);
    for (;;) {
        int status = 0;
        const pid_t got = ::waitpid(w.pid, &status, WNOHANG);
        if (got == w.pid)
            return endedBy(status);
        if ((got < 0 && errno != EINTR) || grace.hasExpired())
            break;
        ::usleep(1000);
    }
    ::kill(w.pid, SIGKILL);
    while (::waitpid(w.pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    return Ended::killedHere;
}

constexpr int leavingMs = 200; // for a worker whose channel closed to finish ending

QString besideThisProgram()
{
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return QFileInfo(self).absolutePath() + QStringLiteral("/leafwrighter-decode");
}

std::optional<Worker> start(const QString &program)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0)
        return std::nullopt;
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
    // in a fresh process, and faulting them in page by page costs about a third of a decode.
    std::vector<QByteArray> env;
    for (char **e = environ; *e; ++e)
        if (std::strncmp(*e, "GLIBC_TUNABLES=", 15) != 0)
            env.emplace_back(*e);
    env.emplace_back("GLIBC_TUNABLES=glibc.malloc.hugetlb=1");
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
        return std::nullopt;
    }
    return Worker{pid, pair[0]};
}

// Whether the worker keeps more data than half its margin between decodes (a decoder's heap
// that was not given back), which would leave the next decode less than its limit. Not under
// AddressSanitizer, whose shadow is data too.
bool bloated(pid_t pid)
{
    if constexpr (addressSanitizer)
        return false;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", int(pid));
    FILE *f = std::fopen(path, "re");
    if (!f)
        return false;
    long long kb = 0;
    char line[256];
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmData: %lld kB", &kb) == 1)
            break;
    std::fclose(f);
    return kb * 1024 > LWDecodeWorkers::memoryMargin / 2;
}

struct Pool {
    QMutex lock;
    QWaitCondition freed;
    std::vector<Worker> idle;
    int running = 0;
    int started = 0;
    qint64 decodes = 0;
    int generation = 0; // workers of an older one are ended when given back
    QString program;
    int cpuSeconds = 0, wallMilliseconds = 0;

    // An idle worker, or a new one; `fresh`: a new one (an idle one ended to make room for it).
    std::optional<std::pair<Worker, int>> take(bool fresh = false)
    {
        QMutexLocker guard(&lock);
        const int most = std::clamp(LWParallel::workers(), 1, LWDecodeWorkers::mostWorkers);
        while (idle.empty() && running >= most)
            freed.wait(&lock);
        if (!idle.empty() && (!fresh || running >= most)) {
            const Worker w = idle.back();
            idle.pop_back();
            if (!fresh)
                return std::pair(w, generation);
            guard.unlock();
            (void)end(w, leavingMs);
            guard.relock();
            --running;
        }
        ++running;
        const QString path = program.isEmpty() ? besideThisProgram() : program;
        const int gen = generation;
        guard.unlock();
        const std::optional<Worker> w = start(path);
        guard.relock();
        if (!w) {
            --running;
            freed.wakeOne();
            return std::nullopt;
        }
        ++started;
        return std::pair(*w, gen);
    }

    // A worker back after a decode; `sound` when it answered within the protocol. One that did
    // not is ended after `graceMs`, and how it ended is told.
    Ended give(Worker w, int gen, bool sound, int graceMs = 0)
    {
        const bool keep = sound && !bloated(w.pid);
        QMutexLocker guard(&lock);
        ++decodes;
        Ended how = Ended::itself;
        if (keep && gen == generation) {
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

// The bytes in a sealed memfd; -1 on failure, with errno telling why.
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
};

void unmap(void *info)
{
    auto *m = static_cast<Mapping *>(info);
    ::munmap(m->at, m->length);
    delete m;
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

// The image an answer describes, mapped from its memfd; none when the answer does not hold or is
// not what was asked: `made` pixels, in a format handed over, no more bytes than `reserved`.
std::optional<QImage> imageOf(const P::Answer &a, int fd, QSize made, qint64 reserved)
{
    if (QSize(a.width, a.height) != made || a.format <= QImage::Format_Invalid || a.format >= QImage::NImageFormats ||
        !handedOver(QImage::Format(a.format)) || a.iccBytes < 0 || a.iccBytes > maxIccBytes || a.dotsPerMeterX < 0 ||
        a.dotsPerMeterY < 0)
        return std::nullopt;
    const auto format = QImage::Format(a.format);
    const qint64 bits = qint64(a.width) * QImage::toPixelFormat(format).bitsPerPixel();
    if (qint64(a.width) * a.height > LWPictureDecoder::maxPixelCount || a.bytesPerLine % 4 != 0 ||
        a.bytesPerLine < (bits + 7) / 8 || a.bytesPerLine > (bits + 7) / 8 + 64 ||
        qint64(a.bytesPerLine) * a.height > reserved)
        return std::nullopt;
    const int colours = format == QImage::Format_Indexed8 ? 256 : (format == QImage::Format_Mono || format == QImage::Format_MonoLSB) ? 2 : 0;
    const qint64 pixels = qint64(a.bytesPerLine) * a.height;
    const qint64 total = pixels + colours * qint64(sizeof(QRgb)) + a.iccBytes;
    if (!P::sealedWith(fd, total))
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
    QImage img(bytes, a.width, a.height, a.bytesPerLine, format, unmap, new Mapping{at, size_t(total)});
    if (img.isNull()) {
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

// Sets the worker's soft limits for its next request, from outside: the worker's filter lets it
// read its limits, never change them. Its data limit `memoryLimit` (0: this program's own, as it
// was started with); its CPU limit the time it has used, in whole seconds up, and `cpuMilliseconds`
// in whole seconds up, behind the worker's exact timer. Never above a hard limit. False when a
// limit could not be set.
bool limit(pid_t pid, qint64 memoryLimit, int cpuMilliseconds)
{
    clockid_t clock;
    timespec used{};
    if (::clock_getcpuclockid(pid, &clock) != 0 || ::clock_gettime(clock, &used) != 0)
        return false;
    rlimit own{};
    if (memoryLimit <= 0 && ::getrlimit(RLIMIT_DATA, &own) != 0)
        return false;
    const auto setSoft = [pid](auto resource, rlim_t value) {
        rlimit r{};
        if (::prlimit(pid, resource, nullptr, &r) != 0)
            return false;
        r.rlim_cur = std::min(value, r.rlim_max);
        return ::prlimit(pid, resource, &r, nullptr) == 0;
    };
    const rlim_t seconds = rlim_t(used.tv_sec + (used.tv_nsec > 0 ? 1 : 0)) + rlim_t(cpuMilliseconds + 999) / 1000;
    return setSoft(RLIMIT_DATA, memoryLimit > 0 ? rlim_t(memoryLimit) : own.rlim_cur) && setSoft(RLIMIT_CPU, seconds);
}

// Waits up to `ms` for the worker to answer; false when it does not.
bool answers(int channel, int ms)
{
    pollfd p{channel, POLLIN, 0};
    QDeadlineTimer deadline(ms);
    for (;;) {
        const int n = ::poll(&p, 1, int(deadline.remainingTime()));
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

// The worker's answer to a header question, checked; the worker given back.
struct HeaderAnswer {
    std::optional<LWPictureDecoder::Header> header;
    bool lasting = false; // it says something of the picture
    bool failed = false;  // the reader failed or crashed (not past its CPU time): maybe for memory
};

HeaderAnswer headerAnswer(Pool &p, Worker worker, int gen, int wallMs)
{
    P::Answer a;
    std::optional<int> fd;
    const bool answered = answers(worker.channel, wallMs);
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
    // Out of wall-clock time (a loaded machine) or killed by the system: asked again next time.
    out.lasting = sound || (answered && how != Ended::killedOutside);
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
    const int in = bytesIn(bytes);
    if (in < 0) // no descriptor left is the machine's passing want, as is memory
        return failed(errno == EMFILE || errno == ENFILE ? Failure::unavailable : Failure::outOfMemory);
    // One more try in a fresh worker when an idle one had died since its last decode, or a worker
    // crashed: a crash may be the machine's (its memory killer) rather than the picture's, and a
    // picture that crashes every worker costs two crashes. A worker past its CPU time or its wall
    // clock gets no second go.
    bool killedOutside = false;
    Failure why = Failure::unreadable;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto taken = p.take(go.ample);
        if (!taken) { // no worker can be started now (missing, no descriptor or process left)
            why = Failure::unavailable;
            break;
        }
        const auto [worker, gen] = *taken;
        if (!limit(worker.pid, ask.memoryLimit, ask.cpuMilliseconds) ||
            !P::send(worker.channel, &ask, sizeof(ask), in)) {
            killedOutside = p.give(worker, gen, false, leavingMs) == Ended::killedOutside || killedOutside;
            continue;
        }
        P::Answer answer;
        std::optional<int> fd;
        const bool answered = answers(worker.channel, wall);
        if (answered)
            fd = P::receive(worker.channel, &answer, sizeof(answer));
        const bool sound = fd && answer.magic == P::answerMagic && answer.size == sizeof(answer) &&
                           answer.failure >= int(Failure::none) && answer.failure <= int(Failure::outOfMemory);
        std::optional<QImage> img;
        if (sound && answer.failure == int(Failure::none) && *fd >= 0)
            img = imageOf(answer, *fd, made, reserved);
        if (fd && *fd >= 0)
            ::close(*fd);
        const bool failedSoundly = sound && answer.failure != int(Failure::none) && *fd < 0;
        const Ended how = p.give(worker, gen, img || failedSoundly, answered ? leavingMs : 0);
        killedOutside = how == Ended::killedOutside || killedOutside;
        if (img || failedSoundly)
            ::close(in);
        if (img)
            return {std::move(img), Failure::none, answer.partial != 0};
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
        if (!answered) { // a loaded machine's slowness, not the picture's: tried again next time
            why = Failure::unavailable;
            break;
        }
        if (how == Ended::cpuTime)
            break; // the picture's own cost
        if (how == Ended::crashed && ((go.underLimit && limited) || go.ample)) {
            // Under the data limit a crash may be the limit's: the second go has ample room.
            if (go.underLimit && limited)
                *go.underLimit = true;
            break;
        }
    }
    ::close(in);
    // Killed by the system for memory: a passing want, not a fault of the picture.
    return failed(killedOutside ? Failure::outOfMemory : why);
}

std::optional<LWPictureDecoder::Header> header(const QByteArray &bytes, bool *lasting)
{
    *lasting = false;
    P::Ask ask;
    ask.kind = P::Kind::header;
    ask.bytes = bytes.size();
    // The reader's own tables and what our checks copy of the bytes; its time a header's.
    ask.memoryLimit = addressSanitizer ? 0 : headerMargin + 2 * bytes.size();
    ask.cpuMilliseconds = headerCpuMilliseconds;
    const int in = bytesIn(bytes);
    if (in < 0)
        return std::nullopt;
    Pool &p = pool();
    int wall;
    {
        QMutexLocker guard(&p.lock);
        wall = p.wallMilliseconds > 0 ? std::min(headerWallMs, p.wallMilliseconds) : headerWallMs;
    }
    // An idle worker may have died since its last use: a fresh one is asked then. A reader that
    // failed under the data limit is asked again, in a fresh worker with ample room.
    bool ample = false;
    std::optional<LWPictureDecoder::Header> told;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto taken = p.take(ample);
        if (!taken)
            break;
        const auto [worker, gen] = *taken;
        if (!limit(worker.pid, ask.memoryLimit, ask.cpuMilliseconds) ||
            !P::send(worker.channel, &ask, sizeof(ask), in)) {
            (void)p.give(worker, gen, false, leavingMs);
            continue;
        }
        const HeaderAnswer answer = headerAnswer(p, worker, gen, wall);
        if (answer.failed && ask.memoryLimit > 0 && !ample) {
            ample = true;
            ask.memoryLimit = ampleRoom(ask.memoryLimit);
            continue;
        }
        *lasting = answer.lasting;
        told = answer.header;
        break;
    }
    ::close(in);
    return told;
}

Stats stats()
{
    Pool &p = pool();
    QMutexLocker guard(&p.lock);
    return {p.started, p.decodes, p.running};
}

void setForTests(const QString &program, int cpuSeconds, int wallMilliseconds)
{
    Pool &p = pool();
    QMutexLocker guard(&p.lock);
    p.program = program;
    p.cpuSeconds = cpuSeconds;
    p.wallMilliseconds = wallMilliseconds;
    ++p.generation;
    std::vector<Worker> idle;
    std::swap(idle, p.idle);
    p.running -= int(idle.size());
    guard.unlock();
    for (const Worker &w : idle)
        (void)end(w, 2000);
}

} // namespace LWDecodeWorkers
