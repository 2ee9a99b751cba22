#pragma once
// The environment of the check-group tests: bundled fonts, a TMPDIR and a settings file of the
// test's own, and the report lines of a run collected.
#include "diagnostics/selftest.h"
#include "model/file/prefs.h"
#include "model/testflags.h"
#include "render/text/fonts.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

class SelfTestGroupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(dir.path()));
        LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("user.ini"))));
    }
    void TearDown() override
    {
        VELKTestFlags::running = false; // the runner raises it
        LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("spent.ini"))));
        if (savedTmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", savedTmp);
    }

    // The PASS and FAIL lines of the groups run by the real runner (throw-away folder and settings).
    static QStringList checks(const QList<LWSelfTest::Group> &groups)
    {
        QStringList out;
        (void)LWSelfTest::run(groups, [&out](const QByteArray &line, bool) { keepCheck(out, line); });
        return out;
    }
    // The PASS and FAIL lines of one call on a tally of its own.
    static QStringList report(const std::function<void(LWTestRun &)> &group)
    {
        QStringList out;
        LWTestRun run([&out](const QByteArray &line, bool) { keepCheck(out, line); });
        group(run);
        return out;
    }

    // "P" or "F" for each of the PASS and FAIL lines.
    static QString verdicts(const QStringList &lines)
    {
        QString out;
        for (const QString &l : lines)
            out += l.startsWith(QLatin1String("PASS")) ? QLatin1Char('P') : QLatin1Char('F');
        return out;
    }

    QTemporaryDir dir;

private:
    static void keepCheck(QStringList &out, const QByteArray &line)
    {
        if (line.startsWith("PASS  ") || line.startsWith("FAIL  "))
            out << QString::fromUtf8(line);
    }
    QByteArray savedTmp;
};
