// What the decode-worker rows share: the fixture whose worker is the misbehaving decoder, the
// design files they export, and ways to load, starve or look at the workers.
#pragma once
#include "model/file/documentio.h"
#include "render/export.h"
#include "render/exportpictures.h"
#include "render/text/fonts.h"
#include "render/preflight.h"
#include "render/sheet.h"
#include "render/parallel.h"
#include "render/picturetally.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/imagecache.h"
#include "render/preflight.h"
#include "render/worker/decodeworkers.h"
#include "render/worker/workerwatch.h"

#include "render/worker/sanitizers.h"
#include "support/testpictures.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QThreadPool>
#include <atomic>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>
#include <QUrl>
#include <future>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <sched.h>
#include <thread>
#include <vector>

namespace LWWorkerRows {

using namespace LWTestPictures;


// The sanitizers' builds run several times slower (5,000 thread starts take most of a second of
// CPU under AddressSanitizer).
inline constexpr int wallMs = LWSanitizers::address ? 12000 : 3000;
inline constexpr int cpuSeconds = LWSanitizers::address ? 4 : 1;

// The stand-in decoder built beside the test program.
inline QString misbehavingDecoder()
{
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath() +
           QStringLiteral("/lw-misbehaving-decoder");
}

inline const QRect badSpot(20, 20, 60, 60), goodSpot(160, 20, 60, 60); // in the 72-DPI export

class DecodeWorkers : public ::testing::Test {
protected:
    void SetUp() override
    {
        LWFonts::registerBundled();
        ASSERT_TRUE(dir.isValid());
        LWDecodeWorkers::setForTests(misbehavingDecoder(), cpuSeconds, wallMs);
    }
    void TearDown() override { LWDecodeWorkers::setForTests({}, 0, 0); }

    // A card of the picture under test (left) and a plain picture of a new colour (right), saved
    // as a design file, opened again and exported as PNG at 72 DPI; the file read back.
    QImage exported(const QByteArray &bytes, QColor goodColour)
    {
        LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
        LWElement bad = LWElement::makePhoto({10, 10, 80, 80});
        bad.image->data = bytes;
        LWElement good = LWElement::makePhoto({150, 10, 80, 80});
        good.image->data = encode(plain(64, 64, goodColour), "png");
        doc.pages[0].elements = {bad, good};
        const QUrl url = QUrl::fromLocalFile(dir.filePath(QStringLiteral("card.velkfolio")));
        EXPECT_TRUE(LWDocumentIO::save(doc, url).ok());
        auto opened = LWDocumentIO::open(url);
        EXPECT_TRUE(opened.ok());
        if (!opened.ok())
            return {};
        const QString png = dir.filePath(QStringLiteral("card.png"));
        EXPECT_EQ(LWExport::writeRaster(opened.value(), 0, 72, false, LWExport::RasterType::png, 0.92, png),
                  QString());
        return QImage(png).convertToFormat(QImage::Format_RGB32);
    }

    // Each case's picture is a real PNG, which the program's own checks pass, with the words
    // for the misbehaving worker after its end.
    static QByteArray asking(const QByteArray &words)
    {
        static int n = 0;
        return encode(plain(64, 64, QColor::fromHsv((n++ * 37) % 360, 255, 255)), "png") + "LWTEST " + words;
    }

    // Every case in turn: the placeholder where the picture is, within seconds, and the plain
    // picture beside it decoded by a worker (a fresh one where the last died).
    void expectEachCostsOnlyItsPicture(const QList<QByteArray> &cases)
    {
        const QImage placeholder = exported("not a picture", Qt::green).copy(badSpot);
        ASSERT_FALSE(placeholder.isNull());
        int hue = 0;
        for (const QByteArray &words : cases) {
            SCOPED_TRACE(words.toStdString());
            const QColor colour = QColor::fromHsv((hue += 29) % 360, 255, 255);
            const LWDecodeWorkers::Stats before = LWDecodeWorkers::stats();
            const QImage got = exported(asking(words), colour);
            EXPECT_TRUE(got.copy(badSpot) == placeholder);
            EXPECT_EQ(got.pixel(goodSpot.center()), colour.rgb());
            const LWDecodeWorkers::Stats after = LWDecodeWorkers::stats();
            EXPECT_GE(after.decodes, before.decodes + 2);
            EXPECT_LE(after.running, std::max(1, LWParallel::workers()));
        }
        // A plain picture after them all still decodes.
        const QImage last = exported(encode(plain(64, 64, Qt::blue), "png"), Qt::yellow);
        EXPECT_EQ(last.pixel(badSpot.center()), QColor(Qt::blue).rgb());
    }

    // The picture alone on a card, exported as PNG at 72 DPI: the file read back (null when none
    // was written) and the pictures the export says it could not draw whole.
    static LWDocument alone(const QByteArray &bytes)
    {
        LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
        LWElement photo = LWElement::makePhoto({10, 10, 80, 80});
        photo.name = QStringLiteral("Harbour");
        photo.image->data = bytes;
        doc.pages[0].elements = {photo};
        return doc;
    }
    std::pair<QImage, QList<LWPictureTally::Undrawn>> exportedAlone(const QByteArray &bytes)
    {
        const LWDocument doc = alone(bytes);
        const QString png = dir.filePath(QStringLiteral("alone.png"));
        QFile::remove(png);
        QList<LWPictureTally::Undrawn> undrawn;
        LWExport::RasterWriteHooks hooks;
        hooks.undrawn = &undrawn;
        EXPECT_EQ(LWExport::writeRaster(doc, 0, 72, false, LWExport::RasterType::png, 0.92, png, hooks), QString());
        return {QImage(png).convertToFormat(QImage::Format_RGB32), undrawn};
    }

    QTemporaryDir dir;
};

// Every descriptor the process may open taken, but `spare`, while it lives (the soft limit
// lowered, given back after).
class DescriptorsTaken {
public:
    explicit DescriptorsTaken(int spare)
    {
        ::getrlimit(RLIMIT_NOFILE, &old_);
        rlimit low = old_;
        low.rlim_cur = std::min<rlim_t>(old_.rlim_cur, 4096);
        ::setrlimit(RLIMIT_NOFILE, &low);
        for (int fd; (fd = ::fcntl(0, F_DUPFD_CLOEXEC, 0)) >= 0;)
            taken_.push_back(fd);
        for (int i = 0; i < spare && !taken_.empty(); ++i)
            ::close(taken_.back()), taken_.pop_back();
    }
    ~DescriptorsTaken()
    {
        for (const int fd : taken_)
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &old_);
    }

private:
    rlimit old_{};
    std::vector<int> taken_;
};

inline QElapsedTimer started()
{
    QElapsedTimer t;
    t.start();
    return t;
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
}

// The tasks (/proc/<pid>/task/<tid>) of the children this process started of `program` (any when
// empty).
inline QStringList workerTasks(const QString &program = {})
{
    QStringList out;
    for (const QFileInfo &task : QDir(QStringLiteral("/proc/self/task")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QByteArray &child : readAll(task.filePath() + QStringLiteral("/children")).split(' ')) {
            const QString root = QStringLiteral("/proc/") + QString::fromLatin1(child) + QStringLiteral("/task/");
            if (!child.isEmpty() &&
                (program.isEmpty() || QFileInfo(root + QStringLiteral("../exe")).canonicalFilePath() == program))
                for (const QString &tid : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                    out << root + tid;
        }
    return out;
}

// While it lives, this process and its workers share one CPU (as on a one-core machine): the
// watcher then takes the CPU a worker would have used each time it looks.
class OneCpu {
public:
    OneCpu()
    {
        EXPECT_EQ(::sched_getaffinity(0, sizeof old_, &old_), 0);
        CPU_ZERO(&one_);
        for (int cpu = 0; CPU_COUNT(&one_) == 0 && cpu < CPU_SETSIZE; ++cpu)
            if (CPU_ISSET(cpu, &old_))
                CPU_SET(cpu, &one_);
        set(one_);
    }
    ~OneCpu() { set(old_); }

private:
    static void set(const cpu_set_t &cpus)
    {
        QStringList tasks = workerTasks();
        for (const QString &tid : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            tasks << QStringLiteral("/proc/self/task/") + tid;
        for (const QString &task : tasks)
            (void)::sched_setaffinity(QFileInfo(task).fileName().toInt(), sizeof cpus, &cpus);
    }
    cpu_set_t old_, one_;
};

// While it lives, one CPU kept busy and every worker alive now (every child) given only what
// that CPU has to spare, as a loaded machine would leave them; or, not `idle`, given a share of it
// beside `loops` busy loops.
class StarvedWorkers {
public:
    explicit StarvedWorkers(bool idle = true, int loops = 1)
    {
        cpu_set_t mine;
        EXPECT_EQ(::sched_getaffinity(0, sizeof mine, &mine), 0);
        CPU_ZERO(&one_);
        for (int cpu = 0; CPU_COUNT(&one_) == 0; ++cpu)
            if (CPU_ISSET(cpu, &mine))
                CPU_SET(cpu, &one_);
        for (int i = 0; i < loops; ++i)
            busy_.emplace_back([this] {
                (void)::pthread_setaffinity_np(::pthread_self(), sizeof one_, &one_);
                while (!stop_) {
                }
            });
        const sched_param none{};
        for (const QString &task : workerTasks()) {
            const int tid = QFileInfo(task).fileName().toInt();
            EXPECT_TRUE(::sched_setaffinity(tid, sizeof one_, &one_) == 0 &&
                        (!idle || ::sched_setscheduler(tid, SCHED_IDLE, &none) == 0));
        }
    }
    ~StarvedWorkers()
    {
        stop_ = true;
        for (std::thread &t : busy_)
            t.join();
    }

private:
    cpu_set_t one_;
    std::atomic<bool> stop_ = false;
    std::vector<std::thread> busy_;
};

// While it lives, the time the workers of `program` this process started waited for a CPU, against
// the time it lived: how loaded the machine was for them. Each task's finished waits as last read
// (a task that ended keeps them), or, where more, the time its tasks were found runnable at
// random moments less the CPU time they were seen to use (a wait under way, or of a task that
// ended between looks).
class WorkersKeptWaiting {
public:
    explicit WorkersKeptWaiting(const QString &program)
        : clock_(started()), watching_([this, program] {
              std::mt19937 random(7);
              for (qint64 at = clock_.nsecsElapsed(); !done_;) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution(10, 30)(random)));
                  const qint64 now = clock_.nsecsElapsed();
                  for (const QString &task : workerTasks(program)) {
                      const QList<QByteArray> sched = readAll(task + QStringLiteral("/schedstat")).split(' ');
                      const QByteArray stat = readAll(task + QStringLiteral("/stat"));
                      if (sched.size() < 2 || stat.isEmpty())
                          continue;
                      used_[task] = sched[0].toLongLong(), waitedNs_[task] = sched[1].toLongLong();
                      runnableNs_ += stat.mid(stat.lastIndexOf(") ") + 2, 1) == "R" ? now - at : 0;
                  }
                  at = now;
              }
          })
    {
    }
    ~WorkersKeptWaiting() { stop(); }
    // The share of the time it lived that they waited for a CPU (0 to 1 and more, tasks side by side).
    double share()
    {
        stop();
        qint64 ns = 0, used = 0;
        for (const auto &[task, waited] : waitedNs_)
            ns += waited, used += used_[task];
        return double(std::max(ns, runnableNs_ - used)) / std::max<qint64>(1, clock_.nsecsElapsed());
    }

private:
    void stop()
    {
        done_ = true;
        if (watching_.joinable())
            watching_.join();
    }
    QElapsedTimer clock_;
    std::map<QString, qint64> waitedNs_, used_;
    qint64 runnableNs_ = 0;
    std::atomic<bool> done_ = false;
    std::thread watching_;
};

} // namespace LWWorkerRows
