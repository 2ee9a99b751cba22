// Cancel while a 512-MiB PDF goes to a real CUPS scheduler through LWCupsBackend (its library
// calls): at moments after the document began to go (its first piece taken), the scheduler is
// frozen (SIGSTOP), and Cancel comes 1 s later; one row Cancels 1 s in with the scheduler running.
// Per row: ms from the stop flag to submit's return, and its answer. Then a 1-MiB job to its end,
// which must answer "" (gone). Exits 1 when a return took over 300 ms or the small job failed.
// Run through bench/cups_cancel.sh, which starts a scheduler of its own.
//   lw_bench_cupscancel QUEUE CUPSD_PID
#include "app/cupsbackend.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;
constexpr double boundMs = 300;

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// A valid PDF of one empty A4 page: `pad` bytes of comment lines between its header and objects.
QByteArray pdfPadded(qsizetype pad)
{
    QByteArray pdf("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    const qsizetype start = pdf.size();
    pdf.resize(start + pad, 'x');
    for (qsizetype line = 0; line < pad; line += 80) {
        pdf[start + line] = '%';
        pdf[start + std::min(line + 79, pad - 1)] = '\n';
    }
    const char *objects[] = {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                             "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>"};
    QList<qsizetype> offsets;
    for (int i = 0; i < 3; ++i) {
        offsets.append(pdf.size());
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 4\n0000000000 65535 f \n";
    for (qsizetype at : offsets)
        pdf += QByteArray::number(at).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size 4 /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

// A PDF of about `size` bytes (the padding's line ends aside, exactly).
QByteArray pdfOf(qsizetype size)
{
    const qsizetype bare = pdfPadded(0).size() + 2; // the offsets' digits grow with the padding
    return pdfPadded(std::max<qsizetype>(1, size - bare));
}

LWPrintJob jobOf(const QString &queue, const QString &title, const QByteArray &pdf)
{
    LWPrintJob job;
    job.printer = queue, job.title = title, job.pdf = pdf;
    return job;
}

QString told(const std::optional<QString> &answer)
{
    return answer ? u'"' + *answer + u'"' : QStringLiteral("none (cancelled)");
}

struct Outcome {
    bool returnedBeforeStop = false;
    bool returned = false; // within the wait below
    double ms = 0;         // from the stop flag to submit's return
    double sentAtStop = 0; // progress when the stop flag was set
    double startToFirst = 0;
    std::optional<QString> answer;
};

// Hands `pdf` over; `freezeAt` after its first piece went, freezes `cupsd` for 1 s before the stop
// flag (woken after the return); without it, sets the flag `cancelAt` after the first piece.
Outcome handOver(const QString &queue, const QByteArray &pdf, pid_t cupsd, std::optional<Ms> freezeAt, Ms cancelAt)
{
    LWCupsBackend backend;
    std::atomic<bool> stop{false};
    std::atomic<double> done{0};
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<Clock::time_point> firstPiece, returnedAt;
    Outcome out;

    LWPrintSteps steps;
    steps.stop = &stop;
    steps.progress = [&](double part) {
        done = part;
        const std::lock_guard lock(mutex);
        if (!firstPiece && part > 0) {
            firstPiece = Clock::now();
            changed.notify_all();
        }
    };
    const LWPrintJob job = jobOf(queue, QStringLiteral("lw_bench_cupscancel"), pdf);
    const Clock::time_point begun = Clock::now();
    std::thread submitting([&] {
        std::optional<QString> answer = backend.submit(job, steps);
        const Clock::time_point at = Clock::now();
        const std::lock_guard lock(mutex);
        out.answer = std::move(answer);
        returnedAt = at;
        changed.notify_all();
    });

    std::unique_lock lock(mutex);
    changed.wait_for(lock, std::chrono::seconds(30), [&] { return firstPiece || returnedAt; });
    if (!firstPiece || returnedAt) {
        out.returnedBeforeStop = true;
        stop = true;
        changed.wait(lock, [&] { return returnedAt.has_value(); });
        lock.unlock();
        submitting.join();
        return out;
    }
    const Clock::time_point first = *firstPiece;
    out.startToFirst = msBetween(begun, first);
    lock.unlock();

    if (freezeAt) {
        std::this_thread::sleep_until(first + *freezeAt);
        ::kill(cupsd, SIGSTOP);
        std::this_thread::sleep_for(std::chrono::seconds(1));
    } else {
        std::this_thread::sleep_until(first + cancelAt);
    }
    lock.lock();
    out.returnedBeforeStop = returnedAt.has_value();
    out.sentAtStop = done;
    const Clock::time_point stoppedAt = Clock::now();
    stop = true;
    out.returned = changed.wait_for(lock, std::chrono::seconds(30), [&] { return returnedAt.has_value(); });
    if (out.returned)
        out.ms = msBetween(stoppedAt, *returnedAt);
    if (freezeAt)
        ::kill(cupsd, SIGCONT);
    if (!changed.wait_for(lock, std::chrono::seconds(60), [&] { return returnedAt.has_value(); })) {
        std::printf("submit did not return within 60 s of the stop\n");
        std::fflush(stdout);
        std::_Exit(1); // its thread cannot be joined
    }
    lock.unlock();
    submitting.join();
    // The scheduler settles (the cut connection, the cancel) before the next row.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: lw_bench_cupscancel QUEUE CUPSD_PID\n");
        return 2;
    }
    const QString queue = QString::fromLocal8Bit(argv[1]);
    const pid_t cupsd = pid_t(std::atoi(argv[2]));
    if (cupsd <= 1 || ::kill(cupsd, 0) != 0) {
        std::fprintf(stderr, "no process %s to freeze\n", argv[2]);
        return 2;
    }
    bool failed = false;

    const QByteArray big = pdfOf(qsizetype(512) << 20);
    std::printf("document: %lld bytes; Cancel %g ms bound\n", (long long)big.size(), boundMs);
    struct Moment {
        const char *name;
        std::optional<Ms> freezeAt;
    };
    const Moment moments[] = {{"frozen 50 ms in", Ms(50)},
                              {"frozen 300 ms in", Ms(300)},
                              {"frozen 2 s in", Ms(2000)},
                              {"running, Cancel 1 s in", std::nullopt}};
    for (const Moment &moment : moments) {
        const Outcome out = handOver(queue, big, cupsd, moment.freezeAt, Ms(1000));
        if (out.returnedBeforeStop) {
            std::printf("%-24s returned before the stop: %s\n", moment.name, qPrintable(told(out.answer)));
            failed = true;
            continue;
        }
        const bool within = out.returned && out.ms <= boundMs;
        failed = failed || !within;
        std::printf("%-24s %8.1f ms stop->return%s  (first piece %.0f ms after submit; %.1f%% sent at stop)  "
                    "answer: %s\n",
                    moment.name, out.returned ? out.ms : -1.0, within ? "" : " OVER", out.startToFirst,
                    out.sentAtStop * 100, qPrintable(told(out.answer)));
    }

    const QByteArray small = pdfOf(qsizetype(1) << 20);
    LWCupsBackend backend;
    const std::atomic<bool> never{false};
    LWPrintSteps steps;
    steps.stop = &never;
    const Clock::time_point begun = Clock::now();
    const std::optional<QString> answer =
        backend.submit(jobOf(queue, QStringLiteral("lw_bench_cupscancel 1 MiB"), small), steps);
    const double took = msBetween(begun, Clock::now());
    const bool gone = answer && answer->isEmpty();
    failed = failed || !gone;
    std::printf("1 MiB to its end          %8.1f ms in all  answer: %s%s\n", took, qPrintable(told(answer)),
                gone ? " (gone)" : "  NOT GONE");
    return failed ? 1 : 0;
}
