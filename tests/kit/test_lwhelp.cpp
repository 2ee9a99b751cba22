#include "kit/help/lwhelp.h"
#include "kitfixture.h"

#include <QKeySequence>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

namespace {

const QStringList partOrder{
    "start",         "walkthrough-card", "walkthrough-flyer", "canvas",     "tools-select", "tools-text",
    "typography",    "shapes",           "lines",             "icons",      "pictures",     "color",
    "layers",        "align",            "snapping",          "group-lock", "undo-copy",    "front-back",
    "sizes",         "export",           "preflight",         "printing-tips", "templates", "files",
    "fonts",         "shortcuts",        "troubleshooting",   "fonts-licenses"};

int graphemes(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int n = 0;
    while (finder.toNextBoundary() > 0)
        ++n;
    return n;
}

QStringList headings(const QString &body)
{
    QStringList out;
    for (const QString &line : body.split(u'\n')) {
        if (line.startsWith(u"## "))
            out.append(line.mid(3));
    }
    return out;
}

LWFonts::Bundled record(const char *family, const char *group, const char *source = "https://x.example/f",
                        const char *license = "SIL Open Font License 1.1")
{
    LWFonts::Bundled b;
    b.family = QString::fromUtf8(family);
    b.group = QString::fromUtf8(group);
    b.source = QString::fromUtf8(source);
    b.license = QString::fromUtf8(license);
    return b;
}

// The body after the fixed introduction: the group lines.
QString groupLines(const QList<LWFonts::Bundled> &records)
{
    const QString body = LWHelp::fontLicenses(records).body;
    const QString introEnd = LWHelp::fontLicenses({}).body.section(u' ', 5); // after the count
    return body.mid(body.indexOf(introEnd) + introEnd.size());
}

} // namespace

TEST(LWHelp, TopicsInOrderWithDistinctIDs)
{
    const QList<VELKHelpTopic> topics = LWHelp::topics();
    EXPECT_EQ(ids(topics), partOrder);
    const QStringList list = ids(topics);
    EXPECT_EQ(QSet<QString>(list.begin(), list.end()).size(), 28);
    EXPECT_EQ(topics[24].title, "Fonts");
    EXPECT_EQ(topics[27].title, "Fonts & licenses");
}

TEST(LWHelp, BodiesAreLongAndCarryTheirHeadingsInOrder)
{
    const QMap<QString, QStringList> expected{
        {"start", {"The four steps", "Finding your way around"}},
        {"walkthrough-card", {"1. Start", "2. Put in your words", "3. Turn the card over",
                              "4. Make it look like your business", "5. Check it", "6. Print it", "7. Save it"}},
        {"walkthrough-flyer",
         {"1. Pick a starting point", "2. The headline", "3. The details", "4. A photo", "5. Check and print"}},
        {"canvas", {"Trim — the thin dark line", "Bleed — the red dashed line, outside the trim",
                    "Safe area — the green dashed line, inside the trim", "Turning the lines on and off"}},
        {"pictures", {"Putting a picture in", "Crop", "Fit", "Shape (mask)", "Sharpness"}},
        {"color", {"Fill", "Outline", "Opacity", "Background", "A note on print color"}},
        {"align", {"Align", "Distribute"}},
        {"snapping", {"Snapping", "Guides", "Grid"}},
        {"group-lock", {"Group", "Lock"}},
        {"sizes", {"Built-in sizes", "Changing size later"}},
        {"export", {"PDF (best for printing)", "JPEG and PNG", "10-up card sheet"}},
        {"printing-tips", {"At home", "At a print shop or online printer", "Flyers"}},
        {"shortcuts", {"Tools (when not typing)", "Editing", "Arrange", "Page and view", "Files"}},
        {"troubleshooting",
         {"A thin white edge shows after cutting", "Words got cut off", "The cards printed the wrong size",
          "The back doesn't line up with the front", "A photo looks blurry", "Text shows in the wrong font",
          "I can't select an item", "A text box got too small"}},
        {"fonts-licenses", {"The license", "Where the license files are", "Stand-ins and installed fonts"}},
    };
    for (const VELKHelpTopic &t : LWHelp::topics()) {
        SCOPED_TRACE(t.id.toStdString());
        EXPECT_GE(graphemes(t.body), 300);
        QStringList got = headings(t.body);
        if (t.id == "fonts-licenses") // then the font groups, tested with made-up records below
            got.resize(3);
        EXPECT_EQ(got, expected.value(t.id));
    }
}

TEST(LWHelp, WordingFitsThisPlatform)
{
    QList<VELKHelpTopic> topics = LWHelp::baseTopics();
    topics.append(LWHelp::fontLicenses({}));
    const QRegularExpression banned(QStringLiteral("⌘|⌥|⇧|finder|font book|macos|\\bmac\\b"),
                                    QRegularExpression::CaseInsensitiveOption);
    // "Ctrl+", the other modifiers in Qt's order, then one key name or sign.
    const QRegularExpression shortcut(QStringLiteral("Ctrl\\+(?:Alt\\+)?(?:Shift\\+)?(?:[A-Za-z]+|\\d|[^\\sA-Za-z\\d])"));
    int shortcuts = 0;
    for (const VELKHelpTopic &t : topics) {
        SCOPED_TRACE(t.id.toStdString());
        for (const QString &text : QStringList{t.title, t.body} + t.keywords)
            EXPECT_FALSE(banned.match(text).hasMatch()) << text.toStdString();
        EXPECT_FALSE(t.keywords.contains("google fonts"));
        // Menu commands are named as the menus title them.
        if (t.id == QLatin1String("troubleshooting"))
            EXPECT_TRUE(t.body.contains(QStringLiteral("Arrange → Fit Text Box to Text")));
        for (auto it = shortcut.globalMatch(t.body); it.hasNext(); ++shortcuts) {
            const QString keys = it.next().captured();
            EXPECT_EQ(QKeySequence::fromString(keys, QKeySequence::NativeText).toString(QKeySequence::NativeText), keys);
        }
    }
    EXPECT_GT(shortcuts, 50);
}

TEST(LWHelp, SearchFindsTheAppTopics)
{
    VELKHelp::setTopics(LWHelp::topics());
    const struct {
        const char *query, *id;
    } cases[] = {{"bleed", "canvas"},          {"blurry", "troubleshooting"}, {"crop marks", "export"},
                 {"font manager", "fonts"},    {"open fonts", "fonts-licenses"}};
    for (const auto &c : cases)
        EXPECT_TRUE(ids(VELKHelp::search(c.query)).contains(c.id)) << c.query;
    VELKHelp::setTopics({});
}

TEST(LWHelp, LicenceLinesFromTheRecords)
{
    const QList<LWFonts::Bundled> records{
        record("Zeta", "Zany", "https://a.example/https://b"), record("Rough", "Grunge", "github.com/x"),
        record("Deco", "Art deco"), record("Alpha", "Zany", "https://z.example", "Apache License 2.0"),
        record("Bold One", "Bold display"),
    };
    EXPECT_EQ(groupLines(records), "## Bold display\n"
                                   "• Bold One — SIL Open Font License 1.1 — x.example/f\n"
                                   "## Grunge\n"
                                   "• Rough — SIL Open Font License 1.1 — github.com/x\n"
                                   "## Art deco\n"
                                   "• Deco — SIL Open Font License 1.1 — x.example/f\n"
                                   "## Zany\n"
                                   "• Zeta — SIL Open Font License 1.1 — a.example/b\n"
                                   "• Alpha — Apache License 2.0 — z.example\n");

    const QString empty = LWHelp::fontLicenses({}).body;
    EXPECT_TRUE(empty.startsWith("VELK Leafwrighter comes with 0 extra font families"));
    EXPECT_TRUE(empty.endsWith("\n\n"));
    EXPECT_FALSE(empty.contains(u'•'));
    EXPECT_EQ(headings(empty).size(), 3);
}

TEST(LWHelp, RealManifestIsNamedAndCounted)
{
    const QStringList families = LWFonts::bundledFamilies();
    ASSERT_FALSE(families.isEmpty());
    const QString body = LWHelp::fontLicenses().body;
    EXPECT_TRUE(body.contains("SIL Open Font License"));
    for (const QString &family : families)
        EXPECT_TRUE(body.contains(family)) << family.toStdString();
    const QString count = QString::number(LWFonts::manifest().size());
    EXPECT_TRUE(body.startsWith("VELK Leafwrighter comes with " + count + " extra font families"));
    EXPECT_TRUE(LWHelp::baseTopics()[24].body.contains("has " + count + " extra families"));
}
