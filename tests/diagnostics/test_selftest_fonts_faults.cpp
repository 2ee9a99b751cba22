// The font checks over a copy of the bundled fonts with two files missing: one of the manifest
// and one stand-in. Registration happens once per process, so this is a program of its own.
#include "diagnostics/groups/fontchecks.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

bool copyTree(const QString &from, const QString &to, const QStringList &leaveOut)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (leaveOut.contains(QFileInfo(file).fileName()))
            continue;
        const QString target = to + file.mid(from.size());
        if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !QFile::copy(file, target))
            return false;
    }
    return true;
}

} // namespace

TEST(FontChecksFaults, MissingFilesAreNamed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(
        copyTree(QCoreApplication::applicationDirPath() + QStringLiteral("/Resources/Fonts"), dir.path(),
                 {QStringLiteral("BebasNeue_400Regular.ttf"), QStringLiteral("NunitoSans_400Regular.ttf")}));
    LWFonts::overrideBundledFolder(dir.path());
    LWFonts::registerBundled();

    LWSelfTest::FontFacts facts = LWSelfTest::FontFacts::current();
    facts.userFontFolders.clear();
    QStringList lines;
    LWTestRun run([&lines](const QByteArray &line, bool) { lines << QString::fromUtf8(line); });
    LWSelfTest::fontChecks(run, facts);
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(
        lines[4],
        QStringLiteral("FAIL  every bundled font file registers (47 of 48) [\"BebasNeue_400Regular.ttf\"]"));
    EXPECT_EQ(lines[5], QStringLiteral("FAIL  every bundled font loads by name [\"AvenirNext-Regular\"]"));
    EXPECT_TRUE(lines[6].startsWith(QLatin1String("PASS")))
        << lines[6].toStdString(); // the copy is the app's folder
    EXPECT_TRUE(lines[8].startsWith(QLatin1String("FAIL  font picker")));
    EXPECT_EQ(run.failed(), 3);
}
