#include "render/text/fonts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <gtest/gtest.h>


namespace {

// One row of the font lock: the face a file holds and the platform names it stands in for.
struct LockRow {
    QString set, family, postScript;
    QStringList platformNames;
};

QList<LockRow> lockRows()
{
    QFile f(QDir::cleanPath(qEnvironmentVariable("LW_TEST_DATA") + QStringLiteral("/../../tools/fetch-fonts.lock.tsv")));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << f.fileName().toStdString();
    QList<LockRow> rows;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> c = lines[i].split('\t');
        if (c.size() < 13)
            continue;
        rows.append({QString::fromUtf8(c[0]), QString::fromUtf8(c[1]), QString::fromUtf8(c[6]),
                     QString::fromUtf8(c[11]).split(QLatin1Char(','), Qt::SkipEmptyParts)});
    }
    return rows;
}

class Fonts : public ::testing::Test {
protected:
    void SetUp() override { LWFonts::registerBundled(); }
};

} // namespace

TEST(FontsRegistration, OnceAndEmptiesTheCache)
{
    const bool fresh = LWFonts::registeredPostScript().isEmpty();
    if (fresh) {
        (void)LWFonts::font(QStringLiteral("AvenirNext-Regular"), 12);
        EXPECT_EQ(LWFonts::cachedFontCount(), 1);
    }
    LWFonts::registerBundled();
    if (fresh) {
        EXPECT_EQ(LWFonts::cachedFontCount(), 0);
    }
    const QStringList registered = LWFonts::registeredPostScript();
    const QStringList failures = LWFonts::registrationFailures();
    EXPECT_TRUE(failures.isEmpty()) << failures.join(u' ').toStdString();

    LWFonts::registerBundled();
    EXPECT_EQ(LWFonts::registeredPostScript(), registered);
    EXPECT_EQ(LWFonts::registrationFailures(), failures);

    // Exactly the manifest's faces, in manifest order; the stand-ins stay out.
    QStringList expected;
    for (const LockRow &row : lockRows())
        if (row.set.startsWith(QLatin1String("template")))
            expected.append(row.postScript);
    EXPECT_EQ(QSet<QString>(registered.begin(), registered.end()), QSet<QString>(expected.begin(), expected.end()));
    EXPECT_EQ(registered.size(), expected.size());
    EXPECT_FALSE(registered.contains(QStringLiteral("NunitoSans-Regular")));

    const QStringList all = LWFonts::templateFonts();
    EXPECT_EQ(all.mid(0, 74), LWFonts::platformTemplateFonts());
    EXPECT_EQ(all.mid(74), registered);
}

TEST_F(Fonts, ManifestDescribesTheResourceFolder)
{
    const auto folder = LWFonts::bundledFolder();
    ASSERT_TRUE(folder.has_value());
    const QList<LWFonts::Bundled> &manifest = LWFonts::manifest();
    ASSERT_EQ(manifest.size(), 35);
    QSet<QString> groups;
    for (const LWFonts::Bundled &b : manifest) {
        groups.insert(b.group);
        EXPECT_EQ(b.license, QStringLiteral("SIL Open Font License 1.1"));
        EXPECT_TRUE(b.source.startsWith(QStringLiteral("https://github.com/google/fonts/tree/main/ofl/")))
            << b.source.toStdString();
        const QDir dir(*folder + QLatin1Char('/') + b.folder);
        for (const QString &file : b.files)
            EXPECT_TRUE(QFileInfo::exists(dir.filePath(file))) << file.toStdString();
        QFile ofl(dir.filePath(QStringLiteral("OFL.txt")));
        ASSERT_TRUE(ofl.open(QIODevice::ReadOnly)) << b.folder.toStdString();
        EXPECT_TRUE(ofl.readAll().contains("SIL OPEN FONT LICENSE")) << b.folder.toStdString();
    }
    EXPECT_EQ(groups, (QSet<QString>{"Bold display", "Condensed", "Slab", "Script", "Handwriting", "Elegant serif",
                                     "Rounded sans", "Retro", "Stencil", "Grunge"}));
}

TEST(FontsManifest, DecodingIsAllOrNothing)
{
    const QByteArray good = R"({"family":"A","group":"Slab","folder":"A","files":["a.ttf"],"license":"L",
        "source":"https://x/a","fileURLs":["https://x/a.ttf"],"licenseURL":"https://x/l","extra":1})";
    const QByteArray empty = R"({"family":"E","group":"Slab","folder":"E","files":[],"license":"L",
        "source":"s","fileURLs":[],"licenseURL":"u"})";
    const QByteArray noLicenseURL = R"({"family":"B","group":"Slab","folder":"B","files":["b.ttf"],"license":"L",
        "source":"s","fileURLs":[]})";

    const auto both = LWFonts::decodeManifest("[" + good + "," + empty + "]");
    ASSERT_EQ(both.size(), 2);
    EXPECT_EQ(both[0].files, QStringList{"a.ttf"});
    EXPECT_TRUE(both[1].files.isEmpty());

    EXPECT_TRUE(LWFonts::decodeManifest("[" + good + "," + noLicenseURL + "]").isEmpty());
    EXPECT_TRUE(LWFonts::decodeManifest(good).isEmpty()); // not an array
}

TEST_F(Fonts, EveryNameResolvesToItsOwnFace)
{
    QHash<QString, QString> standIn;
    for (const LockRow &row : lockRows())
        for (const QString &name : row.platformNames)
            standIn.insert(name, row.postScript);
    for (const QString &name : LWFonts::platformTemplateFonts()) {
        ASSERT_TRUE(standIn.contains(name)) << name.toStdString();
        EXPECT_TRUE(LWFonts::isInstalled(name)) << name.toStdString();
        EXPECT_EQ(LWFonts::postScriptNameOf(LWFonts::font(name, 12)), standIn.value(name)) << name.toStdString();
    }
    EXPECT_EQ(LWFonts::platformTemplateFonts().size(), 74);
    EXPECT_EQ(standIn.size(), 74);
    // Every bundled face, vendor-split families (Baskervville, Zilla Slab) included; the
    // interface's own faces are no template font.
    for (const LockRow &row : lockRows()) {
        if (row.set == QLatin1String("ui")) {
            EXPECT_FALSE(LWFonts::isInstalled(row.postScript)) << row.postScript.toStdString();
            continue;
        }
        EXPECT_TRUE(LWFonts::isInstalled(row.postScript)) << row.postScript.toStdString();
        EXPECT_EQ(LWFonts::postScriptNameOf(LWFonts::font(row.postScript, 10.5)), row.postScript);
    }
}

TEST_F(Fonts, NamesAndTraitsFollowTheStandInFamily)
{
    EXPECT_EQ(LWFonts::familyName(QStringLiteral("AvenirNext-Regular")), QStringLiteral("Nunito Sans"));
    EXPECT_EQ(LWFonts::displayName(QStringLiteral("AvenirNext-Medium")), QStringLiteral("Nunito Sans Medium"));
    EXPECT_EQ(LWFonts::familyName(QStringLiteral("Baskervville-Italic")), QStringLiteral("Baskervville"));

    EXPECT_EQ(LWFonts::toggled(QStringLiteral("AvenirNext-Regular"), LWFonts::boldTrait),
              QStringLiteral("NunitoSans-Bold"));
    const QString regular = QStringLiteral("NunitoSans-Regular");
    const QString bold = LWFonts::toggled(regular, LWFonts::boldTrait);
    EXPECT_EQ(bold, QStringLiteral("NunitoSans-Bold"));
    EXPECT_TRUE(LWFonts::has(bold, LWFonts::boldTrait));
    EXPECT_FALSE(LWFonts::has(regular, LWFonts::boldTrait));
    EXPECT_EQ(LWFonts::toggled(bold, LWFonts::boldTrait), regular);

    EXPECT_EQ(LWFonts::toggled(QStringLiteral("Arvo-BoldItalic"), LWFonts::italicTrait), QStringLiteral("Arvo-Bold"));
    // No bold member: the name stays (Qt would fake one).
    EXPECT_EQ(LWFonts::toggled(QStringLiteral("Pacifico-Regular"), LWFonts::boldTrait),
              QStringLiteral("Pacifico-Regular"));
    // A platform name whose stand-in family lacks the member keeps its own name, not the stand-in's.
    EXPECT_EQ(LWFonts::toggled(QStringLiteral("SnellRoundhand"), LWFonts::boldTrait), QStringLiteral("SnellRoundhand"));

    const auto members = LWFonts::members(QStringLiteral("Nunito Sans"));
    ASSERT_EQ(members.size(), 7);
    EXPECT_TRUE(members.contains(qMakePair(QStringLiteral("NunitoSans-Italic"), QStringLiteral("Italic"))));
    EXPECT_EQ(LWFonts::members(QStringLiteral("Zilla Slab")).size(), 3); // a vendor-split family
}

TEST_F(Fonts, UnknownNamesNeverSubstituteButFallBack)
{
    // A family name is not a PostScript name, however willingly Qt would match it.
    for (const QString &name :
         {QStringLiteral("NoSuchFont-Bold"), QStringLiteral("Nunito Sans"), QStringLiteral("Arvo-Black")}) {
        EXPECT_FALSE(LWFonts::isInstalled(name)) << name.toStdString();
        EXPECT_EQ(LWFonts::familyName(name), name);
        EXPECT_EQ(LWFonts::displayName(name), name);
    }

    // Unknown names fall back; the cache is keyed by name and size.
    const qsizetype before = LWFonts::cachedFontCount();
    const QFont first = LWFonts::font(QStringLiteral("NoSuchFont-Regular"), 12);
    EXPECT_EQ(LWFonts::postScriptNameOf(first), QStringLiteral("Roboto-Regular")); // HelveticaNeue's stand-in
    EXPECT_DOUBLE_EQ(first.pointSizeF(), 12);
    EXPECT_EQ(LWFonts::cachedFontCount(), before + 1);
    EXPECT_EQ(LWFonts::font(QStringLiteral("NoSuchFont-Regular"), 12.0), first);
    EXPECT_EQ(LWFonts::cachedFontCount(), before + 1);
    EXPECT_DOUBLE_EQ(LWFonts::font(QStringLiteral("NoSuchFont-Regular"), 12.5).pointSizeF(), 12.5);
    EXPECT_EQ(LWFonts::cachedFontCount(), before + 2);

    // Unknown names take the fallback's traits and family.
    EXPECT_EQ(LWFonts::toggled(QStringLiteral("NoSuchFont-Regular"), LWFonts::boldTrait),
              QStringLiteral("Roboto-Bold"));
    // Sizes Qt cannot take still give a usable font.
    EXPECT_GT(LWFonts::font(QStringLiteral("Anton-Regular"), -3).pointSizeF(), 0);
}

TEST_F(Fonts, FamiliesListEachInstalledFamilyOnce)
{
    const QStringList list = LWFonts::families();
    const QSet<QString> set(list.begin(), list.end());
    EXPECT_EQ(set.size(), list.size());
    for (const QString &family : list) {
        EXPECT_FALSE(family.startsWith(QLatin1Char('.'))) << family.toStdString();
        EXPECT_FALSE(family.contains(QLatin1String("Baskervville ["))) << family.toStdString();
        EXPECT_FALSE(family.contains(QLatin1String("Zilla Slab"))) << family.toStdString();
    }
    for (const QString &family : LWFonts::bundledFamilies())
        EXPECT_FALSE(set.contains(family)) << family.toStdString();
    EXPECT_FALSE(set.contains(QStringLiteral("Nunito Sans SemiBold"))); // a legacy name
    EXPECT_TRUE(set.contains(QStringLiteral("Nunito Sans")));            // a stand-in
}
