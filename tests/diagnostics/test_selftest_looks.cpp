// The look, help and font-list checks over the real kit, help and fonts, and their judging parts.
#include "diagnostics/groupfixture.h"
#include "diagnostics/groups/helpchecks.h"
#include "diagnostics/groups/lookchecks.h"
#include "diagnostics/selftestgroups.h"
#include "kit/theme/themes.h"
#include "kit/zoom/zoom.h"

namespace
{

bool allPass(const QStringList &lines)
{
    return std::all_of(lines.begin(), lines.end(),
                       [](const QString &l) { return l.startsWith(QLatin1String("PASS  ")); });
}

VELKHelpTopic topic(const QString &id, const QString &body = QString(300, QLatin1Char('x')))
{
    return {id, id, body, {}};
}

using LookChecks = SelfTestGroupTest;

} // namespace

// The real runs themselves are the "selftest" test: here, that a run puts the user's look back.
TEST_F(LookChecks, RunsPutTheSettingsBackAndRegisterTheExtraThemeOnce)
{
    EXPECT_TRUE(allPass(report(LWSelfTest::looks)));
    EXPECT_FALSE(LWPrefs::store().contains(VELKThemes::key));
    EXPECT_EQ(LWPrefs::store().value(VKZoom::key).toDouble(), 1.0);

    VELKThemes::setCurrentID(QStringLiteral("rose-gold"));
    VKZoom::setValue(1.3);
    const QStringList looks = report(LWSelfTest::looks);
    ASSERT_EQ(looks.size(), 10);
    EXPECT_TRUE(allPass(looks)) << looks.join(u'\n').toStdString();
    EXPECT_TRUE(looks[2].endsWith(QLatin1String("(7 themes)")));
    EXPECT_EQ(LWPrefs::store().value(VELKThemes::key).toString(), QStringLiteral("rose-gold"));
    EXPECT_EQ(VKZoom::value(), 1.3);
}

TEST(LookVerdicts, AccentsAndStartScreens)
{
    QSet<QString> keys;
    for (const char *c : {"#102030", "#4080c0", "#ff0000", "#00ff00", "#0000ff", "#808080", "#102030"})
        keys.insert(LWSelfTest::accentKey(QColor(QLatin1String(c))));
    EXPECT_FALSE(LWSelfTest::accentCheck(keys).ok); // two themes share one accent
    keys.insert(LWSelfTest::accentKey(Qt::white));
    EXPECT_TRUE(LWSelfTest::accentCheck(keys).ok);
    EXPECT_EQ(LWSelfTest::accentKey(QColor()), QString());

    struct Case {
        QList<double> samples;
        bool ok;
    };
    const QList<Case> cases{
        {{1, 2, 3, 4, 5, 6, 7}, true},
        {{1, 2, 3, 4, 5, 6.001, 6.009}, true}, // one pair alike at 1/100
        {{1, 2, 3, 4, 5, 5, 5}, false},
        {{1, 2, 3, 4, 5, 6}, false}, // a render missing
    };
    for (const Case &c : cases) {
        const LWSelfTest::Verdict v = LWSelfTest::startScreenCheck(c.samples);
        EXPECT_EQ(v.ok, c.ok);
        EXPECT_TRUE(v.label.endsWith(QStringLiteral("(%1 renders)").arg(c.samples.size())));
    }
}

TEST(HelpVerdicts, CoverageAndLength)
{
    QList<VELKHelpTopic> topics;
    for (const QString &id : LWSelfTest::requiredHelpTopics())
        if (id != QLatin1String("shapes") && id != QLatin1String("lines"))
            topics << topic(id);
    LWSelfTest::Verdict v = LWSelfTest::helpCoverage(topics);
    EXPECT_FALSE(v.ok);
    EXPECT_TRUE(v.label.endsWith(QLatin1String("(26 topics) missing: [\"shapes\", \"lines\"]")));

    // 300 user-perceived characters of two code units each.
    const QString accented = QStringLiteral("e\u0301").repeated(300);
    EXPECT_EQ(LWSelfTest::graphemeCount(accented), 300);
    topics = {topic(QStringLiteral("long"), accented), topic(QStringLiteral("short"), accented.left(598)),
              topic(QStringLiteral("empty"), QString())};
    v = LWSelfTest::helpLength(topics);
    EXPECT_FALSE(v.ok);
    EXPECT_EQ(v.label, QStringLiteral("every help topic has real explanations [\"short\", \"empty\"]"));
    EXPECT_TRUE(LWSelfTest::helpLength({topics[0]}).ok);
}

TEST_F(LookChecks, TemplateFontsAndFontList)
{
    const QStringList allowed =
        LWFonts::templateFonts() + QStringList{"SFAny-Regular", ".Hidden", "NoStandIn-Bold"};
    const LWFontPair good{
        "good",          "AvenirNext-Regular", "Allura-Regular", "HelveticaNeue-Bold", "BebasNeue-Regular",
        "Allura-Regular"};
    EXPECT_TRUE(LWSelfTest::templateFontsCheck({good}, allowed).ok);
    for (const char *bad : {"SFAny-Regular", ".Hidden", "NoStandIn-Bold", "NotAllowed-Regular"}) {
        LWFontPair pair = good;
        pair.script = QString::fromLatin1(bad);
        EXPECT_FALSE(LWSelfTest::templateFontsCheck({good, pair}, allowed).ok) << bad;
    }

    QStringList standIns;
    for (int i = 0; i < 19; ++i)
        standIns << QStringLiteral("Stand-in %1").arg(i);
    standIns << QStringLiteral("Roboto");
    const QStringList system{"DejaVu Sans", "DejaVu Sans Mono"};
    EXPECT_TRUE(LWSelfTest::fontListCheck(standIns + system.mid(0, 1), standIns, 7).ok);
    EXPECT_FALSE(LWSelfTest::fontListCheck(standIns, standIns, 7).ok); // 20
    EXPECT_FALSE(LWSelfTest::fontListCheck(standIns + system, standIns, 3).ok);
    QStringList withoutRoboto = standIns.mid(0, 19) + system + QStringList{"Other"};
    const LWSelfTest::Verdict v = LWSelfTest::fontListCheck(withoutRoboto, standIns, 7);
    EXPECT_FALSE(v.ok);
    EXPECT_TRUE(v.label.endsWith(QLatin1String("(22 families on this system)")));

    EXPECT_EQ(LWSelfTest::standInFamilies().size(), 20);
    EXPECT_TRUE(LWSelfTest::standInFamilies().contains(QStringLiteral("Nunito Sans")));
}
