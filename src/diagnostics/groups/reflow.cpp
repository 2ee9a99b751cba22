#include "diagnostics/groups/reflowchecks.h"
#include "diagnostics/selftestgroups.h"
#include "render/preflight.h"
#include "render/renderer.h"
#include "render/text/textlayout.h"

#include <algorithm>
#include <cmath>

namespace LWSelfTest {

namespace ReflowRules {

bool tallEnough(double frameHeight, double textHeight) { return frameHeight >= textHeight - 0.5; }
bool clearlyTaller(double before, double after) { return after > before + 10; }
bool enoughInk(int darkPixels) { return darkPixels > 20; }

int darkPixels(const Pixels &image, const QRectF &rect)
{
    // Cut toward zero; what lies left of or above the image (or is no number) starts at 0.
    const auto cut = [](double v) { return v > 0 ? std::trunc(v) : 0.0; };
    const int top = int(std::min(cut(rect.top()), double(image.height())));
    const int bottom = int(std::min(cut(rect.bottom()), double(image.height())));
    const int left = int(std::min(cut(rect.left()), double(image.width())));
    const int right = int(std::min(cut(rect.right()), double(image.width())));
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            count += isDark(pixel(image, x, y)) ? 1 : 0;
    return count;
}

} // namespace ReflowRules

namespace {

using namespace ReflowRules;

const QString avenir = QStringLiteral("AvenirNext-Regular");
const QString longSentence = QStringLiteral("Fresh flowers, hand-tied bouquets and table arrangements delivered "
                                            "across town every single day of the week.");
const QString countingWords = QStringLiteral("One two three four five six seven eight nine ten eleven twelve");
const QString arrow = QStringLiteral(" \u2192 ");

LWText plainText(const QString &string, double size, LWTextAlign align = LWTextAlign::left,
                 LWVAlign vAlign = LWVAlign::top)
{
    return LWText(string, avenir, size, LWColor::black, 0, 1.0, align, vAlign);
}

// A height in a label: cut toward zero.
QString whole(double v) { return QString::number(qint64(v)); }

// The box, looked up afresh, when it still has its text.
struct Box {
    LWElement element;
    const LWText &text() const { return *element.text; }
    const LWRect &frame() const { return element.frame; }
};
std::optional<Box> boxOf(const LWEditor &ed, const QUuid &id)
{
    std::optional<LWElement> e = ed.element(id);
    if (!e || !e->text)
        return std::nullopt;
    return Box{std::move(*e)};
}

// Check 8: the last line's rectangle in page space, its dark pixels in a render of the page.
std::optional<int> lastLineInk(const LWEditor &ed, const Box &box)
{
    const std::optional<QImage> image = LWRenderer::bitmap(ed.doc(), 0, 1, false, true);
    const LWTextLayout::Layout layout = LWTextLayout::layout(box.text(), 120);
    if (!image || layout.lineRects.isEmpty())
        return std::nullopt;
    const QRectF line = layout.lineRects.last().translated(box.frame().minX(), box.frame().minY());
    return darkPixels(Pixels(*image), line);
}

} // namespace

void reflow(LWTestRun &run)
{
    run.begin(QStringLiteral("Text: reflows correctly after edits"));

    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    const LWText body = plainText(QStringLiteral("Short"), 18);
    const LWElement bodyBox =
        LWElement::makeText(body, LWRect(72, 72, 200, LWTextLayout::height(body, 200)), QStringLiteral("Body"));
    doc.pages[0].elements = {bodyBox};
    const std::unique_ptr<LWEditor> ed = editor(doc);
    const QUuid id = bodyBox.id;

    std::optional<Box> box = boxOf(*ed, id);
    run.check(box && LWTextLayout::layout(box->text(), 200).lines == 1, QStringLiteral("short text: one line"));

    ed->setText(id, longSentence);
    box = boxOf(*ed, id);
    int w = 0;
    bool ok = false;
    double h = 0;
    if (box) {
        const LWTextLayout::Layout layout = LWTextLayout::layout(box->text(), box->frame().width());
        w = layout.lines;
        h = box->frame().height();
        ok = w >= 4 && layout.fits && tallEnough(h, layout.height);
    }
    run.check(ok, QStringLiteral("longer words wrap to %1 lines and the box grows to fit (%2 pt tall)").arg(w).arg(whole(h)));
    run.check(box && !box->text().placeholder, QStringLiteral("typing clears the sample-text flag"));

    // Narrower: the frame first, then the box grows as the editor's own step would.
    ed->setFrame(id, LWRect(72, 72, 120, box ? box->frame().height() : 0));
    ed->updateElements({id}, QStringLiteral("grow"), std::nullopt, [](LWElement &e) { LWEditor::growToFit(e); });
    box = boxOf(*ed, id);
    int r = 0;
    double a = 0;
    ok = false;
    if (box) {
        const LWTextLayout::Layout layout = LWTextLayout::layout(box->text(), 120);
        r = layout.lines;
        a = layout.height;
        ok = w < r && layout.fits && tallEnough(box->frame().height(), a);
    }
    run.check(ok, QStringLiteral("narrower box: words flow onto more lines (%1%2%3) and still fit").arg(w).arg(arrow).arg(r));

    ed->setSelection({id});
    ed->updateText(QStringLiteral("leading"), std::nullopt, [](LWText &t) { t.leading = 1.6; });
    box = boxOf(*ed, id);
    const double b = box ? LWTextLayout::height(box->text(), 120) : 0;
    const double f = box ? box->frame().height() : 0;
    run.check(box && clearlyTaller(a, b) && tallEnough(f, b),
              QStringLiteral("more line spacing makes the text taller (%1%2%3 pt) and the box follows (%4 pt)")
                  .arg(whole(a), arrow, whole(b), whole(f)));

    ed->setSelection({id});
    ed->updateText(QStringLiteral("size"), std::nullopt, [](LWText &t) { t.size = 30; });
    box = boxOf(*ed, id);
    run.check(box && LWTextLayout::layout(box->text(), 120).fits &&
                  tallEnough(box->frame().height(), LWTextLayout::height(box->text(), 120)),
              QStringLiteral("bigger font: still all visible"));

    // A lone box, outside document and editor.
    LWElement lone = LWElement::makeText(plainText(QStringLiteral("One"), 14, LWTextAlign::left, LWVAlign::bottom),
                                         LWRect(72, 400, 100, 40));
    const double bottom = lone.frame.maxY();
    lone.text->string = countingWords;
    LWTextLayout::growToFit(lone);
    run.check(close(lone.frame.maxY(), bottom) && lone.frame.height() > 40,
              QStringLiteral("bottom-aligned text grows upward (bottom edge stays put)"));

    ed->updateText(QStringLiteral("size"), std::nullopt, [](LWText &t) {
        t.size = 16;
        t.leading = 1.2;
    });
    box = boxOf(*ed, id);
    const std::optional<LWRect> ink = box ? LWExport::textInk(box->element) : std::nullopt;
    // No page image or no last line counts no pixel.
    const int dark = box ? lastLineInk(*ed, *box).value_or(0) : 0;
    run.check(ink && enoughInk(dark) && ink->height() > 100,
              QStringLiteral("the drawn text matches the layout (%1 dark pixels on the last line)").arg(dark));

    const LWText centred = plainText(longSentence, 18, LWTextAlign::center);
    run.check(LWTextLayout::layout(centred, 200).lines == w, QStringLiteral("changing alignment keeps the same line breaks"));
}

} // namespace LWSelfTest
