#include "app/sheets/exportjob.h"

#include "render/export.h"
#include "render/sheet.h"
#include "render/worker/cancellable.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QMetaObject>
#include <QPdfDocument>
#include <QSet>

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace {

const QString cancelledText = QStringLiteral("the export was cancelled");
// When the drawing gives no reason of its own.
const QString drawFailedText = QStringLiteral(
    "The pages couldn't be drawn: the design needs more memory than is available (a picture may be too large or a "
    "text too long). No file was written.");
// The export ran out of memory: what may make room, for this export.
QString memoryFailure(const LWExportJob::Request &r)
{
    const bool raster = r.kind == LWExportJob::Kind::jpeg || r.kind == LWExportJob::Kind::png;
    return LWExport::notEnoughMemory + QStringLiteral(" No file was written.\n\nClose other designs") +
           (raster && r.dpi > 300 ? QStringLiteral(", export at 300 DPI") : QString()) +
           QStringLiteral(" or place a smaller copy of its largest picture, then export again.");
}

// Each picture once, in the order first met.
void addUndrawn(QList<LWPictureTally::Undrawn> &to, const QList<LWPictureTally::Undrawn> &more)
{
    for (const LWPictureTally::Undrawn &u : more)
        if (std::none_of(to.cbegin(), to.cend(), [&u](const LWPictureTally::Undrawn &t) { return t.element == u.element; }))
            to.append(u);
}

// The pages a PDF reader finds in `pdf`; 0 when it cannot read it.
int readPageCount(QByteArray pdf)
{
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument reader;
    reader.load(&buffer);
    return reader.status() == QPdfDocument::Status::Ready ? reader.pageCount() : 0;
}

// A PDF goes into its file in pieces of this size, so that cancelling stops a large one quickly.
constexpr qsizetype pdfPiece = qsizetype(1) << 20;

LWFileAccess::ReplaceProbe &testProbe()
{
    static LWFileAccess::ReplaceProbe probe;
    return probe;
}

// Released jobs whose threads have not ended yet. Main thread only.
QSet<LWExportJob *> &releasedJobs()
{
    static QSet<LWExportJob *> jobs;
    return jobs;
}

// At quit, every released job's thread is waited for, so that none outlives the application.
void endReleased()
{
    const QSet<LWExportJob *> jobs = std::exchange(releasedJobs(), {});
    for (LWExportJob *job : jobs)
        delete job;
}

} // namespace

// What the thread and the job share: the stop flag and the latest progress, which the thread
// posts to the job only when the job has taken the one posted before.
struct LWExportJob::Shared {
    std::atomic<bool> stop{false};
    std::mutex lock;
    int file = 0, files = 1;
    double done = 0;
    bool posted = false;
    std::optional<Result> result;
};

void LWExportJob::setProbe(LWFileAccess::ReplaceProbe probe) { testProbe() = std::move(probe); }

LWExportJob::LWExportJob(Request request, QObject *parent)
    : QObject(parent), request_(std::move(request)), shared_(std::make_shared<Shared>())
{
}

LWExportJob::~LWExportJob() { end(); }

void LWExportJob::cancel() { shared_->stop = true; }

void LWExportJob::end()
{
    cancel();
    if (thread_.joinable())
        thread_.join();
    ended_ = true;
}

void LWExportJob::release()
{
    cancel();
    QObject::disconnect(this, nullptr, nullptr, nullptr);
    setParent(nullptr);
    released_ = true;
    if (!thread_.joinable() || ended_) {
        deleteLater();
        return;
    }
    static const bool hooked = [] {
        if (QCoreApplication *app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, app, &endReleased);
        return true;
    }();
    (void)hooked;
    releasedJobs().insert(this);
}

bool LWExportJob::anyEnding() { return !releasedJobs().isEmpty(); }

namespace {

using Kind = LWExportJob::Kind;
using Result = LWExportJob::Result;

// The whole export on the calling thread; `progress(file, done)` after each band or page. Every
// file is made in full in its temporary first; only then are they put in place together.
Result run(const LWExportJob::Request &r, const std::atomic<bool> &stop, const LWFileAccess::ReplaceProbe &probe,
           const std::function<void(int file, double done)> &progress)
{
    Result out;
    const auto stopped = [&stop] { return stop.load(); };
    std::vector<LWFileAccess::Replacement> made;
    QStringList madeFiles;
    // False when the file couldn't be made: `out` then says why.
    const auto keep = [&](const QString &file, const QString &why, LWFileAccess::Replacement &replacement) {
        if (!why.isEmpty()) {
            if (stopped())
                out.cancelled = true;
            else
                out.failedFile = file, out.reason = why, out.unchanged = r.files.size() > 1;
            return false;
        }
        made.push_back(std::move(replacement));
        madeFiles.append(file);
        return true;
    };
    if (r.kind == Kind::pdf || r.kind == Kind::sheet) {
        const qsizetype pages = std::max<qsizetype>(1, r.pages.size());
        const LWExport::PageDone pageDone = [&](int drawn) {
            progress(0, double(drawn) / double(pages));
            return !stopped();
        };
        LWExport::PdfOutcome made;
        // Cancel is heard in every wait on the pictures' decodes too, not only between pages.
        const LWDecodeWorkers::Cancellable listening(stopped);
        if (r.kind == Kind::pdf)
            made = LWExport::pdfExport(r.doc, r.pages, r.bleed, pageDone);
        else
            made.bytes = LWExport::sheetPDF(r.doc, r.pages, pageDone, &made.undrawn);
        const std::optional<QByteArray> &bytes = made.bytes;
        if (stopped()) {
            out.cancelled = true;
            return out;
        }
        if (!bytes) {
            if (LWExport::validPages(r.doc, r.pages).isEmpty())
                out.nothingDrawn = true;
            else
                out.drawFailure = made.reason == LWExport::notEnoughMemory ? memoryFailure(r) : drawFailedText;
            return out;
        }
        out.undrawn = made.undrawn;
        if (r.files.isEmpty()) {
            out.pageCount = readPageCount(*bytes);
            out.pdf = std::move(*made.bytes);
            return out;
        }
        const QString file = r.files.value(0);
        LWFileAccess::Replacement replacement;
        const QString why = replacement.prepare(
            file,
            LWFileAccess::Contents([&](const LWFileAccess::Append &append) {
                for (qsizetype at = 0; at < bytes->size(); at += pdfPiece) {
                    if (stopped())
                        return cancelledText;
                    if (const int e = append(bytes->constData() + at, std::min(pdfPiece, bytes->size() - at)))
                        return LWFileAccess::systemReason(e);
                }
                return QString();
            }),
            probe);
        if (!keep(file, why, replacement))
            return out;
    } else {
        const LWExport::RasterType type = r.kind == Kind::jpeg ? LWExport::RasterType::jpeg : LWExport::RasterType::png;
        for (int i = 0; i < r.files.size(); ++i) {
            if (stopped()) {
                out.cancelled = true;
                return out;
            }
            const int page = r.pages.value(i, -1);
            if (!LWExport::rasterFits(r.doc, page, r.dpi, r.bleed, type))
                continue;
            QString reason;
            QList<LWPictureTally::Undrawn> undrawn;
            LWExport::RasterWriteHooks hooks{stopped, [&](int done, int count) { progress(i, double(done) / count); },
                                             probe, &reason, &undrawn};
            // Raster pages are drawn and written a band at a time, straight into the temporary.
            LWFileAccess::Replacement replacement;
            const QString why =
                LWExport::prepareRaster(r.doc, page, r.dpi, r.bleed, type, r.quality, r.files[i], replacement, hooks);
            if (!why.isEmpty() && reason == LWExport::notEnoughMemory && !stopped()) {
                out.drawFailure = memoryFailure(r); // the machine's memory, not the disk's
                return out;
            }
            if (!keep(r.files[i], why, replacement))
                return out;
            addUndrawn(out.undrawn, undrawn);
        }
        if (made.empty()) {
            out.nothingDrawn = true;
            return out;
        }
    }
    // The last step is short and no longer cancelled; a cancel before it leaves every earlier file.
    if (stopped()) {
        out.cancelled = true;
        return out;
    }
    qsizetype failed = -1;
    bool restored = true;
    const QString why = LWFileAccess::Replacement::commitAll(made, failed, restored);
    if (why.isEmpty()) {
        out.written = madeFiles;
    } else {
        out.failedFile = madeFiles.value(failed);
        out.reason = why;
        out.unchanged = restored && r.files.size() > 1;
    }
    return out;
}

} // namespace

void LWExportJob::start()
{
    if (thread_.joinable() || ended_)
        return;
    shared_->files = int(std::max<qsizetype>(1, request_.files.size()));
    // The job waits for the thread before it goes, so it outlives every post; a post it has not
    // taken goes with it.
    const auto post = [this] { QMetaObject::invokeMethod(this, [this] { report(); }, Qt::QueuedConnection); };
    thread_ = std::thread([request = std::move(request_), shared = shared_, probe = testProbe(), post] {
        const auto progress = [&](int file, double done) {
            std::lock_guard<std::mutex> locker(shared->lock);
            shared->file = file;
            shared->done = done;
            if (!std::exchange(shared->posted, true))
                post();
        };
        Result result = run(request, shared->stop, probe, progress);
        std::lock_guard<std::mutex> locker(shared->lock);
        shared->result = std::move(result);
        if (!std::exchange(shared->posted, true))
            post();
    });
}

void LWExportJob::report()
{
    int file = 0, files = 1;
    double done = 0;
    std::optional<Result> result;
    {
        std::lock_guard<std::mutex> locker(shared_->lock);
        shared_->posted = false;
        file = shared_->file;
        files = shared_->files;
        done = shared_->done;
        result = shared_->result;
    }
    if (ended_)
        return;
    if (!result) {
        if (!released_)
            Q_EMIT progressed(file, files, done);
        return;
    }
    thread_.join();
    ended_ = true;
    if (released_) {
        releasedJobs().remove(this);
        deleteLater();
        return;
    }
    Q_EMIT finished(*result);
}
