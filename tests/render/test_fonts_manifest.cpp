// Registration from a hand-made resource folder. Registration happens once per process, so this
// runs as its own test program.
#include "render/text/fonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
bool write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
} // namespace

TEST(FontsCraftedFolder, FailuresEmptyEntriesAndNoStandIns)
{
    const QString real = QCoreApplication::applicationDirPath() + QStringLiteral("/Resources/Fonts");
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QDir root(tmp.path());
    ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("Allura"))));
    ASSERT_TRUE(QFile::copy(real + QStringLiteral("/Allura/Allura_400Regular.ttf"),
                            root.filePath(QStringLiteral("Allura/Allura_400Regular.ttf"))));
    ASSERT_TRUE(write(root.filePath(QStringLiteral("Broken/broken.ttf")), QByteArray(4000, 'x')));
    ASSERT_TRUE(write(root.filePath(QStringLiteral("fonts-manifest.json")), R"([
        {"family":"Allura","group":"Script","folder":"Allura","files":["Missing.ttf","Allura_400Regular.ttf"],
         "license":"SIL Open Font License 1.1","source":"s","fileURLs":[],"licenseURL":"u"},
        {"family":"Empty Family","group":"Retro","folder":"Empty","files":[],
         "license":"SIL Open Font License 1.1","source":"s","fileURLs":[],"licenseURL":"u"},
        {"family":"Broken","group":"Retro","folder":"Broken","files":["broken.ttf"],
         "license":"SIL Open Font License 1.1","source":"s","fileURLs":[],"licenseURL":"u"}])"));

    LWFonts::overrideBundledFolder(tmp.path());
    LWFonts::registerBundled();

    EXPECT_EQ(LWFonts::registeredPostScript(), QStringList{"Allura-Regular"});
    EXPECT_EQ(LWFonts::registrationFailures(), (QStringList{"Missing.ttf", "broken.ttf"}));
    EXPECT_EQ(LWFonts::bundledFamilies(), (QStringList{"Allura", "Empty Family", "Broken"}));
    EXPECT_EQ(LWFonts::postScriptNameOf(LWFonts::font(QStringLiteral("Allura-Regular"), 20)),
              QStringLiteral("Allura-Regular"));

    // Without fonts-standins.json there are no stand-ins, and the fallback chain ends at the system font.
    EXPECT_FALSE(LWFonts::isInstalled(QStringLiteral("AvenirNext-Regular")));
    EXPECT_EQ(LWFonts::familyName(QStringLiteral("AvenirNext-Regular")), QStringLiteral("AvenirNext-Regular"));
    const QFont fallback = LWFonts::font(QStringLiteral("AvenirNext-Regular"), 9);
    EXPECT_DOUBLE_EQ(fallback.pointSizeF(), 9);
    EXPECT_NE(LWFonts::postScriptNameOf(fallback), QStringLiteral("Allura-Regular"));
}
