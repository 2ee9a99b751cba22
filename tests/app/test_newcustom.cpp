#include "app_fixture.h"

#include "app/newcustomdialog.h"
#include "kit/controls/chromebutton.h"
#include "kit/controls/numberfield.h"
#include "kit/controls/segmentedpicker.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

namespace {

double r2(double v)
{
    return std::round(v * 100) / 100;
}

void type(NumberField *field, const QString &text)
{
    field->lineEdit()->selectAll();
    field->lineEdit()->insert(text); // as typed: only typed text commits
}

void clickCreate(NewCustomDialog &d)
{
    QTest::mouseClick(d.createButton(), Qt::LeftButton, {}, d.createButton()->capsuleRect().center().toPoint());
}

} // namespace

class CustomTest : public AppTest {
protected:
    // Runs the tasks the dialog left for the event loop.
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
};

TEST_F(CustomTest, CreatesTheTypedSize)
{
    const struct {
        const char *name;
        QString w, h; // empty: left as shown
        bool mm, twoSided;
        double width, height, safe;
        QStringList pages;
    } cases[] = {
        {"defaults", {}, {}, false, false, 360, 504, 18, {"Page 1"}},
        {"millimetres without retyping", {}, {}, true, false, 36, 36, 2.25, {"Page 1"}},
        {"40 in", "40", {}, false, false, 2592, 504, 18, {"Page 1"}},
        {"0 and -3 in", "0", "-3", false, false, 36, 36, 2.25, {"Page 1"}},
        {"0 and -3 mm", "0", "-3", true, false, 36, 36, 2.25, {"Page 1"}},
        {"A4 in mm", "210", "297", true, false, 595.28, 841.89, 18, {"Page 1"}},
        {"EU card in mm", "85", "55", true, false, 240.94, 155.91, 9.74, {"Page 1"}},
        {"two-sided", {}, {}, false, true, 360, 504, 18, {"Front", "Back"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        NewCustomDialog d(app);
        d.show();
        if (c.mm)
            QTest::mouseClick(d.unitPicker()->segment(1), Qt::LeftButton);
        EXPECT_EQ(d.widthField()->unit(), c.mm ? QStringLiteral("mm") : QStringLiteral("in"));
        for (auto [field, text] : {std::pair{d.widthField(), c.w}, std::pair{d.heightField(), c.h}})
            if (!text.isEmpty()) {
                type(field, text);
                field->commitPending();
                // A number below the least is raised and shown so at once.
                if (text.toDouble() < 0.5) {
                    EXPECT_EQ(field->lineEdit()->text(), QStringLiteral("0.5"));
                }
            }
        d.twoSidedBox()->setChecked(c.twoSided);
        QSignalSpy editors(&app, &LWApp::editorChanged);
        clickCreate(d);
        EXPECT_EQ(d.result(), QDialog::Accepted);
        settle();
        ASSERT_EQ(editors.size(), 1);
        const LWDocument &doc = app.editor()->doc();
        EXPECT_EQ(r2(doc.width), c.width);
        EXPECT_EQ(r2(doc.height), c.height);
        EXPECT_EQ(r2(doc.safe), c.safe);
        QStringList names;
        for (const LWPage &p : doc.pages)
            names.append(p.name);
        EXPECT_EQ(names, c.pages);
        EXPECT_EQ(doc.kind, LWDocKind::custom);
        EXPECT_EQ(doc.sizeID, QStringLiteral("custom"));
        EXPECT_EQ(doc.name, QStringLiteral("Untitled"));
    }
}

TEST_F(CustomTest, NumberStillBeingTypedCountsOnCreateAndReturn)
{
    const std::function<void(NewCustomDialog &)> ways[] = {
        [](NewCustomDialog &d) { d.createButton()->click(); },
        [](NewCustomDialog &d) { QTest::keyClick(d.widthField()->lineEdit(), Qt::Key_Return); },
        [](NewCustomDialog &d) { QTest::keyClick(d.widthField()->lineEdit(), Qt::Key_Enter, Qt::KeypadModifier); },
    };
    for (const auto &create : ways) {
        NewCustomDialog d(app);
        d.show();
        QApplication::setActiveWindow(&d);
        d.widthField()->lineEdit()->setFocus();
        type(d.widthField(), QStringLiteral("6"));
        QSignalSpy editors(&app, &LWApp::editorChanged);
        create(d);
        EXPECT_FALSE(d.isVisible());
        settle();
        ASSERT_EQ(editors.size(), 1);
        EXPECT_EQ(app.editor()->doc().width, 432);
    }
}

TEST_F(CustomTest, ClosesBeforeTheQuestionAndCancelKeepsTheOldDesign)
{
    LWEditor *old = newDirty();
    app.setSheet(LWAppSheet::newCustom);
    QPointer<NewCustomDialog> d = NewCustomDialog::present(app, nullptr);
    prompts->script = {ScriptedPrompts::ask(LWPrompts::Answer::cancel)};
    clickCreate(*d);
    EXPECT_FALSE(d->isVisible());
    EXPECT_TRUE(prompts->calls.isEmpty());
    EXPECT_EQ(app.sheet(), std::nullopt);
    settle();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(d.isNull());
    ASSERT_EQ(prompts->calls.size(), 1);
    EXPECT_EQ(app.editor(), old);
    EXPECT_EQ(app.editor()->doc().width, 252);
    EXPECT_TRUE(app.editor()->dirty());

    app.setSheet(LWAppSheet::newCustom);
    d = NewCustomDialog::present(app, nullptr);
    d->cancelButton()->click();
    settle();
    EXPECT_EQ(app.sheet(), std::nullopt);
    EXPECT_EQ(app.editor(), old);
}
