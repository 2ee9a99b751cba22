#pragma once
#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>

// Where the self-test's report goes: one call per line (UTF-8, without its "\n"); `flush` says
// whether standard output is flushed after the line.
using LWReportSink = std::function<void(const QByteArray &line, bool flush)>;

// Standard output: each line ended by "\n", flushed when asked.
LWReportSink LWStdoutSink();

// The tally of one self-test run, shared by all its groups. Counts only grow. Main thread only.
class LWTestRun {
public:
    explicit LWTestRun(LWReportSink sink = LWStdoutSink());
    LWTestRun(const LWTestRun &) = delete;
    LWTestRun &operator=(const LWTestRun &) = delete;

    qint64 passed() const { return m_passed; }
    qint64 failed() const { return m_failed; }

    // "== " + title, flushed. The counters stay as they are.
    void begin(const QString &title);
    // Counts first, then prints "PASS" or "FAIL", two spaces and the label unchanged, flushed.
    void check(bool ok, const QString &label);
    // Any other report line (banner, run time, result).
    void print(const QString &line, bool flush);

private:
    LWReportSink m_sink;
    qint64 m_passed = 0;
    qint64 m_failed = 0;
};
