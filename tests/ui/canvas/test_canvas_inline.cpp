#include "editor/editor_fixture.h"
#include "render/text/fonts.h"
#include "ui/canvas/inlinetexteditor.h"
#include "ui/canvas/pagecanvas.h"

#include <QApplication>
#include <QTest>

namespace {

class InlineInkTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        LWFonts::registerBundled();
    }
    // Types "Hg" into an empty 12-pt box of the given height, shown at `scale` and turned by
    // `angle`; the letters' ink in the page view drawn at `dpr` inside the editor's area.
    struct Ink {
        int dark = 0;
        double amount = 0;
    };
    Ink ink(double height, double scale, double angle, double dpr)
    {
        LWElement box = LWElement::makeText(LWText(QString(), QStringLiteral("Georgia"), 12, LWColor::black),
                                            {200, 300, 120, height});
        box.rotation = angle;
        auto editor = make(letter({box}));
        PageCanvas page(*editor);
        page.setScale(scale);
        editor->setEditingTextID(box.id);
        if (!page.inlineEditor())
            return {};
        InlineTextEditor *typing = page.inlineEditor()->editor();
        typing->setCursorWidth(0); // only the letters count, whenever the cursor blinks
        QTest::keyClicks(typing, QStringLiteral("Hg"));
        const QRect area = page.inlineEditor()->geometry();
        QImage shot(area.size() * dpr, QImage::Format_ARGB32_Premultiplied);
        shot.setDevicePixelRatio(dpr);
        shot.fill(Qt::white);
        page.render(&shot, {}, area);
        // Grey levels, not a threshold: 6-pixel letters turned by 30 degrees are mostly edge.
        Ink ink;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (c.hsvSaturation() < 60) { // the black letters, not the blue border
                    ink.dark += c.value() < 128;
                    ink.amount += 255 - c.value();
                }
            }
        return ink;
    }
};

} // namespace

TEST_F(InlineInkTest, TypedWordsShowInEveryBoxAtEveryScale)
{
    for (double dpr : {1.0, 2.0}) {
        for (double angle : {0.0, 30.0}) {
            for (double scale : {0.5, 0.93, 1.0, 3.0, 8.0}) {
                const std::string row =
                    QStringLiteral("scale %1 x%2 turned %3, box ").arg(scale).arg(dpr).arg(angle).toStdString();
                const double tall = ink(200, scale, angle, dpr).amount;
                ASSERT_GT(tall, 0) << row;
                for (double height : {10.0, 24.0, 36.0, 50.0, 80.0}) {
                    const Ink shown = ink(height, scale, angle, dpr);
                    EXPECT_GT(shown.dark, 0) << row << height;
                    EXPECT_NEAR(shown.amount, tall, tall * 0.2) << row << height;
                }
            }
        }
    }
}
