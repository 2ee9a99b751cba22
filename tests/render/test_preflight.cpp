#include "model/document.h"
#include "model/geometry.h"
#include "render/fonts.h"
#include "render/preflight.h"
#include "render/textlayout.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
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
    buf.open(QIODevice::WriteOnly);
    QImageWriter writer(&buf, "png");
    EXPECT_TRUE(writer.write(img)) << qPrintable(writer.errorString());
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

LWDocument docWith(const QList<LWElement> &elements, double w = 400, double h = 300, double safe = 20,
                   double bleed = 9)
{
    LWDocument d = LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), w, h, safe, QStringLiteral("T"));
    d.bleed = bleed;
    d.pages[0].elements = elements;
    return d;
}

QList<Issue> check(const QList<LWElement> &elements, double w = 400, double h = 300, double safe = 20,
                   double bleed = 9)
{
    return LWExport::preflight(docWith(elements, w, h, safe, bleed));
}

QStringList messages(const QList<Issue> &issues)
{
    QStringList out;
    for (const Issue &i : issues)
        out << i.message;
    return out;
}

// A face the registry reports as installed, so only the checks under test fire.
QString installedFont()
{
    static const QString name = [] {
        for (const QString &n : LWFonts::templateFonts())
            if (LWFonts::isInstalled(n))
                return n;
        return QString();
    }();
    return name;
}

LWElement textBox(const QString &s, const LWRect &frame, const QString &name = "Body", double size = 12)
{
    LWText t(s, installedFont(), size, LWColor::black);
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
    void SetUp() override { ASSERT_FALSE(installedFont().isEmpty()) << "no template font is installed"; }
};

TEST(PreflightIssue, LevelsIdentityAndEquality)
{
    EXPECT_EQ(int(Level::info), 0);
    EXPECT_EQ(int(Level::warning), 1);
    EXPECT_EQ(int(Level::problem), 2);
    EXPECT_LT(Level::info, Level::warning);
    EXPECT_LT(Level::warning, Level::problem);
    EXPECT_EQ(Issue::levelFromRaw(2), Level::problem);
    EXPECT_FALSE(Issue::levelFromRaw(3));
    EXPECT_FALSE(Issue::levelFromRaw(-1));

    const QUuid el = QUuid::createUuid();
    const Issue a(Level::warning, 1, el, QStringLiteral("m"));
    const Issue b(Level::warning, 1, el, QStringLiteral("m"));
    EXPECT_NE(a.id, b.id);
    EXPECT_FALSE(a.id.isNull());
    EXPECT_EQ(a, b);
    EXPECT_NE(a, Issue(Level::warning, 1, std::nullopt, QStringLiteral("m")));
    EXPECT_NE(a, Issue(Level::problem, 1, el, QStringLiteral("m")));
    EXPECT_NE(a, Issue(Level::warning, 0, el, QStringLiteral("m")));
    EXPECT_FALSE(Issue().elementID);
}

TEST_F(Preflight, NothingToCheck)
{
    LWDocument d = docWith({});
    d.pages.clear();
    EXPECT_TRUE(LWExport::preflight(d).isEmpty());
    d = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    EXPECT_TRUE(LWExport::preflight(d).isEmpty());
}

TEST_F(Preflight, HiddenItemsGetOnlyTheHiddenFinding)
{
    LWElement text = textBox("Sample", {-50, -50, 10, 5}, "Title");
    text.text->fontName = kMissingFont;
    text.text->placeholder = true;
    text.hidden = true;
    LWElement frame = LWElement::makePhoto({-4, 50, 100, 100}, LWMask::none, 0, "Logo");
    frame.hidden = true;
    const auto issues = check({text, frame});
    EXPECT_EQ(issues, (QList<Issue>{issue(Level::info, text, "\"Title\" is hidden and won't print."),
                                    issue(Level::info, frame, "\"Logo\" is hidden and won't print.")}));
}

TEST_F(Preflight, GroupsAreJudgedByTheirMembers)
{
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

    LWDocument d = docWith({});
    d.pages = {LWPage{"Front", LWFill::none(), {}}, LWPage{"Back", LWFill::none(), {group, open}}};
    const auto issues = LWExport::preflight(d);
    EXPECT_EQ(issues,
              (QList<Issue>{issue(Level::problem, missing,
                                  "The font NoSuchFont-Regular isn't installed on this computer; a stand-in font is used.",
                                  1),
                            issue(Level::info, hiddenShape, "\"Rectangle\" is hidden and won't print.", 1)}));
}

TEST_F(Preflight, TextWithoutRecordIsNotChecked)
{
    LWElement e(LWElementKind::text, "Empty", {-4, -4, 1, 1});
    EXPECT_TRUE(check({e}).isEmpty());
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
    EXPECT_EQ(issues[1].level, Level::warning);
    EXPECT_EQ(issues[2].level, Level::warning);
    EXPECT_EQ(issues[3].level, Level::info);
    for (const Issue &i : issues) {
        EXPECT_EQ(i.elementID, e.id);
        EXPECT_EQ(i.page, 0);
    }
}

TEST_F(Preflight, SampleIsCutAtFortyCharacters)
{
    // Each "e" with a combining acute is one character of two code units.
    QString fifty;
    for (int i = 0; i < 50; ++i)
        fifty += QStringLiteral("e\u0301");
    LWElement e = textBox(fifty, {100, 100, 200, 100}, "Body", 6);
    e.text->placeholder = true;
    const QString forty = fifty.left(80);
    LWElement short10 = textBox(QStringLiteral("\U0001F1E9\U0001F1EA flags ok"), {100, 100, 200, 100});
    short10.text->placeholder = true;
    const auto issues = check({e, short10});
    EXPECT_EQ(messages(issues),
              (QStringList{"Sample text still in place: \"" + forty + "\". Type your own.",
                           QStringLiteral("Sample text still in place: \"\U0001F1E9\U0001F1EA flags ok\". Type your own.")}));
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
    // A margin larger than half the page leaves no safe area at all.
    EXPECT_EQ(messages(check({e}, 400, 300, 250)), QStringList{outside});
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
    LWElement e = textBox("One\n\nThree", {30, 40, 150, 200});
    EXPECT_FALSE(LWExport::textInk(LWElement(LWElementKind::text, "x", {0, 0, 10, 10})));
    EXPECT_FALSE(LWExport::glyphInk(LWElement(LWElementKind::text, "x", {0, 0, 10, 10})));
    EXPECT_FALSE(LWExport::glyphInk(LWElement::makeShape(LWShapeKind::ellipse, {0, 0, 9, 9}, LWFill::none(), std::nullopt)));
    // An empty first line does not count: the ink starts at the second line.
    const LWElement late = textBox("\nA", {30, 40, 150, 200});
    EXPECT_NEAR(LWExport::textInk(late)->minY(), 40 + LWTextLayout::layout(*late.text, 150).lineRects.value(1).y(), 1e-9);
    // A lone line break lays out as one empty line: no ink of either kind.
    EXPECT_FALSE(LWExport::textInk(textBox("\n", {30, 40, 150, 200})));
    EXPECT_FALSE(LWExport::glyphInk(textBox("\n", {30, 40, 150, 200})));

    const LWTextLayout::Layout layout = LWTextLayout::layout(*e.text, 150);
    const std::optional<LWRect> top = LWExport::textInk(e), glyphsTop = LWExport::glyphInk(e);
    ASSERT_TRUE(top && glyphsTop);
    EXPECT_NEAR(top->minX(), 30 + layout.lineRects[0].x(), 1e-9);
    EXPECT_NEAR(top->minY(), 40 + layout.lineRects[0].y(), 1e-9);
    e.text->vAlign = LWVAlign::middle;
    EXPECT_NEAR(LWExport::textInk(e)->minY(), top->minY() + (200 - layout.height) * 0.5, 1e-9);
    e.text->vAlign = LWVAlign::bottom;
    EXPECT_NEAR(LWExport::textInk(e)->minY(), top->minY() + 200 - layout.height, 1e-9);
    EXPECT_NEAR(LWExport::glyphInk(e)->minY(), glyphsTop->minY() + 200 - layout.height, 1e-9);
    // Turning the element does not change the ink, which is measured before rotation.
    e.rotation = 30;
    EXPECT_NEAR(LWExport::textInk(e)->minY(), top->minY() + 200 - layout.height, 1e-9);
}

TEST_F(Preflight, PictureResolution)
{
    const LWElement fill = photo({40, 20, 720, 360}, 1000, 1000, LWImageFit::fill, "Hero");
    const LWElement fit = photo({40, 20, 720, 360}, 1000, 1000, LWImageFit::fit, "Hero");
    EXPECT_DOUBLE_EQ(*LWExport::effectiveDPI(fill), 100);
    EXPECT_DOUBLE_EQ(*LWExport::effectiveDPI(fit), 200);
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
    EXPECT_DOUBLE_EQ(*LWExport::effectiveDPI(at150), 150);
    EXPECT_DOUBLE_EQ(*LWExport::effectiveDPI(at1499), 149.9);
    EXPECT_DOUBLE_EQ(*LWExport::effectiveDPI(at2995), 299.5);
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
    LWElement flat = photo({40, 40, 100, 0}, 100, 100);
    LWElement broken = photo({40, 40, 100, 100}, 100, 100);
    broken.image->data = QByteArray("not a picture");
    EXPECT_FALSE(LWExport::effectiveDPI(cropped));
    EXPECT_FALSE(LWExport::effectiveDPI(flat));
    EXPECT_FALSE(LWExport::effectiveDPI(broken));
    EXPECT_FALSE(LWExport::effectiveDPI(LWElement(LWElementKind::image, "x", {0, 0, 10, 10})));
    EXPECT_TRUE(check({cropped, flat, broken}).isEmpty());

    // Cropping keeps the aspect: half the width of a 400 px picture shows 200 px over 1 inch.
    LWElement half = photo({40, 40, 72, 144}, 400, 400);
    half.image->cropL = 0.25;
    half.image->cropR = 0.25;
    EXPECT_DOUBLE_EQ(*LWExport::effectiveDPI(half), 200);
}

TEST_F(Preflight, EmptyFrames)
{
    LWElement noRecord(LWElementKind::image, "Bare", {40, 40, 100, 100});
    const LWElement noData = LWElement::makePhoto({40, 40, 100, 100}, LWMask::ellipse, 0, "Round");
    const LWElement shortOfBleed = LWElement::makePhoto({-4, 40, 100, 100});
    const QString bleedMessage =
        "\"Photo frame\" runs past the trim edge but stops short of the bleed line, so a thin white edge may show. "
        "Stretch it to the bleed (red) line.";
    EXPECT_EQ(check({noRecord, noData, shortOfBleed}),
              (QList<Issue>{
                  issue(Level::warning, noRecord, "Empty photo frame \"Bare\". Drop a picture on it or delete it."),
                  issue(Level::warning, noData, "Empty photo frame \"Round\". Drop a picture on it or delete it."),
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
    // Bleed 9 on a 400 x 300 page: each side in turn.
    for (const LWElement &e : {box(-4, 10, 100, 100), box(10, 10, 404, 100), box(10, -4, 100, 100),
                               box(10, 10, 100, 304)})
        EXPECT_EQ(check({e}), QList<Issue>{issue(Level::warning, e, b)}) << e.frame.x << "," << e.frame.y;
    // Within a hair of the trim, or within half a point of the bleed line, or at it: fine.
    for (double left : {-0.005, -8.6, -9.0, -20.0})
        EXPECT_TRUE(check({box(left, 10, 100, 100)}).isEmpty()) << left;
    // Two failing sides give one finding.
    const LWElement both = box(-4, -4, 100, 100);
    EXPECT_EQ(check({both}), QList<Issue>{issue(Level::warning, both, b)});
    // Without bleed nothing can stop short of it.
    EXPECT_TRUE(check({box(-4, 10, 100, 100), box(-20, -4, 420, 304)}, 400, 300, 20, 0).isEmpty());

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
