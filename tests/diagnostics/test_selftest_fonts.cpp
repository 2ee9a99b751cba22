// The font checks over the real registry and over hand-made facts.
#include "diagnostics/groupfixture.h"
#include "diagnostics/groups/fontchecks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{

bool write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

LWFonts::Bundled entry(const QString &family, const QString &group = QStringLiteral("Retro"),
                       const QString &license = QStringLiteral("SIL Open Font License 1.1"))
{
    LWFonts::Bundled b;
    b.family = family;
    b.group = group;
    b.folder = QString(family).remove(QLatin1Char(' '));
    b.files = {b.folder + QStringLiteral("_400Regular.ttf")};
    b.license = license;
    b.source = QString::fromLatin1(LWSelfTest::fontSourcePrefix) + b.folder.toLower();
    return b;
}

class FontChecks : public SelfTestGroupTest
{
  protected:
    QString path(const QString &name) const { return dir.filePath(name); }
    // Facts with nothing registered and no user font folder.
    LWSelfTest::FontFacts emptyFacts(std::optional<QString> fontsFolder = std::nullopt) const
    {
        LWSelfTest::FontFacts facts;
        facts.fontsFolder = fontsFolder.value_or(path("Fonts"));
        return facts;
    }
    // The check lines of one run of the group.
    static QStringList checkLines(const LWSelfTest::FontFacts &facts)
    {
        return report([&facts](LWTestRun &run) { LWSelfTest::fontChecks(run, facts); });
    }
};

} // namespace

TEST_F(FontChecks, ManifestSizeAndStyleGroups)
{
    for (int n : {0, 24, 25, 40, 41}) {
        LWSelfTest::FontFacts facts = emptyFacts();
        for (int i = 0; i < n; ++i)
            facts.manifest << entry(QStringLiteral("F%1").arg(i));
        const QStringList lines = checkLines(facts);
        EXPECT_EQ(lines[0], QStringLiteral("%1  %2 font families bundled (25\u201340)")
                                .arg(n == 25 || n == 40 ? "PASS" : "FAIL")
                                .arg(n));
        if (n == 0) { // also fails 5 (nothing registered) and 9 (no groups)
            EXPECT_EQ(verdicts(lines).left(7), QStringLiteral("FPPPFPP"));
            EXPECT_TRUE(lines[8].startsWith(QLatin1String("FAIL")));
        }
    }

    const QStringList required{"Bold display",  "Condensed",    "Slab",  "Script",  "Handwriting",
                               "Elegant serif", "Rounded sans", "Retro", "Stencil", "Grunge"};
    LWSelfTest::FontFacts facts = emptyFacts();
    for (const QString &group : required)
        facts.manifest << entry(group + QStringLiteral(" Family"), group);
    facts.manifest << entry("Extra", "Art deco") << entry("Z", "Zany");
    EXPECT_EQ(checkLines(facts)[8], QStringLiteral("PASS  a range of styles: Art deco, Bold display, Condensed, Elegant serif, "
                                                   "Grunge, Handwriting, Retro, Rounded sans, Script, Slab, Stencil, Zany"));
    facts.manifest.removeAt(3); // no "Script"
    EXPECT_TRUE(checkLines(facts)[8].startsWith(QLatin1String("FAIL")));
}

TEST_F(FontChecks, LicenceEntriesAndFiles)
{
    const QString fonts = path("Fonts");
    ASSERT_TRUE(write(fonts + QStringLiteral("/MixedCase/OFL.txt"), "Sil Open Font License, Version 1.1"));
    ASSERT_TRUE(write(fonts + QStringLiteral("/NoPhrase/OFL.txt"), "Apache License"));
    ASSERT_TRUE(write(fonts + QStringLiteral("/BadUtf8/OFL.txt"), "SIL OPEN FONT LICENSE \xff\xfe"));
    ASSERT_TRUE(write(path("Outside/OFL.txt"), "SIL OPEN FONT LICENSE"));

    struct Case {
        QString family, folder;
        bool versioned, fileFound; // the manifest names the licence's version; check 3 finds its text
    };
    const QList<Case> cases{
        {"Mixed Case", "MixedCase", true, true},  {"Without Version", "MixedCase", false, true},
        {"Licence Gone", "Elsewhere", true, false}, {"No Phrase", "NoPhrase", true, false},
        {"Bad UTF-8", "BadUtf8", true, false},     {"Climbs Out", "../Outside", true, false},
        {"Dot", ".", true, false},                 {"Empty Folder Name", "", true, false},
    };
    for (const Case &c : cases) {
        LWSelfTest::FontFacts facts = emptyFacts(fonts);
        LWFonts::Bundled e = entry(c.family, "Retro", c.versioned ? "SIL Open Font License 1.1" : "SIL Open Font License");
        e.folder = c.folder;
        facts.manifest = {e};
        const QStringList lines = checkLines(facts);
        EXPECT_EQ(lines[1].startsWith(QLatin1String("PASS")), c.versioned) << c.family.toStdString();
        EXPECT_TRUE(lines[2].endsWith(c.fileFound ? QStringLiteral(" []") : QStringLiteral(" [\"%1\"]").arg(c.family)))
            << lines[2].toStdString();
    }

    LWSelfTest::FontFacts facts = emptyFacts(fonts);
    facts.manifest = {entry("A"), entry("B")};
    facts.manifest[1].source = QStringLiteral("https://example.com/b");
    EXPECT_TRUE(checkLines(facts)[1].startsWith(QLatin1String("FAIL")));
    facts.fontsFolder.reset();
    facts.manifest = {entry("Mixed Case")};
    EXPECT_TRUE(checkLines(facts)[2].endsWith(QLatin1String("[\"Mixed Case\"]")));
}

TEST_F(FontChecks, RegistrationLoadingAndOrigin)
{
    LWSelfTest::FontFacts facts = emptyFacts(*LWFonts::bundledFolder());
    facts.manifest = {entry("Bebas Neue")};
    facts.registered = {QStringLiteral("BebasNeue-Regular")};
    facts.platformNames = {QStringLiteral("AvenirNext-Regular"), QStringLiteral("NoSuchPlatformFont")};
    QStringList lines = checkLines(facts);
    EXPECT_EQ(lines[3], QStringLiteral("PASS  every bundled font file registers (1 of 1) []"));
    EXPECT_EQ(lines[4], QStringLiteral("FAIL  every bundled font loads by name [\"NoSuchPlatformFont\"]"));
    EXPECT_TRUE(lines[5].startsWith(QLatin1String("PASS")));

    facts.failures = {QStringLiteral("Gone.ttf")};
    facts.registered.clear();
    for (int i = 0; i < 10; ++i)
        facts.registered << QStringLiteral("Fake%1").arg(i);
    lines = checkLines(facts);
    EXPECT_EQ(lines[3], QStringLiteral("FAIL  every bundled font file registers (10 of 1) [\"Gone.ttf\"]"));
    EXPECT_TRUE(lines[5].endsWith(QLatin1String("not installed on the system [\"Fake0\", \"Fake1\", \"Fake2\"]")));

    // A real face, but the Fonts folder is another one: not from inside the app.
    facts.registered = {QStringLiteral("BebasNeue-Regular")};
    facts.fontsFolder = path("Fonts");
    EXPECT_TRUE(checkLines(facts)[5].startsWith(QLatin1String("FAIL")));
}

TEST_F(FontChecks, UserFontFolders)
{
    const QByteArray savedHome = qgetenv("HOME"), savedData = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", QFile::encodeName(path("home")));
    qputenv("XDG_DATA_HOME", "relative/ignored");
    const QStringList byDefault = LWSelfTest::userFontFolders();
    qputenv("XDG_DATA_HOME", QFile::encodeName(path("data")));
    const QStringList folders = LWSelfTest::userFontFolders();
    qputenv("HOME", savedHome);
    savedData.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", savedData);
    EXPECT_EQ(byDefault, (QStringList{path("home/.local/share/fonts"), path("home/.fonts")}));
    ASSERT_EQ(folders, (QStringList{path("data/fonts"), path("home/.fonts")}));

    const QString bebas = QCoreApplication::applicationDirPath() +
                          QStringLiteral("/Resources/Fonts/BebasNeue/BebasNeue_400Regular.ttf");
    LWSelfTest::FontFacts facts = emptyFacts();
    facts.manifest = {entry("Bebas Neue"), entry("Allura")};
    facts.userFontFolders = folders;
    EXPECT_TRUE(checkLines(facts)[6].endsWith(QLatin1String("font folders []"))); // neither folder exists
    ASSERT_TRUE(QDir().mkpath(folders[0]));
    ASSERT_TRUE(QFile::copy(bebas, folders[0] + QStringLiteral("/Bebas.ttf"))); // the font, renamed
    EXPECT_TRUE(checkLines(facts)[6].startsWith(QLatin1String("PASS")));
    ASSERT_TRUE(write(folders[1] + QStringLiteral("/Allura_400Regular.ttf"), "not even a font"));
    ASSERT_TRUE(QFile::copy(bebas, folders[0] + QStringLiteral("/BebasNeue_400Regular.ttf")));
    ASSERT_TRUE(write(folders[1] + QStringLiteral("/BebasNeue_400Regular.ttf"), "again"));
    EXPECT_EQ(checkLines(facts)[6],
              QStringLiteral("FAIL  nothing was copied into the user's font folders "
                             "[\"BebasNeue_400Regular.ttf\", \"Allura_400Regular.ttf\"]"));
}

TEST(FontSourcePrefix, EqualsTheFetchScripts)
{
    QFile script(qEnvironmentVariable("LW_TEST_DATA") + QStringLiteral("/../../tools/fetch-fonts.mjs"));
    ASSERT_TRUE(script.open(QIODevice::ReadOnly));
    EXPECT_TRUE(script.readAll().contains(QByteArray("const SOURCE_PREFIX = '") + LWSelfTest::fontSourcePrefix + "';"));
}
