// The image section against a real editor: its two looks, what its pickers, crop sliders and
// border write, and how those edits fall into undo steps.
#include "kit/controls/chipbutton.h"
#include "kit/cabinet/lcdreadout.h"
#include "kit/controls/segmentedpicker.h"
#include "kit/theme/style.h"
#include "model/file/prefs.h"
#include "render/pictures/decodebudget.h"
#include "section_fixture.h"
#include "support/pngbytes.h"
#include "support/testpictures.h"
#include "support/undrawnpictures.h"
#include "support/waitfor.h"
#include "ui/inspector/sections/imagesection.h"
#include "ui/inspector/inspectorcombo.h"
#include "ui/inspector/inspectornote.h"
#include "ui/inspector/strokeeditor.h"

#include <QCheckBox>
#include <QScopeGuard>

namespace {

using Image = SectionTest;

// A photo frame whose picture record holds the given crops; with `bytes`, a filled one.
LWElement frame(const std::optional<QByteArray> &bytes = std::nullopt)
{
    LWElement e = LWElement::makePhoto({72, 72, 144, 96});
    e.image->data = bytes;
    return e;
}

void pickMask(ImageSection *s, int index)
{
    s->maskPicker()->setCurrentIndex(index);
    Q_EMIT s->maskPicker()->activated(index);
}

TEST(ImageSectionText, DpiIsTruncated)
{
    const struct {
        double dpi;
        const char *text;
    } cases[] = {{299.9, "299 DPI"}, {300, "300 DPI"}, {72.01, "72 DPI"}, {0.5, "0 DPI"}};
    for (const auto &c : cases)
        EXPECT_EQ(ImageSection::dpiText(c.dpi), QString::fromUtf8(c.text)) << c.dpi;
}

TEST_F(Image, EmptyFrameTurnsFilledThroughTheChooser)
{
    const LWElement e = frame();
    open(letter({e}), {e.id});
    auto *s = show<ImageSection>(e.id);
    EXPECT_EQ(s->chooseButton()->text(), QStringLiteral("Choose Picture…"));
    EXPECT_EQ(shown(*s, {s->emptyHint(), s->dpiReadout()}), (QList<bool>{true, false}));

    QList<LWEditor *> calls;
    const QByteArray picture = lwPngBytes(3000, 2000);
    s->setChooser([&](LWEditor &editor, QWidget *) {
        calls << &editor;
        EXPECT_TRUE(editor.placeImage(picture));
    });
    s->chooseButton()->click();
    ASSERT_EQ(calls, QList<LWEditor *>{ed.get()});
    EXPECT_EQ(s->chooseButton()->text(), QStringLiteral("Replace…"));
    EXPECT_EQ(shown(*s, {s->emptyHint(), s->dpiReadout()}), (QList<bool>{false, true}));
    // 3000 px over the 2 in of the frame's width, once the picture was checked beside the window.
    EXPECT_TRUE(waitFor([&] { return s->dpiReadout()->lines() == QStringList{QStringLiteral("1500 DPI")}; }));
}

// What the picture section says of a picture: its resolution, or, for one that cannot be drawn,
// what the print check says instead of a resolution; with the export sheet set to 600 DPI, the
// resolution in ruby of a picture the JPEG and PNG export would leave out, plain again at 300.
TEST_F(Image, ReadOutSaysWhetherThePictureCanBeDrawn)
{
    const struct {
        const char *name;
        QByteArray bytes;
        QString dpi;  // empty: no read-out
        QString note; // empty: none
        double rotation = 0;
        qint64 budgetMB = 0; // 0: the program's
    } cases[] = {
        {"drawable", lwPngBytes(600, 400), QStringLiteral("300 DPI"), {}},
        {"625 MP", LWUndrawnPictures::pngClaiming(25000, 25000), {},
         QStringLiteral("This picture is too large to draw, so a placeholder would print in its place. Place a "
                        "smaller copy of it.")},
        {"not a picture", QByteArray("\x89PNG\r\n\x1a\n") + QByteArray(64, 'x'), {},
         QStringLiteral("This picture can't be read, so a placeholder would print in its place. Place the picture "
                        "again.")},
        // Turned by 45 degrees, so that every run of rows crosses most of the picture: decoded
        // whole at the size each resolution draws it.
        {"too large for the export's 600 DPI", LWTestPictures::encode(LWTestPictures::twoTone(3200, 2133), "jpeg", 90),
         QStringLiteral("1599 DPI"),
         QStringLiteral("This picture is too large to draw at 600 DPI, so a placeholder would print in its place in a "
                        "JPEG or PNG. Export a PDF, or place a smaller copy of it."),
         45, 12},
    };
    LWSettings::shared().setValue(LWPrefs::exportDPIKey, 600);
    const qint64 budget = LWDecodeBudget::limit();
    const auto restore = qScopeGuard([budget] {
        LWDecodeBudget::setLimit(budget);
        LWSettings::shared().remove(LWPrefs::exportDPIKey);
    });
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LWDecodeBudget::setLimit(c.budgetMB > 0 ? c.budgetMB << 20 : budget);
        LWElement e = frame(c.bytes);
        e.rotation = c.rotation;
        open(letter({e}), {e.id});
        auto *s = show<ImageSection>(e.id);
        const auto checking = [&] {
            return s->dpiReadout()->isVisibleTo(s) &&
                   s->dpiReadout()->lines() == QStringList{QStringLiteral("\u2026 DPI")};
        };
        ASSERT_TRUE(waitFor([&] { return !checking(); }));
        EXPECT_EQ(s->dpiReadout()->isVisibleTo(s), !c.dpi.isEmpty());
        if (!c.dpi.isEmpty())
            EXPECT_EQ(s->dpiReadout()->lines(), QStringList{c.dpi});
        EXPECT_EQ(s->undrawnNote()->isVisibleTo(s), !c.note.isEmpty());
        EXPECT_EQ(s->undrawnNote()->text(), c.note.isEmpty() ? s->undrawnNote()->text() : c.note);
        const bool ruby = !c.note.isEmpty();
        EXPECT_EQ(s->dpiReadout()->textColour(), ruby ? std::optional<QColor>(LWStyle::ruby()) : std::nullopt);
        if (c.dpi.isEmpty() || !ruby)
            continue;
        LWSettings::shared().setValue(LWPrefs::exportDPIKey, 300);
        EXPECT_TRUE(waitFor([&] {
            return s->dpiReadout()->lines() == QStringList{c.dpi} && !s->dpiReadout()->textColour() &&
                   !s->undrawnNote()->isVisibleTo(s);
        }));
        LWSettings::shared().setValue(LWPrefs::exportDPIKey, 600);
    }
}

TEST_F(Image, MaskChoiceTogglesCorners)
{
    const LWElement e = frame(lwPngBytes(40, 30));
    open(letter({e}), {e.id});
    auto *s = show<ImageSection>(e.id);
    EXPECT_TRUE(s->cornersSlider()->isVisibleTo(s));
    const struct {
        int index;
        LWMask mask;
        bool corners;
    } cases[] = {{2, LWMask::ellipse, false}, {6, LWMask::diamond, false}, {0, LWMask::none, true},
                 {1, LWMask::rounded, false}};
    for (const auto &c : cases) {
        const qsizetype before = steps();
        pickMask(s, c.index);
        EXPECT_EQ(el(e.id).image->mask, c.mask) << c.index;
        EXPECT_EQ(s->cornersSlider()->isVisibleTo(s), c.corners) << c.index;
        EXPECT_EQ(steps(), before + 1) << c.index;
    }
}

TEST_F(Image, CropEditsAndTheirSteps)
{
    const LWElement e = frame(lwPngBytes(40, 30));
    open(letter({e}), {e.id});
    auto *s = show<ImageSection>(e.id);
    LabeledSlider *left = s->cropSliders()[0], *bottom = s->cropSliders()[3];

    slideTo(left, 12.5);
    EXPECT_DOUBLE_EQ(el(e.id).image->cropL, 0.125);
    EXPECT_EQ(steps(), 1);
    advance(1);
    slideTo(bottom, 10); // the same key: one step
    EXPECT_DOUBLE_EQ(el(e.id).image->cropB, 0.1);
    EXPECT_EQ(steps(), 1);
    advance(0.5);
    s->fitPicker()->segment(1)->click(); // no key: a step of its own
    EXPECT_EQ(el(e.id).image->fit, LWImageFit::fit);
    EXPECT_EQ(steps(), 2);
    advance(0.2);
    slideTo(s->cropSliders()[1], 5);
    slideTo(s->cropSliders()[2], 7.5);
    EXPECT_EQ(steps(), 3);

    advance(0.2);
    s->resetCropButton()->click();
    const LWImage img = *el(e.id).image;
    EXPECT_EQ((QList<double>{img.cropL, img.cropT, img.cropR, img.cropB}), (QList<double>{0, 0, 0, 0}));
    EXPECT_EQ(steps(), 4);
    ed->undo();
    EXPECT_DOUBLE_EQ(el(e.id).image->cropT, 0.075);
}

TEST_F(Image, NoPictureRecordIsLeftAlone)
{
    const LWElement bare(LWElementKind::image, QStringLiteral("Stored"), {72, 72, 100, 100});
    open(letter({bare}), {bare.id});
    auto *s = show<ImageSection>(bare.id);
    slideTo(s->cropSliders()[0], 20);
    s->fitPicker()->segment(1)->click();
    pickMask(s, 2);
    s->resetCropButton()->click();
    EXPECT_EQ(el(bare.id), bare);
    EXPECT_EQ(steps(), 0);
}

TEST_F(Image, BorderAndCornersWriteTheFrame)
{
    const LWElement e = frame(lwPngBytes(40, 30));
    open(letter({e}), {e.id});
    auto *s = show<ImageSection>(e.id);
    s->borderEditor()->toggle()->click();
    ASSERT_TRUE(el(e.id).stroke);
    // The corners slider is bounded by half the shorter side and keyed per element.
    EXPECT_DOUBLE_EQ(s->cornersSlider()->slider()->upper(), 48);
    slideTo(s->cornersSlider(), 10);
    advance(0.3);
    slideTo(s->cornersSlider(), 12);
    EXPECT_DOUBLE_EQ(el(e.id).cornerRadius, 12);
    EXPECT_EQ(steps(), 2);
}

} // namespace
