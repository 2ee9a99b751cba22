#include "model/document.h"
#include "model/geometry.h"
#include "render/export.h"
#include "render/text/fonts.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/imagecache.h"
#include "render/preflight.h"
#include "render/text/textlayout.h"
#include "support/undrawnpictures.h"

#include <QBuffer>
#include <QImage>
#include <QScopeGuard>
#include <gtest/gtest.h>

using LWExport::Issue;
using Level = LWExport::Issue::Level;

namespace {

const QString kMissingFont = QStringLiteral("NoSuchFont-Regular");

QByteArray pngBytes(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::gray);
    QByteArray bytes;
    QBuffer buf(&bytes);
    EXPECT_TRUE(img.save(&buf, "PNG"));
    return bytes;
}

// A picture of the given pixel size under a fresh asset id, so no cached decode is shared.
LWElement photo(const LWRect &frame, int pw, int ph, LWImageFit fit = LWImageFit::fill, const QString &name = "Pic")
{
    LWElement e = LWElement::makePhoto(frame, LWMask::none, 0, name);
    e.image->data = pngBytes(pw, ph);
    e.image->fit = fit;
    return e;
}

QList<Issue> check(const QList<LWElement> &elements, double w = 400, double h = 300, double safe = 20,
                   double bleed = 9)
{
    LWDocument d = LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), w, h, safe, QStringLiteral("T"));
    d.bleed = bleed;
    d.pages[0].elements = elements;
    return LWExport::preflight(d);
}

QStringList messages(const QList<Issue> &issues)
{
    QStringList out;
    for (const Issue &i : issues)
        out << i.message;
    return out;
}

LWElement textBox(const QString &s, const LWRect &frame, const QString &name = "Body", double size = 12)
{
    LWText t(s, QStringLiteral("AvenirNext-Regular"), size, LWColor::black); // installed through its stand-in
    return LWElement::makeText(t, frame, name);
}

Issue issue(Level level, const LWElement &e, const QString &message, int page = 0)
{
    return Issue(level, page, e.id, message);
}

} // namespace

class Preflight : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
};

TEST(PreflightIssue, EqualityIgnoresTheId)
{
    const QUuid el = QUuid::createUuid();
    const Issue a(Level::warning, 1, el, QStringLiteral("m"));
    const Issue b(Level::warning, 1, el, QStringLiteral("m"));
    EXPECT_NE(a.id, b.id);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, Issue(Level::problem, 1, el, QStringLiteral("m")));
}

TEST_F(Preflight, HiddenItemsAndGroups)
{
    // A hidden item gets only the hidden finding, whatever else is wrong with it.
    LWElement text = textBox("Sample", {-50, -50, 10, 5}, "Title");
    text.text->fontName = kMissingFont;
    text.text->placeholder = true;
    text.hidden = true;
    // A visible member of a hidden group is still checked.
    LWElement missing = textBox("Hi", {100, 100, 100, 40}, "Member");
    missing.text->fontName = kMissingFont;
    LWElement hiddenShape = LWElement::makeShape(LWShapeKind::rectangle, {-4, 10, 50, 50}, LWFill::none(), std::nullopt);
    hiddenShape.hidden = true;
    LWElement group(LWElementKind::group, "Group", {-4, -4, 300, 200});
    group.hidden = true;
    group.children = QList<LWElement>{missing, hiddenShape};
    // A visible group past the trim edge gets nothing of its own either.
    LWElement open(LWElementKind::group, "Open", {-4, 10, 300, 200});
    open.children = QList<LWElement>{};

    LWDocument d = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    d.pages = {LWPage{"Front", LWFill::none(), {text}}, LWPage{"Back", LWFill::none(), {group, open}}};
    const auto issues = LWExport::preflight(d);
    EXPECT_EQ(issues,
              (QList<Issue>{issue(Level::info, text, "\"Title\" is hidden and won't print."),
                            issue(Level::problem, missing,
                                  "The font NoSuchFont-Regular isn't installed on this computer; a stand-in font is used.",
                                  1),
                            issue(Level::info, hiddenShape, "\"Rectangle\" is hidden and won't print.", 1)}));
}

TEST_F(Preflight, TextFindingsComeInOrder)
{
    LWElement e = textBox("A line of sample text that wraps more than once in this box", {5, 5, 60, 10}, "Headline");
    e.text->fontName = kMissingFont;
    e.text->placeholder = true;
    const auto issues = check({e});
    EXPECT_EQ(
        messages(issues),
        (QStringList{
            "The font NoSuchFont-Regular isn't installed on this computer; a stand-in font is used.",
            "Text \"Headline\" is bigger than its box. Make the box taller or the text smaller.",
            "Text \"Headline\" is outside the safe area and could be cut off.",
            "Sample text still in place: \"A line of sample text that wraps more th\". Type your own.",
        }));
    ASSERT_EQ(issues.size(), 4);
    EXPECT_EQ(issues[0].level, Level::problem);
    EXPECT_EQ(issues[3].level, Level::info);
    EXPECT_EQ(issues[3].elementID, e.id);
}

TEST_F(Preflight, SampleIsCutAtFortyCharacters)
{
    // Each "e" with a combining acute is one character of two code units.
    QString fifty;
    for (int i = 0; i < 50; ++i)
        fifty += QStringLiteral("e\u0301");
    LWElement e = textBox(fifty, {100, 100, 200, 100}, "Body", 6);
    e.text->placeholder = true;
    EXPECT_EQ(messages(check({e})),
              QStringList{"Sample text still in place: \"" + fifty.left(80) + "\". Type your own."});
}

TEST_F(Preflight, OverflowFiresOnlyPastOnePointOfSlack)
{
    LWElement e = textBox("Two lines\nof text", {100, 100, 200, 10});
    const LWTextLayout::Layout layout = LWTextLayout::layout(*e.text, 200);
    ASSERT_TRUE(layout.fits);
    e.frame.h = layout.height - 1;
    ASSERT_EQ(e.frame.h + 1, layout.height);
    EXPECT_TRUE(check({e}).isEmpty());
    e.frame.h = layout.height - 1.01;
    EXPECT_EQ(messages(check({e})),
              QStringList{"Text \"Body\" is bigger than its box. Make the box taller or the text smaller."});
}

TEST_F(Preflight, SafeAreaAllowsHalfAPoint)
{
    LWElement e = textBox("Safe", {100, 100, 100, 40});
    const std::optional<LWRect> ink = LWExport::textInk(e);
    ASSERT_TRUE(ink);
    const QString outside = "Text \"Body\" is outside the safe area and could be cut off.";
    // The safe margin is set so that its left edge meets the ink's left edge exactly.
    EXPECT_TRUE(check({e}, 400, 300, ink->minX()).isEmpty());
    EXPECT_TRUE(check({e}, 400, 300, ink->minX() + 0.5).isEmpty());
    EXPECT_EQ(messages(check({e}, 400, 300, ink->minX() + 0.6)), QStringList{outside});
}

TEST_F(Preflight, TurnedTextIsJudgedByItsTurnedInk)
{
    // A long line: inside the safe area as it stands, sticking out of it once turned upright.
    LWElement wide = textBox("Wide wide wide wide", {50, 130, 300, 40}, "Wide", 20);
    ASSERT_GT(LWExport::textInk(wide)->width(), 140);
    EXPECT_TRUE(check({wide}).isEmpty());
    wide.rotation = 90;
    EXPECT_EQ(messages(check({wide})), QStringList{"Text \"Wide\" is outside the safe area and could be cut off."});

    // A short centred word in a long box: the turned box leaves the safe area, the turned ink
    // does not.
    LWElement word = textBox("Hi", {50, 130, 300, 40}, "Word");
    word.text->align = LWTextAlign::center;
    word.rotation = 90;
    ASSERT_LT(LWGeometry::bounds(word).minY(), 20);
    EXPECT_TRUE(check({word}).isEmpty());
}

TEST_F(Preflight, TextGetsNoEdgeCheck)
{
    LWElement e = textBox("Edge", {-4, 100, 100, 40}, "Edge");
    EXPECT_EQ(messages(check({e})), QStringList{"Text \"Edge\" is outside the safe area and could be cut off."});
}

TEST_F(Preflight, InkIsPlacedByVerticalAlignment)
{
    // A text element without its record, and a lone line break, have no ink; neither is checked.
    const LWElement bare(LWElementKind::text, "x", {-4, -4, 10, 10});
    EXPECT_FALSE(LWExport::textInk(bare));
    EXPECT_TRUE(check({bare}).isEmpty());
    EXPECT_FALSE(LWExport::glyphInk(textBox("\n", {30, 40, 150, 200})));
    // An empty first line does not count: the ink starts at the second line.
    const LWElement late = textBox("\nA", {30, 40, 150, 200});
    EXPECT_NEAR(LWExport::textInk(late)->minY(), 40 + LWTextLayout::layout(*late.text, 150).lineRects.value(1).y(), 1e-9);

    LWElement e = textBox("One\n\nThree", {30, 40, 150, 200});
    const LWTextLayout::Layout layout = LWTextLayout::layout(*e.text, 150);
    const std::optional<LWRect> top = LWExport::textInk(e);
    ASSERT_TRUE(top);
    EXPECT_NEAR(top->minY(), 40 + layout.lineRects[0].y(), 1e-9);
    e.text->vAlign = LWVAlign::bottom;
    EXPECT_NEAR(LWExport::textInk(e)->minY(), top->minY() + 200 - layout.height, 1e-9);
}

TEST_F(Preflight, PictureResolution)
{
    const LWElement fill = photo({40, 20, 720, 360}, 1000, 1000, LWImageFit::fill, "Hero");
    const LWElement fit = photo({40, 20, 720, 360}, 1000, 1000, LWImageFit::fit, "Hero");
    EXPECT_EQ(check({fill, fit}, 800, 400),
              (QList<Issue>{
                  issue(Level::problem, fill,
                        "Picture \"Hero\" is only 100 DPI at this size and will print blurry (300 DPI recommended)."),
                  issue(Level::warning, fit, "Picture \"Hero\" is 200 DPI at this size (300 DPI recommended).")}));
}

TEST_F(Preflight, ResolutionThresholds)
{
    // A wide strip fitted into a 10-inch square prints at a tenth of its pixel width per inch.
    const auto strip = [](int pw) { return photo({40, 40, 720, 720}, pw, 10, LWImageFit::fit, "Strip"); };
    const LWElement at150 = strip(1500), at1499 = strip(1499), at2994 = strip(2994), at2995 = strip(2995);
    EXPECT_DOUBLE_EQ(*LWExport::effectiveDPI(at1499), 149.9); // reported as "149", not rounded up
    const auto issues = check({at150, at1499, at2994, at2995}, 800, 800);
    EXPECT_EQ(issues,
              (QList<Issue>{
                  issue(Level::warning, at150, "Picture \"Strip\" is 150 DPI at this size (300 DPI recommended)."),
                  issue(Level::problem, at1499,
                        "Picture \"Strip\" is only 149 DPI at this size and will print blurry (300 DPI recommended)."),
                  issue(Level::warning, at2994, "Picture \"Strip\" is 299 DPI at this size (300 DPI recommended).")}));
}

TEST_F(Preflight, UnmeasurablePicturesGetNoResolutionFinding)
{
    LWElement cropped = photo({40, 40, 100, 100}, 100, 100);
    cropped.image->cropL = 0.6;
    cropped.image->cropR = 0.4;
    LWElement broken = photo({40, 40, 100, 100}, 100, 100);
    broken.image->data = QByteArray("not a picture");
    EXPECT_FALSE(LWExport::effectiveDPI(cropped));
    EXPECT_FALSE(LWExport::effectiveDPI(broken));
    EXPECT_TRUE(check({cropped}).isEmpty());

    // Cropping keeps the aspect: half the width of a 400 px picture shows 200 px over 1 inch.
    LWElement half = photo({40, 40, 72, 144}, 400, 400);
    half.image->cropL = 0.25;
    half.image->cropR = 0.25;
    EXPECT_DOUBLE_EQ(*LWExport::effectiveDPI(half), 200);
}

TEST_F(Preflight, EmptyFrames)
{
    LWElement noRecord(LWElementKind::image, "Bare", {40, 40, 100, 100});
    const LWElement shortOfBleed = LWElement::makePhoto({-4, 40, 100, 100});
    const QString bleedMessage =
        "\"Photo frame\" runs past the trim edge but stops short of the bleed line, so a thin white edge may show. "
        "Stretch it to the bleed (red) line.";
    EXPECT_EQ(check({noRecord, shortOfBleed}),
              (QList<Issue>{
                  issue(Level::warning, noRecord, "Empty photo frame \"Bare\". Drop a picture on it or delete it."),
                  issue(Level::warning, shortOfBleed,
                        "Empty photo frame \"Photo frame\". Drop a picture on it or delete it."),
                  issue(Level::warning, shortOfBleed, bleedMessage)}));
}

TEST_F(Preflight, EdgesShortOfTheBleed)
{
    const auto box = [](double x0, double y0, double x1, double y1) {
        return LWElement::makeShape(LWShapeKind::rectangle, {x0, y0, x1 - x0, y1 - y0}, LWFill::none(), std::nullopt,
                                    0, QStringLiteral("Band"));
    };
    const QString b = "\"Band\" runs past the trim edge but stops short of the bleed line, so a thin white edge may "
                      "show. Stretch it to the bleed (red) line.";
    // Bleed 9 on a 400 x 300 page: the left and the bottom side; two failing sides give one finding.
    for (const LWElement &e : {box(-4, 10, 100, 100), box(10, 10, 100, 304), box(-4, -4, 100, 100)})
        EXPECT_EQ(check({e}), QList<Issue>{issue(Level::warning, e, b)}) << e.frame.x << "," << e.frame.y;
    // Within a hair of the trim, or within half a point of the bleed line, or at it: fine.
    for (double left : {-0.005, -8.6, -9.0})
        EXPECT_TRUE(check({box(left, 10, 100, 100)}).isEmpty()) << left;
    // Without bleed nothing can stop short of it.
    EXPECT_TRUE(check({box(-4, 10, 100, 100)}, 400, 300, 20, 0).isEmpty());

    // Lines never get the finding; icons do, judged after rotation.
    const LWElement line = LWElement::makeLine({-4, 50}, {100, 50}, LWStroke(LWColor::black, 2));
    EXPECT_TRUE(check({line}).isEmpty());
    LWElement icon = LWElement::makeIcon("star", {-6, 100, 40, 10}, LWFill::solid(LWColor::black));
    icon.rotation = 90; // turned upright about its centre it spans x 9 to 19: inside the trim
    EXPECT_TRUE(check({icon}).isEmpty());
    icon.rotation = 0;
    EXPECT_EQ(messages(check({icon})),
              QStringList{"\"Icon: star\" runs past the trim edge but stops short of the bleed line, so a thin "
                          "white edge may show. Stretch it to the bleed (red) line."});
}

TEST_F(Preflight, PicturesThatDoNotDrawAreProblems)
{
    // Small frames: 400 pixels over two thirds of an inch print sharp, so only the drawing is judged.
    for (const LWUndrawnPictures::Case &c : LWUndrawnPictures::cases()) {
        SCOPED_TRACE(c.name);
        LWElement e = LWElement::makePhoto({40, 40, 48, 36}, LWMask::none, 0, QStringLiteral("Photo"));
        e.image->data = c.bytes;
        EXPECT_EQ(check({e}), QList<Issue>{issue(Level::problem, e, c.message)});
        // Known by the bytes from then on: asking again decodes nothing, nor does drawing at print
        // quality a picture that cannot be drawn (one read in part is drawn as far as it goes).
        const qint64 decodes = LWImageCache::stats().decodes;
        EXPECT_EQ(messages(check({e})), QStringList{c.message});
        EXPECT_EQ(LWImageCache::stats().decodes, decodes);
        (void)LWImageCache::image(*e.image, false);
        if (c.message != LWUndrawnPictures::partMessage)
            EXPECT_EQ(LWImageCache::stats().decodes, decodes);
    }
    // The same frame with whole pictures: nothing to report.
    for (const char *format : {"png", "jpeg"}) {
        LWElement e = LWElement::makePhoto({40, 40, 48, 36}, LWMask::none, 0, QStringLiteral("Photo"));
        e.image->data = LWUndrawnPictures::encoded(format);
        EXPECT_TRUE(check({e}).isEmpty()) << format;
    }
}

// In a console the check decodes nothing: the header tells what it can at once, and the export's
// own decode the rest, to any check after it; whole pictures stay unreported.
TEST_F(Preflight, InAConsoleTheCheckReadsHeadersAndTheExportTellsTheRest)
{
    LWImageCache::setConsole(true);
    const auto windowed = qScopeGuard([] { LWImageCache::setConsole(false); });
    QList<LWUndrawnPictures::Case> rows = LWUndrawnPictures::cases();
    rows.append({"a whole JPEG", LWUndrawnPictures::encoded("jpeg", 401, 300), QString()});
    for (const LWUndrawnPictures::Case &c : rows) {
        SCOPED_TRACE(c.name);
        LWElement e = LWElement::makePhoto({40, 40, 48, 36}, LWMask::none, 0, QStringLiteral("Photo"));
        e.image->data = c.bytes + QByteArray(" console"); // bytes no other test checked
        const bool byHeader = c.message == LWUndrawnPictures::largeMessage || c.bytes.startsWith("<svg");
        const qint64 decodes = LWImageCache::stats().decodes;
        EXPECT_EQ(messages(check({e})), byHeader ? QStringList{c.message} : QStringList{});
        EXPECT_EQ(LWImageCache::stats().decodes, decodes);
        LWDocument d = LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 400, 300, 20,
                                         QStringLiteral("T"));
        d.pages[0].elements = {e};
        (void)LWExport::rasterData(d, 0, 72, false, LWExport::RasterType::png);
        EXPECT_EQ(messages(check({e})), c.message.isEmpty() ? QStringList{} : QStringList{c.message});
    }
}

// The preview the page view drew says nothing of the whole picture the print PDF takes: what the
// budget cannot hold whole is too large to draw, though its preview was drawn.
TEST_F(Preflight, APictureTheBudgetCannotHoldWholeIsTooLargeThoughItsPreviewWasDrawn)
{
    LWElement e = LWElement::makePhoto({40, 40, 48, 36}, LWMask::none, 0, QStringLiteral("Photo"));
    e.image->data = LWUndrawnPictures::encoded("png", 1800, 1200);
    ASSERT_TRUE(LWImageCache::image(*e.image, true));
    const qint64 old = LWDecodeBudget::setLimit(qint64(1800) * 1200 * 4 - 1);
    const QList<Issue> got = check({e});
    LWDecodeBudget::setLimit(old);
    EXPECT_EQ(got, QList<Issue>{issue(Level::problem, e, LWUndrawnPictures::largeMessage)});
}
