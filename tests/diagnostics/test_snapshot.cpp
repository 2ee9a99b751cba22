#include "diagnostics/snapshot.h"
#include "model/testflags.h"
#include "render/text/fonts.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using LWSnapshot::Request;

namespace
{

std::string show(const QStringList &args)
{
    return args.join(u' ').toStdString();
}

// Every run acts inside a folder of its own, which is also the current folder.
class SnapshotTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        saved = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        VELKTestFlags::running = false;
    }
    void TearDown() override
    {
        QDir::setCurrent(saved);
        VELKTestFlags::running = false;
    }
    std::optional<int> handle(const QStringList &args, const LWSnapshot::SnapshotWriters &writers = {})
    {
        return LWSnapshot::handle(
            args, [this](const QByteArray &line, bool) { lines << QString::fromUtf8(line); }, writers);
    }
    static QSize pixelSize(const QString &file) { return QImageReader(file).size(); }

    QTemporaryDir dir;
    QString saved;
    QStringList lines;
};

} // namespace

TEST_F(SnapshotTest, OptionTable)
{
    using M = Request::Mode;
    const auto req = [](M mode, QString path, std::optional<QString> only = std::nullopt) { return Request{mode, path, only}; };
    const QList<std::pair<QStringList, std::optional<Request>>> cases{
        {{}, std::nullopt},
        {{"app"}, std::nullopt},
        {{"app", "--lw-contact-sheets"}, std::nullopt},
        {{"app", "--lw-snapshot"}, std::nullopt},
        {{"app", "--LW-SNAPSHOT", "x"}, std::nullopt},
        {{"app", "--lw-snapshot=x", "y"}, std::nullopt},
        {{"app", "-lw-contact-sheet", "x"}, std::nullopt},
        {{"app", "--lw-contact-sheets", "dir"}, req(M::contactSheets, "dir")},
        // The first of a repeated option, and a value taken unchanged.
        {{"app", "--lw-contact-sheet", "a.png", "--lw-contact-sheet", "b.png"}, req(M::contactSheet, "a.png")},
        {{"app", "--lw-contact-sheet", "--x"}, req(M::contactSheet, "--x")},
        // Table order wins over argument order.
        {{"app", "--lw-snapshot", "snap", "--lw-contact-sheets", "dir"}, req(M::contactSheets, "dir")},
        {{"app", "--lw-snapshot", "snap", "--lw-contact-sheet", "f.png"}, req(M::contactSheet, "f.png")},
        // An option without its value lets a later one apply.
        {{"app", "--lw-snapshot", "snap", "--lw-contact-sheets"}, req(M::snapshot, "snap")},
        {{"app", "--only", "card-001", "--lw-snapshot", "snap"}, req(M::snapshot, "snap", "card-001")},
        {{"app", "--lw-snapshot", "snap", "--only", "all", "--only", "x"}, req(M::snapshot, "snap", "all")},
        {{"app", "--lw-snapshot", "snap", "--only"}, req(M::snapshot, "snap")},
        {{"app", "--lw-contact-sheets", "dir", "--only", "x"}, req(M::contactSheets, "dir")},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(LWSnapshot::request(c.first), c.second) << show(c.first);
        if (!c.second) { // the program goes on as usual: no test flag, no output, no files
            EXPECT_EQ(handle(c.first), std::nullopt) << show(c.first);
            EXPECT_FALSE(VELKTestFlags::running);
        }
    }
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(SnapshotTest, SnapshotModeRunsItsWritersOnAbsolutePaths)
{
    QStringList calls;
    QStringList failing; // what the fake writers report as not written
    const LWSnapshot::SnapshotWriters writers{
        [&](const QString &folder, const std::optional<QString> &only) {
            EXPECT_TRUE(VELKTestFlags::running); // raised before any work
            calls << "samples " + folder + " " + only.value_or("(none)");
            return failing.mid(0, 2);
        },
        [&](const QString &file) {
            calls << "icons " + file;
            return failing.mid(2, 1);
        },
        [&](const QString &folder) {
            calls << "screens " + folder;
            return failing.mid(3);
        }};
    const QString folder = dir.filePath("a/b/snap");
    EXPECT_EQ(handle({"app", "--only", "flyer-01", "--lw-snapshot", "a/b/snap"}, writers), 0);
    EXPECT_TRUE(QFileInfo(folder).isDir()); // parents made
    EXPECT_EQ(calls, QStringList({"samples " + folder + " flyer-01", "icons " + folder + "/icons.png",
                                  "screens " + folder}));
    EXPECT_EQ(lines, QStringList{"Snapshots written to " + folder});
    EXPECT_TRUE(VELKTestFlags::running);

    // Every writer still runs after another failed; each file not made is one line, and the run
    // neither claims success nor ends 0. A mode whose writers are not built succeeds.
    ASSERT_TRUE(QFile(dir.filePath("plain")).open(QIODevice::WriteOnly));
    failing = QStringList{"/x/a.png", "/x/b.png", "/x/icons.png", "/x/ui-1.png"};
    calls.clear();
    lines.clear();
    EXPECT_EQ(handle({"app", "--lw-snapshot", "plain", "--only"}, writers), 1);
    EXPECT_EQ(calls.size(), 3);
    EXPECT_TRUE(calls.first().endsWith("(none)"));
    EXPECT_EQ(lines, QStringList({"Could not write /x/a.png", "Could not write /x/b.png",
                                  "Could not write /x/icons.png", "Could not write /x/ui-1.png"}));
    lines.clear();
    EXPECT_EQ(handle({"app", "--lw-snapshot", "plain"}, LWSnapshot::SnapshotWriters{}), 0);
    EXPECT_EQ(lines, QStringList{"Snapshots written to " + dir.filePath("plain")});
}

// Writes the four sheets once: their sizes, that nothing else runs beside them, and that an
// earlier file is replaced.
TEST_F(SnapshotTest, AllFourSheetsAndNothingElse)
{
    const QString sheets = dir.filePath("sheets");
    ASSERT_TRUE(QDir().mkpath(sheets));
    const QString first = sheets + "/contact sheet 1 - US cards and Letter flyers.png";
    {
        QFile old(first);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("not a picture") > 0);
    }

    bool snapshotRan = false;
    const LWSnapshot::SnapshotWriters writers{
        [&](const QString &, const std::optional<QString> &) {
            snapshotRan = true;
            return QStringList();
        },
        {},
        {}};
    EXPECT_EQ(handle({"app", "--lw-snapshot", "snap", "--lw-contact-sheets", "sheets"}, writers), 0);
    EXPECT_TRUE(VELKTestFlags::running && !snapshotRan);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("snap")));

    const struct {
        const char *name;
        QSize size;
    } want[] = {{"contact sheet 1 - US cards and Letter flyers.png", {2598, 6986}},
                {"contact sheet 2 - EU cards.png", {2598, 3773}},
                {"contact sheet 3 - A4 flyers.png", {2598, 4002}},
                {"contact sheet 4 - half-letter flyers.png", {2598, 4317}}};
    QStringList names, expectedLines;
    for (const auto &w : want) {
        const QString path = sheets + "/" + QString::fromUtf8(w.name);
        names << QString::fromUtf8(w.name);
        EXPECT_EQ(pixelSize(path), w.size) << w.name;
        expectedLines << QStringLiteral("Contact sheet: %1 (%2 \u00D7 %3 px)").arg(path).arg(w.size.width()).arg(w.size.height());
    }
    EXPECT_EQ(lines, expectedLines);
    names.sort();
    EXPECT_EQ(QDir(sheets).entryList(QDir::Files | QDir::Hidden), names); // no temporaries left
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"sheets"});
}

TEST_F(SnapshotTest, OneSheetToTheFirstValueOnly)
{
    EXPECT_EQ(handle({"app", "--lw-contact-sheet", "first.png", "--lw-contact-sheet", "second.png"}), 0);
    EXPECT_EQ(pixelSize(dir.filePath("first.png")), QSize(2598, 6986));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("second.png")));
    EXPECT_EQ(lines, QStringList{"Contact sheet: " + dir.filePath("first.png") + " (2598 \u00D7 6986 px)"});
}

TEST_F(SnapshotTest, SheetsThatCannotBeWritten)
{
    ASSERT_TRUE(QFile(dir.filePath("plain")).open(QIODevice::WriteOnly));
    const QList<std::pair<QStringList, QString>> cases{ // arguments, the file that failed
        // The file's folder is not made.
        {{"app", "--lw-contact-sheet", "missing/sheet.png"}, dir.filePath("missing/sheet.png")},
        // The folder cannot be made: the first sheet fails once, the others are not tried.
        {{"app", "--lw-contact-sheets", "plain"},
         dir.filePath("plain/contact sheet 1 - US cards and Letter flyers.png")},
    };
    for (const auto &c : cases) {
        lines.clear();
        EXPECT_EQ(handle(c.first), 1) << show(c.first);
        EXPECT_EQ(lines, QStringList{"Could not write " + c.second}) << show(c.first);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"plain"});
}
