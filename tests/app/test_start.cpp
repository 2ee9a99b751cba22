#include "app_fixture.h"

#include "app/sizetile.h"
#include "app/startscreen.h"
#include "app/stepcard.h"
#include "kit/help/help.h"
#include "kit/controls/segmentedpicker.h"
#include "model/file/recent.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

namespace {

QSizeF rounded(QSizeF s)
{
    return {std::round(s.width() * 100) / 100, std::round(s.height() * 100) / 100};
}

// The bounds of the white page a tile draws.
QRect whitePage(SizeTile &tile)
{
    const QImage img = tile.grab().toImage();
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == Qt::white)
                box |= QRect(x, y, 1, 1);
    return box;
}

QStringList recentNames(const StartScreen &s)
{
    QStringList out;
    for (const QAbstractButton *b : s.findChildren<QAbstractButton *>(QStringLiteral("recent")))
        if (!b->isHidden() && b->parentWidget()->isVisibleTo(const_cast<StartScreen *>(&s)))
            out.append(b->accessibleName());
    return out;
}

QStringList visibleLabels(const StartScreen &s)
{
    QStringList out;
    for (const QLabel *l : s.findChildren<QLabel *>())
        if (l->isVisibleTo(const_cast<StartScreen *>(&s)))
            out.append(l->text());
    return out;
}

} // namespace

class StartTest : public AppTest {
protected:
    // A saved design, which the recent list then names first.
    QUrl recentFile(const QString &name)
    {
        EXPECT_TRUE(LWDocumentIO::save(LWDocument::blank(LWSizePreset::usCard, std::nullopt), url(name)).ok());
        return url(name);
    }
};

TEST(SizeTile, OutlinesCaptionsAndTooltips)
{
    const struct {
        const LWSizePreset *preset;
        QSizeF wide;
        const char *caption;
    } cases[] = {
        {&LWSizePreset::usCard, {80, 45.71}, "US Card"},      {&LWSizePreset::euCard, {80, 51.76}, "EU Card"},
        {&LWSizePreset::letter, {80, 61.82}, "Letter"},       {&LWSizePreset::a4, {80, 56.57}, "A4"},
        {&LWSizePreset::halfLetter, {80, 51.76}, "Half-Letter"}, {&LWSizePreset::tabloid, {80, 51.76}, "Tabloid Poster"},
    };
    LWApp app;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(rounded(SizeTile::outline(*c.preset, true)), c.wide);
        EXPECT_EQ(rounded(SizeTile::outline(*c.preset, false)), c.wide.transposed());
        EXPECT_EQ(SizeTile(app, *c.preset, true).caption(), QString::fromUtf8(c.caption));
    }
    SizeTile tall(app, LWSizePreset::usCard, false);
    tall.resize(tall.sizeHint());
    EXPECT_EQ(rounded(tall.guideRect().size()), QSizeF(37.71, 72));
    EXPECT_EQ(tall.guideRect().center(), tall.pageRect().center());
    EXPECT_EQ(SizeTile(app, LWSizePreset::tabloid, false).toolTip(), QStringLiteral("New Tabloid Poster, 11 \u00D7 17 in"));
}

TEST_F(StartTest, TileClicksOpenUntitledDesignsOfTheirOrientation)
{
    const struct {
        const LWSizePreset *preset;
        bool landscape;
        QSizeF size;
        QStringList pages;
    } cases[] = {
        {&LWSizePreset::usCard, true, {252, 144}, {"Front", "Back"}},
        {&LWSizePreset::usCard, false, {144, 252}, {"Front", "Back"}},
        {&LWSizePreset::letter, false, {612, 792}, {"Page 1"}},
        {&LWSizePreset::letter, true, {792, 612}, {"Page 1"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.preset->name.toStdString() + (c.landscape ? " wide" : " tall"));
        SizeTile tile(app, *c.preset, c.landscape);
        tile.resize(tile.sizeHint());
        QTest::mouseClick(&tile, Qt::LeftButton, {}, tile.rect().center());
        ASSERT_NE(app.editor(), nullptr);
        const LWDocument &doc = app.editor()->doc();
        EXPECT_EQ(QSizeF(doc.width, doc.height), c.size);
        QStringList names;
        for (const LWPage &p : doc.pages)
            names.append(p.name);
        EXPECT_EQ(names, c.pages);
        EXPECT_EQ(doc.name, QStringLiteral("Untitled"));
        EXPECT_EQ(app.screen(), LWAppScreen::editor);
    }
}

TEST_F(StartTest, EightNewestRecentsOrTheNoteAndRemovalMovesTheNinthUp)
{
    StartScreen s(app);
    s.show();
    EXPECT_TRUE(recentNames(s).isEmpty());
    EXPECT_TRUE(s.findChildren<QAbstractButton *>(QStringLiteral("removeRecent")).isEmpty());
    EXPECT_TRUE(visibleLabels(s).contains(QStringLiteral("Designs you save show up here.")));
    QAbstractButton *open = s.findChild<QAbstractButton *>(QStringLiteral("open"));
    ASSERT_NE(open, nullptr);
    prompts->script = {ScriptedPrompts::openStep(std::nullopt)};
    open->click();
    EXPECT_EQ(prompts->calls.size(), 1);

    s.hide();
    QStringList expected;
    for (int i = 0; i < 12; ++i) {
        recentFile(QStringLiteral("design %1.velkfolio").arg(i));
        expected.prepend(QStringLiteral("design %1").arg(i));
    }
    s.show();
    EXPECT_EQ(recentNames(s), expected.mid(0, 8));
    EXPECT_EQ(s.findChildren<QAbstractButton *>(QStringLiteral("recent")).first()->toolTip(), path("design 11.velkfolio"));
    EXPECT_FALSE(visibleLabels(s).contains(QStringLiteral("Designs you save show up here.")));

    const QByteArray saved = bytes(path("design 11.velkfolio"));
    s.findChildren<QAbstractButton *>(QStringLiteral("removeRecent")).first()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(recentNames(s), expected.mid(1, 8));
    EXPECT_EQ(bytes(path("design 11.velkfolio")), saved);
    EXPECT_FALSE(LWRecent::paths().contains(path("design 11.velkfolio")));
}

TEST_F(StartTest, RecentsAreReadWhenShownAndNamedWithoutTheLastExtension)
{
    recentFile(QStringLiteral("a.b.velkfolio"));
    recentFile(QStringLiteral("gone.velkfolio"));
    StartScreen s(app);
    ASSERT_TRUE(QFile::remove(path("gone.velkfolio")));
    const QUrl later = recentFile(QStringLiteral("later.velkfolio"));
    s.show();
    EXPECT_EQ(recentNames(s), QStringList({"later", "a.b"}));
    s.findChildren<QAbstractButton *>(QStringLiteral("recent")).last()->click();
    ASSERT_NE(app.editor(), nullptr);
    EXPECT_EQ(app.editor()->fileURL(), std::optional<QUrl>(url("a.b.velkfolio")));
}

TEST_F(StartTest, TallTurnsBothCardTilesAndEveryNewScreenStartsWide)
{
    auto s = std::make_unique<StartScreen>(app);
    s->show();
    auto *picker = s->findChild<SegmentedPicker *>();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->current(), 0);
    QList<SizeTile *> cards;
    for (SizeTile *t : s->findChildren<SizeTile *>())
        if (t->preset().kind == LWDocKind::businessCard)
            cards.append(t);
    ASSERT_EQ(cards.size(), 2);
    for (SizeTile *t : cards) {
        const QRect page = whitePage(*t);
        EXPECT_GT(page.width(), page.height());
    }
    QTest::mouseClick(picker->segment(1), Qt::LeftButton);
    EXPECT_FALSE(s->landscape());
    for (SizeTile *t : cards) {
        const QRect page = whitePage(*t);
        EXPECT_GT(page.height(), page.width());
    }

    s = std::make_unique<StartScreen>(app);
    EXPECT_TRUE(s->landscape());
    EXPECT_EQ(s->findChild<SegmentedPicker *>()->current(), 0);
}

TEST_F(StartTest, CustomTileBrowseAndBanner)
{
    StartScreen s(app);
    s.show();
    QSignalSpy screens(&app, &LWApp::screenChanged), editors(&app, &LWApp::editorChanged);
    auto *custom = s.findChild<CustomSizeTile *>();
    ASSERT_NE(custom, nullptr);
    QTest::mouseClick(custom, Qt::LeftButton);
    EXPECT_EQ(app.sheet(), std::optional(LWAppSheet::newCustom));
    EXPECT_EQ(screens.size(), 0);
    EXPECT_EQ(editors.size(), 0);

    app.setSheet(std::nullopt);
    QWidget *banner = s.findChild<QWidget *>(QStringLiteral("banner"));
    ASSERT_NE(banner, nullptr);
    EXPECT_TRUE(banner->testAttribute(Qt::WA_TransparentForMouseEvents));
    QTest::mouseClick(s.window(), Qt::LeftButton, {}, banner->mapTo(s.window(), banner->rect().center()));
    EXPECT_EQ(app.sheet(), std::nullopt);
    EXPECT_EQ(screens.size(), 0);

    s.findChild<QAbstractButton *>(QStringLiteral("browse"))->click();
    EXPECT_EQ(app.screen(), LWAppScreen::templates);
    EXPECT_EQ(editors.size(), 0);
}

TEST_F(StartTest, StepLinksOpenTheirHelpTopics)
{
    QStringList opened;
    const VELKHelp::Opener before = VELKHelp::opener();
    VELKHelp::setOpener([&opened](const std::optional<QString> &id) { opened.append(id.value_or(QStringLiteral("-"))); });
    StartScreen s(app);
    for (StepCard *card : s.findChildren<StepCard *>())
        card->link()->click();
    VELKHelp::setOpener(before);
    EXPECT_EQ(opened, QStringList({"start", "walkthrough-card", "preflight", "export"}));
    EXPECT_EQ(StepCard(1000, QStringLiteral("Big"), QString(), QStringLiteral("start")).badgeText(), QStringLiteral("1000"));
}
