#include "kit/help/helpviewer.h"
#include "kit/views/panel.h"
#include "kit/controls/searchfield.h"
#include "kitfixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

namespace {

class HelpViewer : public Help {
protected:
    void SetUp() override
    {
        Help::SetUp();
        VELKHelp::setTopics({topic("a", "Alpha", "First page."), topic("export", "Export", "Save a PDF."),
                             topic("c", "Colours", "Pick a swatch.")});
    }
};

QStringList highlighted(const VELKHelpViewer &v)
{
    QStringList out;
    for (const VELKHelpRow *row : v.rows()) {
        if (row->isCurrent())
            out.append(row->topicID());
    }
    return out;
}

VELKHelpRow *rowFor(const VELKHelpViewer &v, const QString &id)
{
    for (VELKHelpRow *row : v.rows()) {
        if (row->topicID() == id)
            return row;
    }
    return nullptr;
}

using Kind = HelpBlock::Kind;

} // namespace

TEST_F(Help, AppNameComesFromTheBundleUntilInstalled)
{
    struct Case {
        VELKKitHost::BundleInfo bundle;
        const char *name;
    } cases[] = {
        {{QStringLiteral("Display"), QStringLiteral("Bundle")}, "Display"},
        {{QString(), QStringLiteral("Bundle")}, "Bundle"},
        {{std::nullopt, QStringLiteral("Bundle")}, "Bundle"},
        {{}, "VELK App"},
    };
    for (const Case &c : cases) {
        VELKKitHost::setBundleInfo(c.bundle);
        EXPECT_EQ(VELKKitHost::appName(), c.name);
    }

    VELKKitHost::setBundleInfo({QStringLiteral("Display"), QStringLiteral("Bundle")});
    VELKKit::install(std::nullopt, {}, {});
    EXPECT_EQ(VELKKitHost::appName(), "VELK Leafwrighter");
    EXPECT_EQ(ids(VELKHelp::allTopics()), (QStringList{"look", "about"}));
    VELKKit::install(QStringLiteral("Other"), {}, {});
    EXPECT_EQ(VELKKitHost::appName(), "Other");

    std::optional<QString> opened = QStringLiteral("unset");
    VELKHelp::setOpener([&](const std::optional<QString> &id) { opened = id; });
    VELKKitHost::showHelp(QStringLiteral("preflight"));
    EXPECT_EQ(opened, "preflight");
    VELKHelp::show();
    EXPECT_EQ(opened, std::nullopt);
}

TEST_F(Help, KitTopicsNameTheAppAndHostTopicsReplaceThem)
{
    // The look topic's wording is what the Zoom and Theme menus say.
    const QStringList lines = VELKHelp::lookTopic().body.split(u'\n');
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[0], "## Themes");
    EXPECT_EQ(lines[5], QString::fromUtf8("• View → Zoom In (Ctrl +) and Zoom Out (Ctrl −)"));
    EXPECT_EQ(lines[6], QString::fromUtf8("• View → Actual Size (Ctrl 0)"));

    VELKKit::install(QStringLiteral("Test Host"), {}, {});
    EXPECT_EQ(VELKHelp::aboutTopic().body,
              "Test Host is made by Velkmoor (VELK).\n\nWebsite, updates and support: https://www.velkmoor.com");

    const VELKHelpTopic hostAbout = topic("about", "About us", "Ours.");
    VELKHelp::setTopics({topic("a", "A", "a"), hostAbout, topic("b", "B", "b")});
    const QList<VELKHelpTopic> all = VELKHelp::allTopics();
    EXPECT_EQ(ids(all), (QStringList{"a", "about", "b", "look"}));
    EXPECT_EQ(all[1], hostAbout);
}

TEST_F(Help, SearchFoldsAndOrdersByTitle)
{
    VELKHelp::setTopics({
        topic("bleed", "Canvas", "The bleed extends past the trim.", {"print"}),
        topic("printing", "Printing tips", "Print at full size with bleed on. Text size matters."),
        topic("sheet", "Card sheets", "A 10-up sheet of cards; colors print true.", {"text size"}),
        topic("words", "Words", "Large size text reads well."),
    });
    struct Case {
        const char *query;
        QStringList want;
    } cases[] = {
        {"   \t ", {"bleed", "printing", "sheet", "words", "look", "about"}},
        {"COLOUR", {"look"}},
        {"thème", {"look"}},
        {"col", {"sheet", "look"}},
        {"bleed print", {"printing", "bleed"}}, // title match first, then earlier body match
        {"print", {"printing", "bleed", "sheet"}},
        {"text size", {"printing", "sheet", "words", "look"}},
        {"10-up", {"sheet"}},
        {"10 up", {"sheet"}},
        {"size\u00A0card", {"sheet"}},
        {"canvas printing", {}},
        {"tips canvas", {}},
        {"canvas printed", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ids(VELKHelp::search(QString::fromUtf8(c.query))), c.want) << c.query;
}


TEST_F(HelpViewer, CurrentTopicFollowsClickThenInitialThenFirstResult)
{
    struct Case {
        std::optional<QString> initial;
        const char *click; // clicked before typing the query
        const char *query;
        std::optional<QString> shown;
        QStringList highlighted;
    } cases[] = {
        {std::nullopt, nullptr, "", "a", {"a"}},
        {"export", nullptr, "Zq  ", "export", {}},
        {"nosuch", nullptr, "colo", "c", {"c"}}, // results: Colours, then the look topic
        {"export", "c", "", "c", {"c"}},
        {std::nullopt, "c", "pdf", "c", {}},
        {std::nullopt, nullptr, "Zq", std::nullopt, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.query);
        VELKHelpViewer v(c.initial);
        v.resize(860, 600);
        v.show();
        if (c.click) {
            ASSERT_TRUE(rowFor(v, QString::fromUtf8(c.click)));
            QTest::mouseClick(rowFor(v, QString::fromUtf8(c.click)), Qt::LeftButton, {}, QPoint(3, 3));
        }
        QTest::keyClicks(v.searchField()->lineEdit(), QString::fromUtf8(c.query));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(v.shownTopicID(), c.shown);
        EXPECT_EQ(highlighted(v), c.highlighted);
        const bool none = VELKHelp::search(QString::fromUtf8(c.query)).isEmpty();
        EXPECT_EQ(v.nothingFound()->isVisible(), none);
        if (none) {
            EXPECT_EQ(v.nothingFound()->text(), QStringLiteral("Nothing found for \"%1\".").arg(c.query));
        }
    }
}

TEST_F(HelpViewer, PanelsSplitTheWidthAndParagraphsWrap)
{
    VELKHelp::setTopics({{QStringLiteral("long"), QStringLiteral("Long"), QStringLiteral("word ").repeated(400), {}}});
    VELKHelpViewer v;
    v.resize(860, 600);
    v.show();
    EXPECT_EQ(v.listPanel()->width(), 260);
    EXPECT_EQ(v.topicPanel()->width(), 860 - 2 * 16 - 14 - 260);
    EXPECT_EQ(v.width(), 860);

    const auto *scroll = v.topicPanel()->findChild<QScrollArea *>();
    ASSERT_TRUE(scroll && scroll->widget());
    const QList<QLabel *> labels = scroll->widget()->findChildren<QLabel *>();
    ASSERT_GE(labels.size(), 2);
    const QLabel *para = labels[1];
    EXPECT_LE(para->width(), scroll->viewport()->width());
    EXPECT_GT(para->height(), 10 * para->fontMetrics().height());
    EXPECT_TRUE(para->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_TRUE(labels[0]->textInteractionFlags() & Qt::TextSelectableByMouse); // the title
}

// A search that finds nothing empties the right pane, its scroll indicator included.
TEST_F(HelpViewer, SearchFindingNothingClearsTheTopicsIndicator)
{
    VELKHelp::setTopics({{QStringLiteral("long"), QStringLiteral("Long"), QStringLiteral("word ").repeated(3000), {}}});
    VELKHelpViewer v;
    v.resize(860, 600);
    v.show();
    auto *scroll = v.topicPanel()->findChild<QScrollArea *>();
    ASSERT_TRUE(scroll);
    const auto indicator = [scroll] {
        QCoreApplication::processEvents();
        return scroll->verticalScrollBar()->isVisible();
    };
    ASSERT_TRUE(indicator());
    QTest::keyClicks(v.searchField()->lineEdit(), QStringLiteral("Zq"));
    EXPECT_EQ(v.shownTopicID(), std::nullopt);
    EXPECT_FALSE(indicator());
    v.searchField()->lineEdit()->clear();
    EXPECT_EQ(v.shownTopicID(), QStringLiteral("long"));
    EXPECT_TRUE(indicator());
}

TEST(HelpBlocks, LinesBecomeHeadingsBulletsAndParagraphs)
{
    struct Case {
        const char *body;
        QList<HelpBlock> want;
    } cases[] = {
        {"## Head\n\n\n\u2022 point\nplain",
         {{Kind::Heading, "Head"}, {Kind::Bullet, "point"}, {Kind::Paragraph, "plain"}}},
        {"   ## Indented", {{Kind::Heading, "Indented"}}},
        {"\t## T\t", {{Kind::Heading, "T"}}},
        {"##Word", {{Kind::Paragraph, "##Word"}}},
        {"\u2022x", {{Kind::Paragraph, "\u2022x"}}},
        {"- x", {{Kind::Paragraph, "- x"}}},
        {"* x", {{Kind::Paragraph, "* x"}}},
        {"## ", {{Kind::Paragraph, "##"}}},
        {"one line, no break", {{Kind::Paragraph, "one line, no break"}}},
        {" \u00A0keep\u2003 ", {{Kind::Paragraph, "\u00A0keep\u2003"}}},
        {"", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(VELKHelpViewer::blocks(QString::fromUtf8(c.body)), c.want) << c.body;
}
