#include "kit/helpviewer.h"
#include "kit/kithost.h"
#include "kit/panel.h"
#include "kit/searchfield.h"
#include "kitfixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QTest>

namespace {

VELKHelpTopic topic(const char *id, const char *title, const char *body)
{
    return {QString::fromUtf8(id), QString::fromUtf8(title), QString::fromUtf8(body), {}};
}

class HelpViewer : public KitTest {
protected:
    void SetUp() override
    {
        KitTest::SetUp();
        VELKKitHost::setBundleInfo({});
        VELKHelp::setTopics({topic("a", "Alpha", "First page."), topic("export", "Export", "Save a PDF."),
                             topic("c", "Colours", "Pick a swatch.")});
    }
    void TearDown() override
    {
        VELKHelp::setTopics({});
        KitTest::TearDown();
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
