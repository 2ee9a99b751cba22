#include "app_fixture.h"

#include "app/sheets/sheetpresenter.h"
#include "app/sheets/sizesheet.h"
#include "kit/controls/chromebutton.h"
#include "kit/controls/numberfield.h"
#include "kit/controls/segmentedpicker.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

namespace {

LWDocument customDoc(double wIn, double hIn)
{
    return LWDocument::blank(LWDocKind::custom, SizeSheet::custom, wIn * 72, hIn * 72, 18, QStringLiteral("Custom"));
}

void choose(SizeSheet &sheet, const QString &id)
{
    const int i = sheet.sizeBox()->findData(id);
    sheet.sizeBox()->setCurrentIndex(i);
    Q_EMIT sheet.sizeBox()->activated(i);
}

void type(NumberField *field, const QString &text)
{
    field->lineEdit()->selectAll();
    field->lineEdit()->insert(text); // as typed: only typed text commits
    field->commitPending();
}

} // namespace

using SizeTest = AppTest;

TEST_F(SizeTest, OpensOnTheDesignAndAppliesTheChoice)
{
    const LWSizePreset a4 = LWSizePreset::a4;
    auto widthTo = [](const char *text) {
        return [text](SizeSheet &s) { type(s.widthField(), QString::fromLatin1(text)); };
    };
    const struct {
        const char *name;
        LWDocument doc;
        QString preset;
        bool landscape, mm;
        double w, h;
        std::function<void(SizeSheet &)> act;
        double width, height, safe;
        QString sizeID;
    } cases[] = {
        {"A4 unchanged", LWDocument::blank(a4, std::nullopt), "a4", false, true, 210, 297, {}, a4.width, a4.height,
         a4.safe, "a4"},
        {"US card turned tall", LWDocument::blank(LWSizePreset::usCard, std::nullopt), "us-card", true, false, 3.5, 2,
         [](SizeSheet &s) { s.orientationPicker()->segment(1)->click(); }, 144, 252, 9, "us-card"},
        {"custom 5 x 7 in", customDoc(5, 7), "custom", false, false, 5, 7, {}, 360, 504, 18, "custom"},
        {"custom 2 x 3.5 in", customDoc(2, 3.5), "custom", false, false, 2, 3.5, {}, 144, 252, 9, "custom"},
        {"W 0 in", customDoc(5, 7), "custom", false, false, 5, 7, widthTo("0"), 36, 504, 2.25, "custom"},
        {"W 40 in", customDoc(5, 7), "custom", false, false, 5, 7, widthTo("40"), 2592, 504, 18, "custom"},
        {"units to mm, numbers kept", customDoc(5, 7), "custom", false, false, 5, 7,
         [](SizeSheet &s) { s.unitPicker()->segment(1)->click(); }, 36, 36, 2.25, "custom"},
        {"letter to tabloid, no scaling", LWDocument::blank(LWSizePreset::letter, std::nullopt), "letter", false, false,
         8.5, 11, [](SizeSheet &s) { choose(s, QStringLiteral("tabloid")), s.scaleBox()->setChecked(false); }, 792,
         1224, 18, "tabloid"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LWEditor *editor = openNew(c.doc);
        const qsizetype steps = editor->undoStack().size();
        const LWDocument before = editor->doc();
        SizeSheet sheet(editor);
        EXPECT_EQ(sheet.sizeBox()->currentData().toString(), c.preset);
        EXPECT_EQ(sheet.orientationPicker()->current(), c.landscape ? 0 : 1);
        EXPECT_EQ(sheet.millimetres(), c.mm);
        EXPECT_NEAR(sheet.widthNumber(), c.w, 1e-9);
        EXPECT_NEAR(sheet.heightNumber(), c.h, 1e-9);
        EXPECT_EQ(sheet.widthField()->isVisibleTo(&sheet), c.preset == SizeSheet::custom);
        EXPECT_EQ(sheet.orientationPicker()->isVisibleTo(&sheet), c.preset != SizeSheet::custom);
        if (c.act)
            c.act(sheet);
        sheet.applyButton()->click();
        EXPECT_EQ(sheet.result(), QDialog::Accepted);
        const LWDocument &d = editor->doc();
        EXPECT_EQ(std::tuple(d.width, d.height, d.safe, d.sizeID), std::tuple(c.width, c.height, c.safe, c.sizeID));
        // One step, unless the chosen size is the one the design has.
        const bool same = std::tuple(before.width, before.height, before.safe, before.sizeID) ==
                          std::tuple(c.width, c.height, c.safe, c.sizeID);
        EXPECT_EQ(editor->undoStack().size(), steps + (same ? 0 : 1));
    }
}

TEST_F(SizeTest, FieldsTakeFiniteNumbersAndPendingText)
{
    // Refused text leaves the number as it was.
    {
        SizeSheet sheet(openNew(customDoc(5, 7)));
        for (const char *text : {"nan", "inf", "5x", ""}) {
            type(sheet.widthField(), QString::fromLatin1(text));
            EXPECT_EQ(sheet.widthNumber(), 5) << text;
        }
    }
    // Text still being typed counts, by a click on Apply or by Return.
    for (bool byReturn : {false, true}) {
        LWEditor *editor = openNew(customDoc(5, 7));
        SizeSheet sheet(editor);
        sheet.show();
        QApplication::setActiveWindow(&sheet);
        sheet.widthField()->lineEdit()->setFocus();
        sheet.widthField()->lineEdit()->selectAll();
        sheet.widthField()->lineEdit()->insert(QStringLiteral("6"));
        if (byReturn)
            QTest::keyClick(sheet.widthField()->lineEdit(), Qt::Key_Return);
        else
            QTest::mouseClick(sheet.applyButton(), Qt::LeftButton, {},
                              sheet.applyButton()->capsuleRect().center().toPoint());
        EXPECT_DOUBLE_EQ(editor->doc().width, 432);
        EXPECT_FALSE(sheet.isVisible());
    }
}

TEST_F(SizeTest, SwitchingBetweenPresetAndCustomKeepsTheChoices)
{
    SizeSheet sheet(openNew(LWDocument::blank(LWSizePreset::usCard, std::nullopt)));
    // Sizes in their own units, then the custom entry.
    ASSERT_EQ(sheet.sizeBox()->count(), 7);
    EXPECT_EQ(sheet.sizeBox()->itemText(0), QStringLiteral("US Business Card \u2014 3.5 \u00D7 2 in"));
    EXPECT_EQ(sheet.sizeBox()->itemText(3), QStringLiteral("A4 Flyer \u2014 210 \u00D7 297 mm"));
    EXPECT_EQ(sheet.sizeBox()->itemData(6).toString(), SizeSheet::custom);

    sheet.orientationPicker()->segment(1)->click();
    choose(sheet, SizeSheet::custom);
    EXPECT_TRUE(sheet.widthField()->isVisibleTo(&sheet));
    sheet.unitPicker()->segment(1)->click();
    type(sheet.widthField(), QStringLiteral("80"));
    choose(sheet, QStringLiteral("us-card"));
    EXPECT_EQ(sheet.orientationPicker()->current(), 1);
    choose(sheet, SizeSheet::custom);
    EXPECT_EQ(sheet.unitPicker()->current(), 1);
    EXPECT_EQ(sheet.widthNumber(), 80);
    EXPECT_EQ(sheet.heightNumber(), 2);
    EXPECT_EQ(sheet.widthField()->unit(), QStringLiteral("mm"));
}

TEST_F(SizeTest, CancelAndEscapeChangeNothing)
{
    LWEditor *editor = openNew(LWDocument::blank(LWSizePreset::letter, std::nullopt));
    const LWDocument before = editor->doc();
    const qsizetype steps = editor->undoStack().size();
    QWidget window;
    LWSheetPresenter presenter(app, &window);
    for (bool escape : {false, true}) {
        app.setSheet(LWAppSheet::size);
        auto *sheet = qobject_cast<SizeSheet *>(presenter.dialog());
        ASSERT_NE(sheet, nullptr);
        choose(*sheet, QStringLiteral("tabloid"));
        sheet->scaleBox()->setChecked(false);
        if (escape)
            QTest::keyClick(sheet, Qt::Key_Escape);
        else
            sheet->cancelButton()->click();
        QCoreApplication::processEvents();
        EXPECT_FALSE(app.sheet());
        EXPECT_EQ(editor->doc(), before);
        EXPECT_EQ(editor->undoStack().size(), steps);
    }
}
