#include "app/app_fixture.h"
#include "kit/cabinet/chromeroundbutton.h"
#include "kit/help/help.h"
#include "kit/cabinet/lcdreadout.h"
#include "shell/headerbar.h"
#include "shell/modeswitch.h"

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

namespace {

QString repeated(const QStringList &parts, int count)
{
    QString out;
    for (int i = 0; i < count; ++i)
        out += parts[i % parts.size()];
    return out;
}

void click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

void clickFace(ChromeRoundButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, button->faceRect().center().toPoint());
}

} // namespace

TEST(HeaderLines, ReadOutOfTheOpenDesign)
{
    const QStringList emoji = {QStringLiteral("\U0001F469\u200D\U0001F469\u200D\U0001F467"), QStringLiteral("\U0001F1E9\U0001F1EA"),
                               QStringLiteral("\U0001F600"), QStringLiteral("\U0001F44D\U0001F3FD")};
    const QString letters30 = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcd");
    const QString accents = QStringLiteral("e\u0301");
    struct Case {
        const char *what;
        LWDocument doc;
        QString line1, line2;
        std::function<void(LWEditor &)> setUp;
    };
    const LWDocument usCard = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Card"));
    auto named = [&](const QString &name) { return LWDocument::blank(LWSizePreset::usCard, std::nullopt, name); };
    const QString cardLine = QStringLiteral("3.5 \u00D7 2 in \u00B7 FRONT \u00B7 0 SELECTED");
    const QList<Case> cases = {
        {"30 letters", named(letters30), letters30.left(26), cardLine, {}},
        {"26 letters", named(letters30.left(26)), letters30.left(26), cardLine, {}},
        {"30 emoji", named(repeated(emoji, 30)), repeated(emoji, 26), cardLine, {}},
        {"combining marks", named(accents.repeated(30)), accents.repeated(26), cardLine, {}},
        {"dirty", usCard, QStringLiteral("Card \u2022"), cardLine,
         [](LWEditor &e) { e.change(QStringLiteral("Bleed"), std::nullopt, [](LWDocument &d) { d.bleed = 12; }); }},
        {"one-page flyer", LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Flyer")),
         QStringLiteral("Flyer"), QStringLiteral("8.5 \u00D7 11 in \u00B7 0 SELECTED"), {}},
        {"back of a US card", usCard, QStringLiteral("Card"), QStringLiteral("3.5 \u00D7 2 in \u00B7 BACK \u00B7 3 SELECTED"),
         [](LWEditor &e) {
             e.switchSide(1);
             for (int i = 0; i < 3; ++i)
                 ASSERT_TRUE(e.add(LWElement::makeShape(LWShapeKind::rectangle, LWRect(10 * i, 10, 20, 20),
                                                        LWFill::solid(LWColor::black), std::nullopt)));
             QList<QUuid> ids;
             for (const LWElement &el : e.elements())
                 ids << el.id;
             e.setSelection(ids);
             e.setDirty(false);
         }},
        {"EU card front", LWDocument::blank(LWSizePreset::euCard, std::nullopt, QStringLiteral("EU")), QStringLiteral("EU"),
         QStringLiteral("85 \u00D7 55 mm \u00B7 FRONT \u00B7 0 SELECTED"), {}},
    };
    EXPECT_EQ(HeaderBar::lcdLines(nullptr), QStringList({QStringLiteral("READY"), QStringLiteral("Pick a size or a template")}));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LWEditor e(c.doc);
        if (c.setUp)
            c.setUp(e);
        const QStringList lines = HeaderBar::lcdLines(&e);
        ASSERT_EQ(lines.size(), 2);
        EXPECT_EQ(lines[0], c.line1);
        EXPECT_EQ(lines[1], c.line2);
        EXPECT_TRUE(lines[0].isValidUtf16()) << "a lone surrogate";
    }
}

using HeaderBarTest = AppTest;

// Every change inside the editor reaches the bar although the state announces nothing.
TEST_F(HeaderBarTest, FollowsTheOpenEditorItself)
{
    HeaderBar bar(app);
    app.newDocument(LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Card")));
    LWEditor *e = app.editor();
    ASSERT_NE(e, nullptr);
    QSignalSpy editorSpy(&app, &LWApp::editorChanged), screenSpy(&app, &LWApp::screenChanged);
    EXPECT_FALSE(bar.undoButton()->isEnabled());
    EXPECT_FALSE(bar.redoButton()->isEnabled());

    e->change(QStringLiteral("Bleed"), std::nullopt, [](LWDocument &d) { d.bleed = 12; });
    EXPECT_TRUE(bar.undoButton()->isEnabled());
    EXPECT_EQ(bar.readout()->lines().value(0), QStringLiteral("Card \u2022"));

    e->undo();
    EXPECT_TRUE(bar.redoButton()->isEnabled());
    EXPECT_FALSE(bar.undoButton()->isEnabled());

    e->markSaved(url(QStringLiteral("Card.velkfolio")));
    EXPECT_EQ(bar.readout()->lines().value(0), QStringLiteral("Card"));

    e->switchSide(1);
    EXPECT_TRUE(bar.readout()->lines().value(1).contains(QStringLiteral(" BACK ")));

    ASSERT_TRUE(e->add(LWElement::makeShape(LWShapeKind::ellipse, LWRect(5, 5, 30, 30), LWFill::none(), std::nullopt)));
    EXPECT_TRUE(bar.readout()->lines().value(1).endsWith(QStringLiteral(" 1 SELECTED")));
    e->setSelection({});
    EXPECT_TRUE(bar.readout()->lines().value(1).endsWith(QStringLiteral(" 0 SELECTED")));

    EXPECT_EQ(editorSpy.count(), 0);
    EXPECT_EQ(screenSpy.count(), 0);

    // A replaced editor is no longer followed.
    prompts->script = {ScriptedPrompts::ask(LWPrompts::Answer::dontSave)};
    app.newDocument(LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Flyer")));
    e->setDirty(true);
    EXPECT_EQ(bar.readout()->lines().value(0), QStringLiteral("Flyer"));
}

TEST_F(HeaderBarTest, ButtonsWithoutAndWithADesign)
{
    QList<std::optional<QString>> opened;
    VELKHelp::setOpener([&opened](const std::optional<QString> &topic) { opened << topic; });
    HeaderBar bar(app);
    bar.resize(1480, bar.sizeHint().height());
    bar.show();

    for (ChromeRoundButton *b : {bar.undoButton(), bar.redoButton(), bar.preflightButton(), bar.exportButton()})
        EXPECT_FALSE(b->isEnabled()) << b->help().toStdString();
    EXPECT_FALSE(bar.exportButton()->isSelected());
    EXPECT_EQ(bar.readout()->lines(), HeaderBar::lcdLines(nullptr));
    clickFace(bar.preflightButton());
    EXPECT_EQ(app.sheet(), std::nullopt);
    clickFace(bar.helpButton());
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], std::nullopt);

    EXPECT_EQ(bar.undoButton()->toolTip(), QStringLiteral("Undo (Ctrl+Z)"));
    EXPECT_EQ(bar.redoButton()->toolTip(), QStringLiteral("Redo (Ctrl+Shift+Z)"));
    EXPECT_EQ(bar.preflightButton()->toolTip(), QStringLiteral("Preflight: check the design before printing"));
    EXPECT_EQ(bar.exportButton()->toolTip(), QStringLiteral("Export PDF / JPEG / PNG / print sheet (Ctrl+E)"));
    EXPECT_EQ(bar.helpButton()->toolTip(), QStringLiteral("Help"));

    LWEditor *e = newDirty();
    EXPECT_TRUE(bar.exportButton()->isSelected());
    EXPECT_TRUE(bar.preflightButton()->isEnabled());
    clickFace(bar.preflightButton());
    EXPECT_EQ(app.sheet(), LWAppSheet::preflight);
    clickFace(bar.exportButton());
    EXPECT_EQ(app.sheet(), LWAppSheet::exportSheet);
    clickFace(bar.undoButton());
    EXPECT_TRUE(e->canRedo());
    EXPECT_FALSE(e->canUndo());
    clickFace(bar.redoButton());
    EXPECT_TRUE(e->canUndo());

    app.setEditor(nullptr);
    EXPECT_FALSE(bar.exportButton()->isSelected());
    EXPECT_FALSE(bar.undoButton()->isEnabled());
    VELKHelp::setOpener({});
}

TEST(BrushedLines, RowsOnMidGrey)
{
    const QRgb grey = qRgb(128, 128, 128);
    QImage image(10, 7, QImage::Format_ARGB32_Premultiplied);
    image.fill(grey);
    {
        QPainter p(&image);
        BrushedLines::paint(p, image.size());
    }
    for (int y = 0; y < image.height(); ++y) {
        SCOPED_TRACE(y);
        const int red = qRed(image.pixel(4, y));
        if (y == 0 || y == 6)
            EXPECT_GT(red, 128);
        else if (y == 2 || y == 4)
            EXPECT_LT(red, 128);
        else
            EXPECT_EQ(image.pixel(4, y), grey);
    }
    QImage untouched(10, 7, QImage::Format_ARGB32_Premultiplied);
    untouched.fill(grey);
    {
        QPainter p(&untouched);
        BrushedLines::paint(p, QSizeF(10, 0));
    }
    EXPECT_TRUE(untouched.pixel(0, 0) == grey && untouched.pixel(9, 0) == grey);
}

using ModeSwitchTest = AppTest;

TEST_F(ModeSwitchTest, SegmentsSetTheScreenOnly)
{
    ModeSwitch modes(app);
    modes.show();
    ModeSegment *start = modes.segment(LWAppScreen::start);
    ModeSegment *templates = modes.segment(LWAppScreen::templates);
    ModeSegment *design = modes.segment(LWAppScreen::editor);
    EXPECT_EQ(QStringList({start->text(), templates->text(), design->text()}),
              QStringList({QStringLiteral("Start"), QStringLiteral("Templates"), QStringLiteral("Design")}));

    QSignalSpy screens(&app, &LWApp::screenChanged);
    EXPECT_TRUE(start->isChecked());
    EXPECT_FALSE(design->isEnabled());
    EXPECT_EQ(design->toolTip(), ModeSwitch::noDesignHelp);
    EXPECT_DOUBLE_EQ(design->opacity(), 0.45);
    click(design);
    EXPECT_EQ(app.screen(), LWAppScreen::start);
    EXPECT_EQ(screens.count(), 0);

    app.newDocument(LWDocument::blank(LWSizePreset::usCard, std::nullopt));
    LWEditor *e = app.editor();
    EXPECT_TRUE(design->isEnabled());
    EXPECT_TRUE(design->isChecked());
    EXPECT_FALSE(start->isChecked());
    EXPECT_EQ(design->toolTip(), ModeSwitch::designHelp);
    EXPECT_DOUBLE_EQ(design->opacity(), 1.0);

    click(templates);
    EXPECT_EQ(app.screen(), LWAppScreen::templates);
    EXPECT_EQ(app.editor(), e);
    EXPECT_TRUE(templates->isChecked());
    EXPECT_FALSE(design->isChecked());
    click(design);
    EXPECT_EQ(app.screen(), LWAppScreen::editor);
    EXPECT_EQ(app.editor(), e);

    // The selected segment clicked again: the same screen set once more, nothing else.
    screens.clear();
    QSignalSpy editors(&app, &LWApp::editorChanged), sheets(&app, &LWApp::sheetChanged),
        notices(&app, &LWApp::noticeChanged);
    click(design);
    EXPECT_EQ(screens.count(), 1);
    EXPECT_EQ(editors.count() + sheets.count() + notices.count(), 0);
    EXPECT_TRUE(design->isChecked());

    // The editor screen without an editor: Design shows selected, dimmed and disabled.
    app.setEditor(nullptr);
    EXPECT_EQ(app.screen(), LWAppScreen::editor);
    EXPECT_TRUE(design->isChecked());
    EXPECT_FALSE(design->isEnabled());
    EXPECT_DOUBLE_EQ(design->opacity(), 0.45);
}

TEST_F(ModeSwitchTest, OnlyTheCapsuleTakesTheClick)
{
    ModeSwitch modes(app);
    modes.show();
    ModeSegment *templates = modes.segment(LWAppScreen::templates);
    QTest::mouseClick(templates, Qt::LeftButton, {}, QPoint(1, 1)); // QPoint(0, 0) means the centre
    EXPECT_EQ(app.screen(), LWAppScreen::start);
    QTest::mouseClick(templates, Qt::LeftButton, {}, QPoint(templates->width() - 4, templates->height() / 2));
    EXPECT_EQ(app.screen(), LWAppScreen::templates);
}
