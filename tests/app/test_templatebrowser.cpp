#include "app_fixture.h"
#include "thumbs_fixture.h"

#include "app/templatebrowser.h"
#include "app/templategrid.h"
#include "app/templatethumb.h"
#include "app/thumbs.h"
#include "kit/controls/chromebutton.h"
#include "kit/controls/searchfield.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/views/scrollview.h"
#include "kit/theme/appstyle.h"
#include "kit/theme/style.h"
#include "kit/theme/themes.h"
#include "kit/zoom/zoomhost.h"
#include "templates/templates.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

namespace {

QStringList ids(const QList<LWTemplate> &list)
{
    QStringList out;
    for (const LWTemplate &t : list)
        out << t.id;
    return out;
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

bool near(const QColor &a, const QColor &b, int tolerance = 3)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())}) <=
           tolerance;
}

class BrowserTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        browser = std::make_unique<TemplateBrowser>(app, &store);
        browser->resize(1480, 760);
        browser->show();
    }
    void TearDown() override
    {
        browser.reset();
        store.shutdown();
        AppTest::TearDown();
    }

    TemplateGrid &grid() const { return *browser->grid(); }
    void row(const QString &category) const
    {
        QAbstractButton *r = browser->categoryRow(category);
        ASSERT_NE(r, nullptr) << category.toStdString();
        QTest::mouseClick(r, Qt::LeftButton);
    }
    void size(int segment) const { QTest::mouseClick(browser->sizePicker()->segment(segment), Qt::LeftButton); }
    void search(const QString &text) const
    {
        browser->searchField()->lineEdit()->clear();
        QTest::keyClicks(browser->searchField()->lineEdit(), text);
    }
    // The tile's centre in the viewport, scrolled into view first.
    QPoint tile(const QString &id) const
    {
        const qsizetype i = ids(grid().templates()).indexOf(id);
        EXPECT_GE(i, 0) << id.toStdString();
        grid().verticalScrollBar()->setValue(static_cast<int>(grid().currentLayout().tiles.value(i).top()));
        return grid().tileRect(i).center().toPoint();
    }
    QRectF rect(const QString &id) const { return grid().tileRect(ids(grid().templates()).indexOf(id)); }
    void click(const QString &id) const { QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, tile(id)); }
    QString count() const { return browser->countLabel()->text(); }

    // Whether the tile shows as selected: accent outline at its left edge, its name in the accent for text.
    bool highlighted(const QString &id) const
    {
        const QImage shot = grid().viewport()->grab().toImage();
        const QRectF r = rect(id);
        const QColor accent = LWStyle::t().accent;
        const bool outline = near(shot.pixelColor(int(r.left()), int(r.center().y())), accent);
        const QRectF thumb = TemplateGrid::thumbFrame(r, *LWTemplates::named(id));
        bool name = false;
        for (int y = int(thumb.bottom()) + 6; y < int(thumb.bottom()) + 20 && !name; ++y)
            for (int x = int(r.left()) + 8; x < int(r.right()) - 8 && !name; ++x)
                name = near(shot.pixelColor(x, y), VKAppStyle::accentText(LWStyle::t()), 12);
        EXPECT_EQ(outline, name) << id.toStdString();
        return outline && name;
    }

    LWThumbs store;
    std::unique_ptr<TemplateBrowser> browser;
};

TEST_F(BrowserTest, FirstShowStartsFreshAndRowsSegmentsAndKeystrokesFilter)
{
    auto *hint = qobject_cast<QLabel *>(browser->preview());
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->text(), QStringLiteral("Click a template to see it here.\nDouble-click to start designing with it."));
    EXPECT_EQ(browser->useButton(), nullptr);
    EXPECT_EQ(browser->sizePicker()->segment(0)->accessibleName(), QStringLiteral("All sizes"));

    // The grid and the count show what the library finds for the row, segment and text chosen.
    const struct {
        const char *row;
        int segment;
        const char *query;
        std::optional<QString> sizeID;
        int count;
    } cases[] = {
        {nullptr, 0, "", std::nullopt, 500}, // as first shown
        {"All", 1, "CONTRACTOR WAVE", QStringLiteral("us-card"), 1},
        {"Business Cards", 3, "", QStringLiteral("letter"), 0},
        {"Business Cards", 2, "", QStringLiteral("eu-card"), 100},
        {"All", 4, "", QStringLiteral("a4"), 100},
        {"Weddings & Events", 0, "", std::nullopt, 8},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.row ? c.row : "first show") << c.segment << c.query);
        if (c.row) {
            row(QString::fromUtf8(c.row));
            size(c.segment);
            search(QString::fromUtf8(c.query));
        }
        EXPECT_EQ(browser->searchField()->text(), QString::fromUtf8(c.query));
        const QString category = QString::fromUtf8(c.row ? c.row : "All");
        for (const QString &r : TemplateBrowser::categories())
            EXPECT_EQ(browser->categoryRow(r)->isChecked(), r == category) << r.toStdString();
        EXPECT_EQ(browser->sizePicker()->current(), c.segment);
        const QList<LWTemplate> found = LWTemplates::filtered(category, c.sizeID, QString::fromUtf8(c.query));
        EXPECT_EQ(found.size(), c.count);
        EXPECT_EQ(ids(grid().templates()), ids(found));
        EXPECT_EQ(grid().currentLayout().tiles.size(), found.size());
        EXPECT_EQ(count(), QString::number(found.size()) + QStringLiteral(" shown"));
    }
}

TEST_F(BrowserTest, ClickSelectsAndTheSelectionOutlivesTheFilter)
{
    const QString first = QStringLiteral("card-001"), second = QStringLiteral("card-002");
    EXPECT_FALSE(highlighted(first));
    click(first);
    EXPECT_EQ(browser->selected(), first);
    EXPECT_TRUE(highlighted(first));
    EXPECT_EQ(browser->preview()->findChild<QLabel *>(QStringLiteral("previewName"))->text(),
              LWTemplates::named(first)->name);

    click(second);
    EXPECT_TRUE(highlighted(second));
    EXPECT_FALSE(highlighted(first));

    // A search that hides it (showing others, or none): no preview; shown again, previewed again.
    for (const char *query : {"florist", "no such template"}) {
        search(QString::fromUtf8(query));
        EXPECT_FALSE(ids(grid().templates()).contains(second)) << query;
        EXPECT_EQ(browser->useButton(), nullptr) << query;
    }
    search({});
    EXPECT_TRUE(highlighted(second));
    EXPECT_EQ(browser->preview()->findChild<QLabel *>(QStringLiteral("previewName"))->text(),
              LWTemplates::named(second)->name);

    // Down from a search that hides it picks the first template shown.
    search(QStringLiteral("florist"));
    QTest::keyClick(browser->searchField()->lineEdit(), Qt::Key_Down);
    EXPECT_EQ(browser->selected(), ids(grid().templates()).value(0, QStringLiteral("none shown")));
}

TEST_F(BrowserTest, PreviewShowsBothSidesOfACardAndOnePageOfAFlyer)
{
    struct Case {
        QString id, subtitle;
        QStringList keys;
        double height;
    };
    const QList<Case> cases = {
        {QStringLiteral("card-001"), QStringLiteral("US card 3.5 \u00d7 2 in \u00b7 front and back"),
         {QStringLiteral("card-001#0#146"), QStringLiteral("card-001#1#146")}, 146},
        {QStringLiteral("flyer-001"), QStringLiteral("Letter 8.5 \u00d7 11 in"), {QStringLiteral("flyer-001#0#330")}, 330},
    };
    for (const Case &c : cases) {
        click(c.id);
        QWidget *preview = browser->preview();
        const auto *name = preview->findChild<QLabel *>(QStringLiteral("previewName"));
        const auto *size = preview->findChild<QLabel *>(QStringLiteral("previewSize"));
        EXPECT_EQ(size->text(), c.subtitle);
        // Title and subtitle as tall as their lines, 10 apart, for a card as for a flyer.
        QCoreApplication::processEvents();
        EXPECT_EQ(size->height(), size->heightForWidth(size->width()));
        EXPECT_EQ(size->y() - (name->y() + name->height()), 10);
        const QList<TemplateThumb *> thumbs = preview->findChildren<TemplateThumb *>();
        ASSERT_EQ(thumbs.size(), c.keys.size());
        (void)preview->grab(); // the thumbnails ask the store when painted
        for (qsizetype i = 0; i < thumbs.size(); ++i) {
            EXPECT_DOUBLE_EQ(thumbs[i]->frameRect().height(), c.height);
            EXPECT_TRUE(store.pending().contains(c.keys[i]) || store.images().contains(c.keys[i])) << c.keys[i].toStdString();
        }
        EXPECT_NE(browser->useButton(), nullptr);
    }
}

TEST_F(BrowserTest, DoubleClickAndUseButtonEachStartOneDesign)
{
    const QString id = QStringLiteral("flyer-001-a4");
    row(QStringLiteral("Flyers"));
    const std::function<void()> ways[] = {
        [&] { QTest::mouseDClick(grid().viewport(), Qt::LeftButton, {}, tile(id)); },
        [&] {
            click(id);
            QTest::mouseClick(browser->useButton(), Qt::LeftButton, {},
                              static_cast<VKChromeButton *>(browser->useButton())->capsuleRect().center().toPoint());
        },
    };
    for (const auto &start : ways) {
        QSignalSpy changed(&app, &LWApp::editorChanged);
        start();
        EXPECT_EQ(changed.count(), 1);
        ASSERT_NE(app.editor(), nullptr);
        EXPECT_EQ(app.editor()->doc().templateID, id);
        EXPECT_EQ(app.editor()->doc().sizeID, QStringLiteral("a4"));
        EXPECT_EQ(app.editor()->fileURL(), std::nullopt);
        EXPECT_FALSE(app.editor()->dirty());
        EXPECT_EQ(app.screen(), LWAppScreen::editor);
        EXPECT_EQ(browser->selected(), id);
        app.close();
    }
}

TEST_F(BrowserTest, CancelledQuestionLeavesTheBrowserAsItWas)
{
    LWEditor *dirty = newDirty();
    app.setScreen(LWAppScreen::templates);
    row(QStringLiteral("Business Cards"));
    size(2);
    search(QStringLiteral("split"));
    const QString id = QStringLiteral("card-001-eu");
    click(id);
    prompts->script = {ScriptedPrompts::ask(LWPrompts::Answer::cancel)};
    QTest::mouseDClick(grid().viewport(), Qt::LeftButton, {}, tile(id));
    EXPECT_EQ(app.editor(), dirty);
    EXPECT_EQ(app.screen(), LWAppScreen::templates);
    EXPECT_EQ(browser->filter(), QStringLiteral("Business Cards"));
    EXPECT_EQ(browser->size(), QStringLiteral("eu-card"));
    EXPECT_EQ(browser->query(), QStringLiteral("split"));
    EXPECT_EQ(browser->selected(), id);
}

TEST_F(BrowserTest, TileToolTipNamesTheTemplate)
{
    const QPoint at = tile(QStringLiteral("card-002"));
    QHelpEvent help(QEvent::ToolTip, at, grid().viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(grid().viewport(), &help);
    EXPECT_EQ(QToolTip::text(),
              LWTemplates::named(QStringLiteral("card-002"))->name + QStringLiteral(" \u2014 click to preview, double-click to use"));
}

// The category list and the grid show the kit's indicator in every theme: where Fusion draws its
// arrow buttons, at both ends of the bar, the grab is what lies under the bar.
TEST_F(BrowserTest, ScrollIndicatorsHaveNoArrowButtons)
{
    auto *categories = browser->findChild<VKScrollView *>();
    ASSERT_NE(categories, nullptr);
    for (const char *theme : {"cobalt-gunmetal", "brushed-gray"}) {
        VELKThemes::setCurrentID(QString::fromLatin1(theme));
        for (QAbstractScrollArea *area : {static_cast<QAbstractScrollArea *>(categories), static_cast<QAbstractScrollArea *>(&grid())}) {
            SCOPED_TRACE(testing::Message() << theme << " " << area->metaObject()->className());
            QScrollBar *bar = area->verticalScrollBar();
            ASSERT_TRUE(bar->isVisible());
            bar->setValue(bar->maximum() / 2); // the slider clear of both ends
            const QRect strip(bar->mapTo(browser.get(), QPoint(0, 0)), bar->size());
            const QImage shown = browser->grab().toImage();
            bar->hide();
            const QImage under = browser->grab().toImage();
            bar->show();
            const int end = 14; // Fusion's buttons are as long as the bar is wide
            int drawn = 0;
            for (int y = strip.top(); y <= strip.bottom(); ++y) {
                for (int x = strip.left(); x <= strip.right(); ++x) {
                    const bool differs = shown.pixel(x, y) != under.pixel(x, y);
                    drawn += differs;
                    if (y < strip.top() + end || y > strip.bottom() - end) {
                        ASSERT_FALSE(differs) << x << "," << y;
                    }
                }
            }
            EXPECT_GT(drawn, 0); // the capsule itself
        }
    }
}

TEST_F(BrowserTest, OnlyTilesInViewAskForThumbnails)
{
    QSet<QString> expected;
    for (int step = 0; step < 2; ++step) {
        grid().verticalScrollBar()->setValue(step * grid().verticalScrollBar()->maximum() / 4);
        (void)grid().viewport()->grab();
        const QList<qsizetype> shown = grid().visibleTiles();
        EXPECT_GE(shown.size(), 12);
        for (qsizetype i : shown)
            expected << *LWThumbs::key(grid().templates()[i].id, 0, 100);
        QSet<QString> asked = store.pending();
        for (auto key = store.images().keyBegin(); key != store.images().keyEnd(); ++key)
            asked << *key;
        EXPECT_EQ(asked, expected);
    }
}

// In the zoom host at the window's smallest size every paint of the grid is partial. Once every
// thumbnail in view is ready the grid paints nothing and no clock ticks; a tile still waiting
// turns its spinner until the thumbnail arrives.
TEST_F(AppTest, GridInTheZoomHostRestsOnceEveryThumbnailInViewIsReady)
{
    auto log = std::make_shared<MakeLog>();
    QList<LWTemplate> list;
    for (int i = 0; i < 40; ++i)
        list << fakeTemplate(QStringLiteral("t%1").arg(i), log);
    LWThumbs store;
    auto *grid = new TemplateGrid(&store);
    grid->setTemplates(list);
    VKZoomHost host(grid, {1480, 760});
    PaintCounter counter;
    grid->viewport()->installEventFilter(&counter);
    host.resize(900, 600);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    ASSERT_TRUE(host.currentLayout().indicators);
    LWSpinnerClock &clock = LWSpinnerClock::shared();
    QSignalSpy ticks(&clock, &LWSpinnerClock::tick);

    QElapsedTimer shown;
    shown.start();
    const auto rests = [&] {
        EXPECT_TRUE(settle(store));
        // The finished thumbnails are painted, and the first show's scrolling home is over.
        QTest::qWait(std::max(300, 2000 - int(shown.elapsed())));
        EXPECT_FALSE(clock.isRunning());
        ticks.clear();
        counter.paints = 0;
        QTest::qWait(1000);
        EXPECT_EQ(counter.paints, 0);
        EXPECT_EQ(ticks.count(), 0);
    };
    rests();
    EXPECT_GT(store.images().size(), 10);

    const LWTemplate late = fakeTemplate(QStringLiteral("late"), log, {LWColor::white}, Made::pages, true);
    QList<LWTemplate> withLate = list;
    withLate[0] = late; // every other tile keeps its place
    grid->setTemplates(withLate);
    // A loaded machine (the sanitizer run) may delay the clock: wait for the ticks, within reason.
    QElapsedTimer waited;
    waited.start();
    do
        QTest::qWait(LWSpinnerClock::stepMs);
    while ((ticks.count() < 3 || counter.paints < 3) && waited.elapsed() < 5000);
    EXPECT_EQ(store.pending(), QSet<QString>{*LWThumbs::key(late.id, 0, 200)});
    EXPECT_TRUE(clock.isRunning());
    EXPECT_GE(ticks.count(), 3);
    EXPECT_GE(counter.paints, 3);
    log->gate.release();
    rests();
}

TEST(TemplateGridLayout, ColumnsRowsAndTileSizes)
{
    const QList<LWTemplate> &all = LWTemplates::all();
    struct Case {
        double avail;
        int columns;
        double columnWidth;
    };
    for (const Case &c : {Case{190, 1, 190}, Case{393, 1, 393}, Case{394, 2, 190}, Case{1000, 4, 239.5}}) {
        const TemplateGridLayout l = TemplateGrid::layout(c.avail + 8, all.mid(0, 3));
        EXPECT_EQ(l.columns, c.columns) << c.avail;
        EXPECT_DOUBLE_EQ(l.columnWidth, c.columnWidth) << c.avail;
        for (const QRectF &tile : l.tiles)
            EXPECT_LE(tile.width(), c.columnWidth);
    }
    // Three columns: index 199 (the last EU card) and 200 (the first Letter flyer) share a row.
    const TemplateGridLayout l = TemplateGrid::layout(3 * 190 + 2 * 14 + 8, all);
    const auto &[top, height] = l.rows[199 / 3];
    const QRectF card = l.tiles[199], flyer = l.tiles[200];
    EXPECT_EQ(all[199].kind, LWDocKind::businessCard);
    EXPECT_EQ(all[200].kind, LWDocKind::flyer);
    EXPECT_DOUBLE_EQ(height, flyer.height());
    EXPECT_LT(card.height(), flyer.height());
    EXPECT_NEAR(card.center().y(), top + height / 2, 1);
    EXPECT_DOUBLE_EQ(l.rows[199 / 3 + 1].first, top + height + 16);
}

} // namespace

// At the window's smallest width the search field shows its whole placeholder, and the field and
// the size picker stay in place whatever the count reads.
TEST_F(BrowserTest, SearchRowFitsAndStaysPutAsTheCountChanges)
{
    QLineEdit *edit = browser->searchField()->lineEdit();
    QCoreApplication::processEvents();
    const QRect room = edit->contentsRect().marginsRemoved(edit->textMargins());
    EXPECT_LE(edit->fontMetrics().horizontalAdvance(edit->placeholderText()), room.width() - 4)
        << edit->placeholderText().toStdString();
    const QRect field = browser->searchField()->geometry(), picker = browser->sizePicker()->geometry();
    for (const char *query : {"zzqx", "salon", ""}) {
        search(QString::fromLatin1(query));
        QCoreApplication::processEvents();
        EXPECT_EQ(browser->searchField()->geometry(), field) << count().toStdString();
        EXPECT_EQ(browser->sizePicker()->geometry(), picker) << count().toStdString();
    }
}
