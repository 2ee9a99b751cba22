#include "diagnostics/selftest.h"

#include "model/file/prefs.h"
#include "model/testflags.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QUuid>

namespace LWSelfTest {

namespace {

QString newUuid() { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); }

QString resultText(qint64 passed, qint64 failed)
{
    if (passed + failed == 0)
        return QStringLiteral("NO CHECKS RAN");
    if (failed == 0)
        return QStringLiteral("ALL %1 CHECKS PASSED").arg(passed);
    return QStringLiteral("%1 FAILED, %2 passed").arg(failed).arg(passed);
}

} // namespace

int run() { return run(groups(), LWStdoutSink()); }

int run(const QList<Group> &groups, const LWReportSink &sink)
{
    VELKTestFlags::running = true;
    LWTestRun tally(sink);
    QElapsedTimer clock;
    clock.start();
    tally.print(QStringLiteral("VELK Leafwrighter self-test \u2014 ") +
                    QDateTime::currentDateTimeUtc().toString(Qt::ISODate),
                false);

    const QDir temp(QDir::tempPath());
    const QString folder = temp.filePath(QStringLiteral("LeafwrighterSelfTest-") + newUuid());
    (void)temp.mkpath(folder); // a group that needs the folder reports its own failure
    // Every setting the run reads or writes (recent designs, theme, zoom, view toggles) goes to
    // this file, so the user's own settings are never even opened.
    const QString settingsFile = temp.filePath(QStringLiteral("lf.selftest.") + newUuid() + QStringLiteral(".ini"));
    const std::shared_ptr<QSettings> settings = LWPrefs::makeStore(settingsFile);
    LWPrefs::setStore(settings);

    for (const Group &group : groups)
        group.body(tally, folder);

    tally.print(QStringLiteral("Time: %1 s").arg(double(clock.nsecsElapsed()) / 1e9, 0, 'f', 1), false);
    const qint64 passed = tally.passed(), failed = tally.failed();
    tally.print(QStringLiteral("RESULT: ") + resultText(passed, failed), true);

    // Written out now, so that nothing is left pending for the object's destruction to write
    // back after the file is gone; nothing writes a setting after this.
    settings->sync();
    QFile::remove(settingsFile);
    QDir(folder).removeRecursively();
    return failed == 0 && passed > 0 ? 0 : 1;
}

QString listText(const QStringList &items, qsizetype limit)
{
    QStringList quoted;
    for (qsizetype i = 0; i < items.size() && i < limit; ++i) {
        QString item = items[i];
        item.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
        quoted << QLatin1Char('"') + item + QLatin1Char('"');
    }
    return QLatin1Char('[') + quoted.join(QStringLiteral(", ")) + QLatin1Char(']');
}

} // namespace LWSelfTest
