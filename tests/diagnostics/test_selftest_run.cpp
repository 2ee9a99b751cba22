#include "diagnostics/groupfixture.h"
#include "kit/theme/themes.h"
#include "kit/zoom/zoom.h"
#include "model/file/documentio.h"
#include "model/file/prefs.h"
#include "model/file/recent.h"
#include "model/testflags.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

using Checks = QList<std::pair<bool, QString>>;

// A group that reports the given checks under its title.
LWSelfTest::Group fakeGroup(QString title, Checks checks)
{
    return [title, checks](LWTestRun &run) {
        run.begin(title);
        for (const auto &check : checks)
            run.check(check.first, check.second);
    };
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every run works under a TMPDIR and a user settings file of its own.
class SelfTestRun : public SelfTestGroupTest {
protected:
    QList<std::pair<QString, bool>> lines; // text, flushed
    int run(const QList<LWSelfTest::Group> &groups)
    {
        return LWSelfTest::run(groups, [this](const QByteArray &line, bool flush) {
            lines.append({QString::fromUtf8(line), flush});
        });
    }
};

TEST_F(SelfTestRun, ReportLinesAndExitCode)
{
    struct Case {
        const char *name;
        QList<Checks> groups;
        QStringList body; // between the banner and the run-time line
        QString result;
        int code;
    };
    const QList<Case> cases{
        {"all pass", {{{true, "one"}, {true, "two"}, {true, "three"}}},
         {"== G1", "PASS  one", "PASS  two", "PASS  three"}, "RESULT: ALL 3 CHECKS PASSED", 0},
        {"one fails, the next group still runs", {{{true, "a"}, {false, "size 3 \u00d7 2 [\"x\"]"}}, {{true, ""}}},
         {"== G1", "PASS  a", "FAIL  size 3 \u00d7 2 [\"x\"]", "== G2", "PASS  "}, "RESULT: 1 FAILED, 2 passed", 1},
        {"all fail", {{{false, "x"}}}, {"== G1", "FAIL  x"}, "RESULT: 1 FAILED, 0 passed", 1},
        {"no groups", {}, {}, "RESULT: NO CHECKS RAN", 1},
        {"a group without checks", {{}}, {"== G1"}, "RESULT: NO CHECKS RAN", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        lines.clear();
        QList<LWSelfTest::Group> groups;
        for (qsizetype i = 0; i < c.groups.size(); ++i)
            groups.append(fakeGroup(QStringLiteral("G%1").arg(i + 1), c.groups[i]));
        EXPECT_EQ(run(groups), c.code);

        QStringList all;
        for (const auto &l : lines)
            all << l.first;
        ASSERT_EQ(all.size(), c.body.size() + 3);
        const QRegularExpression banner(
            QStringLiteral("^VELK Leafwrighter self-test \u2014 \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$"));
        EXPECT_TRUE(banner.match(all.first()).hasMatch()) << all.first().toStdString();
        EXPECT_EQ(all.mid(1, c.body.size()), c.body);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^Time: \\d+\\.\\d s$")).match(all[all.size() - 2]).hasMatch());
        EXPECT_EQ(all.last(), c.result);
        // Titles, checks and the result are flushed; the banner and the run time wait for the next.
        for (qsizetype i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i].second, i != 0 && i != lines.size() - 2) << i;
    }
}

TEST(SelfTestTally, CountsBeforePrintingAndBeginLeavesCounters)
{
    QList<std::pair<qint64, qint64>> seen; // the counters as each line is printed
    LWTestRun *tally = nullptr;
    LWTestRun run([&](const QByteArray &, bool) { seen.append({tally->passed(), tally->failed()}); });
    tally = &run;
    run.check(true, "a");
    run.begin("title");
    run.check(false, "b");
    run.begin("again");
    EXPECT_EQ(seen, (QList<std::pair<qint64, qint64>>{{1, 0}, {1, 0}, {1, 1}, {1, 1}}));
}

TEST_F(SelfTestRun, ThrowAwayStateIsSeparateAndRemoved)
{
    // The user's settings as the application leaves them.
    LWSettings::shared().setValue(VELKThemes::key, QStringLiteral("rose-gold"));
    LWSettings::shared().setValue(VKZoom::key, 1.3);
    LWPrefs::store().setValue(LWPrefs::recentKey, QStringList{dir.filePath(QStringLiteral("kept.velkfolio"))});
    LWPrefs::store().sync();
    const QString userSettings = dir.filePath(QStringLiteral("user.ini"));
    const QByteArray userBefore = fileBytes(userSettings);
    ASSERT_FALSE(userBefore.isEmpty());

    QString folder, settingsFile;
    bool flagRaised = false, startedEmpty = false, savedThere = false;
    const LWSelfTest::Group group = [&](LWTestRun &run, const QString &f) {
        run.begin(QStringLiteral("State"));
        folder = f;
        settingsFile = LWPrefs::store().fileName();
        flagRaised = VELKTestFlags::running;
        startedEmpty = LWPrefs::store().allKeys().isEmpty();
        const QUrl url = QUrl::fromLocalFile(QDir(f).filePath(QStringLiteral("card.velkfolio")));
        savedThere = LWDocumentIO::save(LWDocument::blank(LWSizePreset::usCard, std::nullopt), url).ok() &&
                     LWRecent::paths().value(0) == url.toLocalFile();
        VELKThemes::setCurrentID(QStringLiteral("forest-green"));
        VKZoom::setValue(2.0);
        run.check(true, QString());
    };
    EXPECT_EQ(run({group}), 0);

    EXPECT_TRUE(flagRaised && startedEmpty && savedThere);
    // Both right under TMPDIR, named apart.
    const QString tmp = QFileInfo(dir.path()).absoluteFilePath();
    EXPECT_TRUE(QFileInfo(folder).absolutePath() == tmp && QFileInfo(settingsFile).absolutePath() == tmp);
    const auto named = [](const char *pattern, const QString &path) {
        return QRegularExpression(QString::fromLatin1(pattern)).match(QFileInfo(path).fileName()).hasMatch();
    };
    EXPECT_TRUE(named("^LeafwrighterSelfTest-[0-9A-F-]{36}$", folder)) << folder.toStdString();
    EXPECT_TRUE(named("^lf\\.selftest\\.[0-9A-F-]{36}\\.ini$", settingsFile)) << settingsFile.toStdString();
    // Folder and settings file are gone (no lock file either); the user's file is untouched.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("user.ini")});
    EXPECT_EQ(fileBytes(userSettings), userBefore);
}

TEST(SelfTestList, ListText)
{
    const qsizetype all = std::numeric_limits<qsizetype>::max();
    const QList<std::tuple<QStringList, qsizetype, QString>> cases{ // items, limit, text
        {{}, all, "[]"},
        {{"a", "b"}, all, "[\"a\", \"b\"]"},
        {{"a", "b", "c"}, 2, "[\"a\", \"b\"]"},
        {{"a"}, 0, "[]"},
        {{"say \"hi\" \\ bye", ""}, all, "[\"say \\\"hi\\\" \\\\ bye\", \"\"]"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(LWSelfTest::listText(std::get<0>(c), std::get<1>(c)), std::get<2>(c)) << std::get<2>(c).toStdString();
}

} // namespace
