#include "app/app.h"
#include "diagnostics/screens.h"
#include "diagnostics/selftestaids.h"
#include "diagnostics/snapshot.h"
#include "kit/host/kithost.h"
#include "model/info.h"
#include "model/testflags.h"
#include "render/text/fonts.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

QByteArray bytes(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Different colours in a sparse grid of the picture: a blank or single-colour window has few.
int colours(const QImage &image)
{
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            seen.insert(image.pixel(x, y));
    return int(seen.size());
}

class ScreensTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override { VELKTestFlags::running = false; }
    std::optional<int> handle(const QStringList &args)
    {
        return LWSnapshot::handle(args, [this](const QByteArray &line, bool) { lines << QString::fromUtf8(line); });
    }
    QTemporaryDir dir;
    QStringList lines;
};

} // namespace

// The whole snapshot mode as the program runs it: samples, icon sheet and the nine pictures.
TEST_F(ScreensTest, WholeSnapshotMode)
{
    LWApp &app = LWApp::shared();
    VELKKitHost::setBundleInfo({}); // as in a console mode without the shell's set-up
    const QString folder = dir.filePath("snap");
    EXPECT_EQ(handle({"app", "--lw-snapshot", folder, "--only", "card-001"}), 0);
    EXPECT_EQ(lines, QStringList{"Snapshots written to " + folder});
    EXPECT_EQ(app.editor(), nullptr);
    EXPECT_EQ(app.screen(), LWAppScreen::start);
    EXPECT_EQ(VELKKitHost::bundleInfo().displayName, LWInfo::appName); // not the kit's own name

    QStringList want{"card-001.png", "card-001-eu.png", "icons.png"};
    for (const LWScreens::Shot &s : LWScreens::plan())
        want << QString::fromLatin1(s.file);
    QStringList found = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    found.sort();
    QStringList sorted = want;
    sorted.sort();
    EXPECT_EQ(found, sorted);

    const QList<QSize> sizes{{1500, 940}, {1500, 940}, {1500, 940}, {1500, 940}, {1500, 940},
                             {1500, 940}, {560, 470},  {580, 560},  {900, 620}};
    ASSERT_EQ(LWScreens::plan().size(), sizes.size());
    QSet<QByteArray> pictures;
    for (int i = 0; i < sizes.size(); ++i) {
        const QString file = QDir(folder).filePath(QString::fromLatin1(LWScreens::plan()[i].file));
        const QByteArray data = bytes(file);
        const std::optional<LWSelfTest::ImageInfo> info = LWSelfTest::imageInfo(data);
        ASSERT_TRUE(info) << file.toStdString();
        EXPECT_EQ(QSize(info->w, info->h), sizes[i]) << file.toStdString();
        EXPECT_NEAR(info->dpi, 72, 0.5) << file.toStdString();
        EXPECT_GT(colours(QImage::fromData(data)), 40) << file.toStdString();
        pictures.insert(data);
    }
    EXPECT_EQ(pictures.size(), sizes.size()); // every state shows something of its own
}

// A plain file in place of the folder: every one of the twelve files is named, no success line,
// status 1; the app still ends on the start screen without a design.
TEST_F(ScreensTest, NothingWritable)
{
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString folder = dir.filePath("plain");
    EXPECT_EQ(handle({"app", "--lw-snapshot", folder, "--only", "card-001"}), 1);
    QStringList want{"card-001.png", "card-001-eu.png", "icons.png"};
    for (const LWScreens::Shot &s : LWScreens::plan())
        want << QString::fromLatin1(s.file);
    for (QString &w : want)
        w = "Could not write " + folder + "/" + w;
    EXPECT_EQ(lines, want);
    EXPECT_EQ(LWApp::shared().editor(), nullptr);
    EXPECT_EQ(LWApp::shared().screen(), LWAppScreen::start);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"plain"});
}
