#include "diagnostics/testrun.h"

#include <cstdio>

LWReportSink LWStdoutSink()
{
    return [](const QByteArray &line, bool flush) {
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fputc('\n', stdout);
        if (flush)
            std::fflush(stdout);
    };
}

LWTestRun::LWTestRun(LWReportSink sink) : m_sink(std::move(sink)) {}

void LWTestRun::begin(const QString &title) { print(QStringLiteral("== ") + title, true); }

void LWTestRun::check(bool ok, const QString &label)
{
    ++(ok ? m_passed : m_failed);
    print((ok ? QStringLiteral("PASS  ") : QStringLiteral("FAIL  ")) + label, true);
}

void LWTestRun::print(const QString &line, bool flush)
{
    if (m_sink)
        m_sink(line.toUtf8(), flush);
}
