#include "diagnostics/groupfixture.h"
#include "diagnostics/groups/templatesweep.h"
#include "diagnostics/selftestgroups.h"

#include <QImage>

namespace {

using namespace LWSelfTest;

using TemplateChecks = SelfTestGroupTest;

TextBox box(const char *name, double rotation, QRectF page, QRectF own) { return {QString::fromUtf8(name), rotation, page, own}; }
TextBox upright(const char *name, QRectF rect) { return box(name, 0, rect, rect); }

TEST(TemplateOverlap, FirstPairOverFourSquarePoints)
{
    const QRectF far(500, 500, 10, 10);
    struct Case {
        const char *what;
        QList<TextBox> boxes;
        std::optional<std::pair<QString, QString>> want;
    };
    const std::pair<QString, QString> ab{QStringLiteral("A"), QStringLiteral("B")};
    const Case cases[] = {
        {"2 x 2 pt is not more than 4", {upright("A", {0, 0, 10, 10}), upright("B", {8, 8, 10, 10})}, std::nullopt},
        {"2 x 2.1 pt is", {upright("A", {0, 0, 10, 10}), upright("B", {8, 7.9, 10, 10})}, ab},
        {"equal turns compare own boxes",
         {box("A", 30, {0, 0, 40, 40}, {0, 0, 10, 10}), box("B", 30, {5, 5, 40, 40}, {20, 0, 10, 10})},
         std::nullopt},
        {"0 and 5 degrees compare page boxes",
         {box("A", 0, {0, 0, 40, 40}, {0, 0, 10, 10}), box("B", 5, {5, 5, 40, 40}, {0, 0, 10, 10})},
         ab},
        {"... and only those", {box("A", 0, {0, 0, 10, 10}, far), box("B", 5, {20, 0, 10, 10}, far)}, std::nullopt},
        {"earlier element first, i-major",
         {upright("A", {0, 0, 10, 10}), upright("B", {100, 0, 10, 10}), upright("C", {5, 0, 10, 10}),
          upright("D", {105, 0, 10, 10})},
         std::pair{QStringLiteral("A"), QStringLiteral("C")}},
        {"nothing to pair", {upright("A", {0, 0, 10, 10})}, std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(firstOverlap(c.boxes), c.want) << c.what;
}

LWElement text(const QString &name, const LWRect &frame, double rotation = 0, const QString &string = QStringLiteral("Sample words"),
               const QString &font = QStringLiteral("HelveticaNeue"), bool placeholder = true)
{
    LWText t(string, font, 14, LWColor::black);
    t.placeholder = placeholder;
    LWElement e = LWElement::makeText(t, frame, name);
    e.rotation = rotation;
    return e;
}

TEST_F(TemplateChecks, OverlapEntriesPerPage)
{
    LWDocument card = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    const LWRect same{20, 20, 150, 24};
    card.pages[0].elements = {text("A", same), text("B", same), text("C", same), text("D", same)};
    LWElement group(LWElementKind::group, QStringLiteral("Group"), {20, 60, 150, 24});
    group.children = QList<LWElement>{text("E", {20, 60, 150, 24}), text("F", {20, 60, 150, 24})};
    card.pages[1].elements = {group};
    EXPECT_EQ(overlaps("card-001", card), QStringList({"card-001 p1: A / B", "card-001 p2: E / F"}));

    // Two lines turned alike, one under the other: their page-space bounds overlap, their own
    // boxes do not.
    LWDocument flyer = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    flyer.pages[0].elements = {text("Top", {100, 100, 150, 24}, 30), text("Under", {100, 124, 150, 24}, 30)};
    EXPECT_TRUE(overlaps("flyer-001", flyer).isEmpty());
    flyer.pages[0].elements[1].rotation = 35;
    EXPECT_EQ(overlaps("flyer-001", flyer), QStringList{"flyer-001 p1: Top / Under"});
}

// A design of the preset with a gradient panel (so it renders as a real picture) and one sample
// text inside the safe area whose words are `label`.
LWDocument design(const LWSizePreset &preset, const QString &label)
{
    LWDocument doc = LWDocument::blank(preset, std::nullopt);
    for (LWPage &page : doc.pages)
        page.elements = {LWElement::makeShape(LWShapeKind::rectangle, {20, 20, 200, 100},
                                              LWFill::linear(LWColor{0.9, 0.2, 0.1, 1}, LWColor{0.1, 0.3, 0.9, 1}),
                                              std::nullopt),
                         text(QStringLiteral("Label"), {30, 30, 180, 30}, 0, label)};
    return doc;
}

LWTemplate tmpl(const char *id, const LWSizePreset &preset, std::function<LWDocument(LWDocument)> change = {})
{
    LWTemplate t;
    t.id = QString::fromUtf8(id);
    t.sizeID = preset.id;
    t.kind = preset.kind;
    t.make = [preset, id = t.id, change] { return change ? change(design(preset, id)) : design(preset, id); };
    return t;
}

TEST_F(TemplateChecks, SweepGathersEachList)
{
    const LWSizePreset &card = LWSizePreset::usCard, &flyer = LWSizePreset::letter;
    const auto twin = [](LWDocument d) { return design(d.kind == LWDocKind::flyer ? LWSizePreset::letter : LWSizePreset::usCard, QStringLiteral("twin")); };
    const auto oddFont = [](LWDocument d) {
        d.pages[0].elements[1].text->fontName = QStringLiteral("NoSuchFace-Regular");
        return d;
    };
    const QList<LWTemplate> list = {
        tmpl("good", flyer),
        tmpl("one-side", card, [](LWDocument d) { d.pages.removeLast(); return d; }),
        tmpl("empty-page", flyer, [](LWDocument d) { d.pages[0].elements.clear(); return d; }),
        tmpl("excused", flyer, [](LWDocument d) {
            LWElement hidden = d.pages[0].elements[0];
            hidden.hidden = true;
            d.pages[0].elements << hidden << LWElement::makePhoto({30, 200, 100, 100});
            return d;
        }),
        tmpl("two-issues", flyer, [](LWDocument d) {
            d.pages[0].elements << text(QStringLiteral("Outside"), {2, 300, 180, 30})
                                << text(QStringLiteral("Cramped"), {30, 400, 40, 4});
            return d;
        }),
        tmpl("font-1", flyer, oddFont), tmpl("font-2", flyer, oddFont), tmpl("font-3", card, oddFont),
        tmpl("typed", card, [](LWDocument d) { d.pages[1].elements[1].text->placeholder = false; return d; }),
        tmpl("twin-a", flyer, twin), tmpl("twin-b", flyer, twin),
    };
    const TemplateSweep r = sweep(list);

    EXPECT_EQ(r.sizes, QStringList({"one-side", "empty-page"}));
    const QString font = ": The font NoSuchFace-Regular isn't installed on this computer; a stand-in font is used.";
    EXPECT_EQ(r.preflight, QStringList({"two-issues: Text \"Outside\" is outside the safe area and could be cut off.",
                                        "font-1" + font, "font-2" + font, "font-3" + font}));
    EXPECT_EQ(r.fonts, QStringList{"NoSuchFace-Regular"});
    EXPECT_TRUE(r.overlaps.isEmpty()) << r.overlaps.join(u'|').toStdString();
    EXPECT_EQ(r.unmarked, QStringList({"empty-page", "typed"}));
    EXPECT_EQ(r.blank, QStringList{"empty-page"});
    EXPECT_EQ(r.renders.size(), list.size() - 1); // the twins' first pages are byte-identical
}

TEST_F(TemplateChecks, EmptyLibraryFailsOnlyTheDistinctRenders)
{
    const QStringList lines = report([](LWTestRun &run) { reportSweep(run, sweep({})); });
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(verdicts(lines), "PPPPPPF");
    EXPECT_EQ(lines[6], "FAIL  all 500 templates look different from each other (0 distinct renders)");
}

// Columns three pixels wide, one grey each, so that sampling every third pixel meets each once.
QImage stripes(int colours)
{
    QImage image(3 * colours, 4, QImage::Format_RGB32);
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            image.setPixel(x, y, qRgb(51 * (x / 3), 51 * (x / 3), 51 * (x / 3)));
    return image;
}

TEST(TemplateSweepReport, FiveColoursAreBlankSixAreNot)
{
    EXPECT_TRUE(isBlank(Pixels(stripes(5))) && !isBlank(Pixels(stripes(6))));
}

TEST(TemplatePalettes, PairsBelowTheirMinimum)
{
    // Grey 0.5065... on grey 0.1 is 4.5:1 exactly, the lowest ratio that passes.
    const LWColor dark{0.1, 0.1, 0.1, 1}, light{0.50649562437089313, 0.50649562437089313, 0.50649562437089313, 1};
    ASSERT_EQ(LWColor::contrast(light, dark), 4.5);
    const LWColor inkSix{0.639, 0.639, 0.639, 1};
    const double six = LWColor::contrast(inkSix, dark);
    ASSERT_TRUE(six > 6.85 && six < 7.0) << six;

    LWPalette good{QStringLiteral("good"), dark, dark, light, light, LWColor::white, dark, light};
    LWPalette dim = good, flat = good;
    dim.ink = inkSix;
    flat.onPrimary = flat.accent = dark;
    const QHash<QString, LWPalette> palettes{{"zDim", dim}, {"good", good}, {"aFlat", flat}};
    EXPECT_EQ(paletteFailures(palettes),
              QStringList({"aFlat on/primary", "aFlat on/deep", "aFlat accent/deep", "zDim ink/paper"}));
}

TEST(TemplateIcons, OutlinesThatLeaveTheBox)
{
    const auto rect = [](double x, double y, double w, double h) {
        QPainterPath p;
        p.addRect(x, y, w, h);
        return p;
    };
    QPainterPath curve(QPointF(10, 50)); // control points reach 110, the curve itself 95
    curve.cubicTo(QPointF(10, 110), QPointF(90, 110), QPointF(90, 50));
    curve.closeSubpath();
    const QList<std::pair<QString, QPainterPath>> outlines{
        {"clean", rect(0, 0, 100, 100)}, {"edge", rect(-1, -1, 102, 102)}, {"narrow", rect(40, 0, 19, 100)},
        {"wide20", rect(40, 0, 20, 100)}, {"right", rect(50, 0, 51.5, 10)}, {"bottom", rect(0, 50, 50, 51.5)},
        {"left", rect(-1.5, 0, 50, 50)}, {"top", rect(0, -1.5, 50, 50)}, {"empty", QPainterPath()}, {"curve", curve},
    };
    QStringList ids;
    for (const auto &o : outlines)
        ids << o.first;
    const auto outline = [&](const QString &id) -> std::optional<QPainterPath> {
        for (const auto &o : outlines)
            if (o.first == id)
                return o.second;
        return std::nullopt;
    };
    EXPECT_EQ(iconFailures(ids << "missing", outline),
              QStringList({"narrow", "right", "bottom", "left", "top", "empty", "missing"}));
}

} // namespace
