// The wait a decoder costs that never answers and asks for a thread that ends at once at a steady
// rhythm, against one that sleeps: a picture of a given size (its size sets the decode's time
// limits) exported three times at 72 DPI, as a preview and two exports would, by the test's
// stand-in worker. Run it on one CPU (taskset -c N) to see the watcher share the worker's CPU:
//   lw_bench_threadrhythm WIDTH HEIGHT FOLDER "rhythm 100 untimed" ["sleep 600000" ...]
// With --floor GAP_US SECONDS it times the same rhythm of thread starts answered by the smallest
// watcher there can be (it grants each at once, nothing else), without the program: what any
// watcher of thread starts costs such a decoder's thread (its waits for a CPU, the answers).
#include "model/document.h"
#include "render/export.h"
#include "render/picturetally.h"
#include "render/text/fonts.h"
#include "render/worker/decodeworkers.h"
#include "support/testpictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <pthread.h>
#include <stddef.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace
{

qint64 nowNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

qint64 myWaitNs() // this thread's finished waits for a CPU
{
    long long cpu = 0, wait = 0;
    if (FILE *f = std::fopen("/proc/thread-self/schedstat", "re")) {
        if (std::fscanf(f, "%lld %lld", &cpu, &wait) != 2)
            wait = 0;
        std::fclose(f);
    }
    return wait;
}

struct Floor {
    std::atomic<int> listener{-1};
    std::atomic<bool> done{false};
    qint64 asks = 0, answeringNs = 0, watcherCpuNs = 0;
    qint64 cycles = 0, threadWaitNs = 0, elapsedNs = 0;
    int gapUs = 100;
    qint64 seconds = 5;
};

void *watcher(void *arg)
{
    auto &f = *static_cast<Floor *>(arg);
    while (f.listener < 0 && !f.done)
        ::usleep(1000);
    pollfd p{f.listener.load(), POLLIN, 0};
    while (!f.done) {
        const timespec timeout{0, 20'000'000};
        if (::ppoll(&p, 1, &timeout, nullptr) <= 0)
            continue;
        const qint64 woke = nowNs();
        seccomp_notif ask{};
        if (::ioctl(p.fd, SECCOMP_IOCTL_NOTIF_RECV, &ask) != 0)
            continue;
        seccomp_notif_resp answer{};
        answer.id = ask.id;
        answer.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
        f.answeringNs += nowNs() - woke;
        (void)::ioctl(p.fd, SECCOMP_IOCTL_NOTIF_SEND, &answer);
        ++f.asks;
    }
    rusage r{};
    (void)::getrusage(RUSAGE_THREAD, &r);
    f.watcherCpuNs = (qint64(r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1'000'000 + r.ru_utime.tv_usec + r.ru_stime.tv_usec) * 1000;
    return nullptr;
}

void *decoder(void *arg) // its thread starts asked of the watcher, as the worker's are
{
    auto &f = *static_cast<Floor *>(arg);
    sock_filter rules[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone3, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{sizeof rules / sizeof rules[0], rules};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return nullptr;
    const long listener = ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_NEW_LISTENER, &program);
    if (listener < 0)
        return nullptr;
    f.listener = int(listener);
    const qint64 waited = myWaitNs(), start = nowNs();
    while (nowNs() - start < f.seconds * 1'000'000'000) {
        pthread_t t;
        if (::pthread_create(&t, nullptr, [](void *) -> void * { return nullptr; }, nullptr) == 0)
            ::pthread_join(t, nullptr);
        ::usleep(useconds_t(f.gapUs));
        ++f.cycles;
    }
    f.elapsedNs = nowNs() - start;
    f.threadWaitNs = myWaitNs() - waited;
    return nullptr;
}

int floorRun(int gapUs, int seconds)
{
    Floor f;
    f.gapUs = gapUs, f.seconds = seconds;
    pthread_t w, d;
    if (::pthread_create(&w, nullptr, watcher, &f) != 0 || ::pthread_create(&d, nullptr, decoder, &f) != 0)
        return 1;
    ::pthread_join(d, nullptr);
    f.done = true;
    ::pthread_join(w, nullptr);
    if (f.asks == 0) {
        std::fprintf(stderr, "no thread start was asked (seccomp refused?)\n");
        return 1;
    }
    const double share = double(f.threadWaitNs + f.answeringNs) / double(f.elapsedNs);
    std::printf("gap %d us: %lld starts in %.2f s; per start: the decoder's thread waited %.1f us for a CPU, "
                "the answer %.1f us, the watcher's CPU %.1f us; waits and answers %.1f %% of the time "
                "(a 24-MP picture's 14.6-s wall clock then takes %.1f s a go)\n",
                gapUs, (long long)f.asks, f.elapsedNs / 1e9, f.threadWaitNs / 1e3 / f.cycles,
                f.answeringNs / 1e3 / f.asks, f.watcherCpuNs / 1e3 / f.asks, 100 * share, 14.6 / (1 - share));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--floor") == 0)
        return floorRun(std::max(1, std::atoi(argv[2])), std::max(1, std::atoi(argv[3])));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 4 || args[0].toInt() <= 0 || args[1].toInt() <= 0) {
        std::fprintf(stderr, "usage: lw_bench_threadrhythm WIDTH HEIGHT FOLDER WORDS...\n");
        return 2;
    }
    LWFonts::registerBundled();
    const QString stand = QCoreApplication::applicationDirPath() + QStringLiteral("/lw-misbehaving-decoder");
    if (!QFileInfo(stand).isExecutable()) {
        std::fprintf(stderr, "build the stand-in worker first (target lw-misbehaving-decoder)\n");
        return 2;
    }
    LWDecodeWorkers::setForTests(stand, 0, 0); // the program's own limits for the picture's size
    const QByteArray png = LWTestPictures::encode(LWTestPictures::plain(args[0].toInt(), args[1].toInt(), Qt::red), "png");
    const QString out = QDir(args[2]).filePath(QStringLiteral("rhythm.png"));
    for (const QString &words : args.mid(3)) {
        LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
        LWElement photo = LWElement::makePhoto({10, 10, 80, 80});
        photo.image->data = png + "LWTEST " + words.toUtf8(); // the stand-in reads the words
        doc.pages[0].elements = {photo};
        QElapsedTimer all;
        all.start();
        const int before = LWDecodeWorkers::stats().started;
        QString why;
        for (int go = 0; go < 3; ++go) {
            QList<LWPictureTally::Undrawn> undrawn;
            LWExport::RasterWriteHooks hooks;
            hooks.undrawn = &undrawn;
            const QString said = LWExport::writeRaster(doc, 0, 72, false, LWExport::RasterType::png, 0.92, out, hooks);
            why += !said.isEmpty() ? QStringLiteral(" failed")
                   : undrawn.isEmpty() ? QStringLiteral(" drawn")
                   : undrawn[0].why == LWPictureTally::Why::notNow ? QStringLiteral(" not-now")
                                                                   : QStringLiteral(" blamed");
        }
        QFile::remove(out);
        std::printf("%s, %d x %d: three exports %lld ms, workers started %d, each:%s\n", qPrintable(words),
                    args[0].toInt(), args[1].toInt(), (long long)all.elapsed(),
                    LWDecodeWorkers::stats().started - before, qPrintable(why));
    }
    return 0;
}
