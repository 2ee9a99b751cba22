#include "model/document.h"
#include "model_json_helpers.h"

namespace {
const QString kTimes = QStringLiteral(" \u00D7 ");

LWDocument withSize(const QString &sizeID, double w, double h)
{
    return LWDocument::blank(LWDocKind::custom, sizeID, w, h, 0, QStringLiteral("x"));
}
} // namespace

TEST(SizePreset, TheSixPresets)
{
    const QList<LWSizePreset> &all = LWSizePreset::all();
    ASSERT_EQ(all.size(), 6);
    const struct {
        const char *id, *name;
        LWDocKind kind;
        double w, h, safe;
        QString detail;
    } expected[] = {
        {"us-card", "US Business Card", LWDocKind::businessCard, 252, 144, 9, "3.5" + kTimes + "2 in"},
        {"eu-card", "EU Business Card", LWDocKind::businessCard, 240.9448818897638, 155.90551181102364,
         8.503937007874017, "85" + kTimes + "55 mm"},
        {"letter", "Letter Flyer", LWDocKind::flyer, 612, 792, 18, "8.5" + kTimes + "11 in"},
        {"a4", "A4 Flyer", LWDocKind::flyer, 595.2755905511812, 841.8897637795277, 17.007874015748033,
         "210" + kTimes + "297 mm"},
        {"half-letter", "Half-Letter Flyer", LWDocKind::flyer, 396, 612, 9, "5.5" + kTimes + "8.5 in"},
        {"tabloid", "Tabloid Poster", LWDocKind::flyer, 792, 1224, 18, "11" + kTimes + "17 in"},
    };
    for (int i = 0; i < 6; ++i) {
        const LWSizePreset &p = all[i];
        EXPECT_EQ(p.id, expected[i].id);
        EXPECT_EQ(p.name, expected[i].name);
        EXPECT_EQ(p.kind, expected[i].kind);
        EXPECT_EQ(p.width, expected[i].w) << p.id.toStdString(); // exact, not rounded
        EXPECT_EQ(p.height, expected[i].h) << p.id.toStdString();
        EXPECT_EQ(p.safe, expected[i].safe) << p.id.toStdString();
        EXPECT_EQ(p.detail, expected[i].detail);
        EXPECT_EQ(LWSizePreset::named(p.id), p);
    }
    EXPECT_FALSE(LWSizePreset::named(QStringLiteral("A4")));
}

TEST(Document, BlankInBothOrientationsAndCustomSizes)
{
    const LWDocument card = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    ASSERT_EQ(card.pages.size(), 2);
    EXPECT_EQ(card.pages[1].name, "Back");
    EXPECT_NE(LWDocument::blank(LWSizePreset::usCard, std::nullopt).id, card.id);

    auto size = [](const LWSizePreset &p, std::optional<bool> landscape) {
        const LWDocument d = LWDocument::blank(p, landscape);
        return std::make_pair(d.width, d.height);
    };
    using P = std::pair<double, double>;
    EXPECT_EQ(size(LWSizePreset::usCard, false), P(144, 252));
    EXPECT_EQ(size(LWSizePreset::letter, true), P(792, 612));
    EXPECT_EQ(size(LWSizePreset::letter, std::nullopt), P(612, 792));
    const LWDocument letter = LWDocument::blank(LWSizePreset::letter, true);
    ASSERT_EQ(letter.pages.size(), 1);
    EXPECT_EQ(letter.pages[0].name, "Page 1");

    const LWDocument custom = LWDocument::blank(LWDocKind::businessCard, "mine", 100, 300, 5, {});
    EXPECT_EQ(custom.width, 100); // never turned
    EXPECT_EQ(custom.safe, 5);
    EXPECT_EQ(custom.pages.size(), 2);
    EXPECT_EQ(LWDocument::blank(LWDocKind::custom, "custom", 100, 300, 9, {}).pages.size(), 1);
}

TEST(Document, PageRectangles)
{
    const LWDocument d = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    EXPECT_EQ(d.trimRect(), LWRect(0, 0, 252, 144));
    EXPECT_EQ(d.safeRect(), LWRect(9, 9, 234, 126));
    EXPECT_EQ(d.bleedRect(), LWRect(-9, -9, 270, 162));

    LWDocument wide = d;
    wide.safe = 73; // more than half the height
    EXPECT_TRUE(wide.safeRect().isNull());
    wide.safe = 72; // exactly half: a zero-height rectangle, not null
    EXPECT_EQ(wide.safeRect(), LWRect(72, 72, 108, 0));
}

TEST(Document, SizeText)
{
    auto text = [](const LWSizePreset &p, std::optional<bool> landscape = std::nullopt) {
        return LWDocument::blank(p, landscape).sizeText();
    };
    EXPECT_EQ(text(LWSizePreset::usCard), "3.5" + kTimes + "2 in");
    EXPECT_EQ(text(LWSizePreset::a4), "210" + kTimes + "297 mm");
    EXPECT_EQ(text(LWSizePreset::a4, true), "297" + kTimes + "210 mm");
    EXPECT_EQ(text(LWSizePreset::euCard), "85" + kTimes + "55 mm");
    EXPECT_EQ(withSize(QStringLiteral("custom"), 300, 200).sizeText(), "4.167" + kTimes + "2.778 in");
    // Only the id decides: A4 dimensions under another id are shown in inches, a card under "a4" in millimetres.
    EXPECT_EQ(withSize(QStringLiteral("A4"), 595.2755905511812, 841.8897637795277).sizeText(),
              "8.268" + kTimes + "11.693 in");
    EXPECT_EQ(withSize(QStringLiteral("a4"), 252, 144).sizeText(), "89" + kTimes + "51 mm");
}

TEST(Document, AllElements)
{
    LWDocument a = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    LWElement g(LWElement::Kind::group, QStringLiteral("G"), {});
    g.children = QList<LWElement>{LWElement(LWElement::Kind::shape, "A", {}), LWElement(LWElement::Kind::text, "B", {})};
    a.pages[0].elements = {g};
    a.pages[1].elements = {LWElement(LWElement::Kind::icon, "C", {}), LWElement(LWElement::Kind::icon, "D", {})};
    QStringList names;
    for (const LWElement &e : a.allElements())
        names << e.name;
    EXPECT_EQ(names, (QStringList{"G", "A", "B", "C", "D"}));
}

TEST(Document, CopiesShareBytesAndLists)
{
    LWDocument d = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    LWElement photo = LWElement::makePhoto({0, 0, 100, 100});
    photo.image->data = QByteArray(20 * 1024 * 1024, '\x5a');
    d.pages[0].elements = {photo, LWElement::makeText(LWText("Hi", "F", 12, LWColor::black), {})};

    const LWDocument snapshot = d;
    const LWDocument &live = d; // reads through a const path: a non-const [] would detach
    const char *bytes = live.pages[0].elements[0].image->data->constData();
    EXPECT_EQ(snapshot.pages[0].elements[0].image->data->constData(), bytes);
    EXPECT_EQ(snapshot.pages.constData(), live.pages.constData());
    EXPECT_EQ(snapshot.pages[0].elements.constData(), live.pages[0].elements.constData());

    // Editing the copy detaches only what is written; the picture stays shared.
    d.pages[0].elements[1].text->string = QStringLiteral("Changed");
    EXPECT_NE(snapshot, d);
    EXPECT_EQ(snapshot.pages[0].elements[1].text->string, "Hi");
    EXPECT_EQ(live.pages[0].elements[0].image->data->constData(), bytes);
    EXPECT_EQ(snapshot.pages[0].elements[0].image->data->constData(), bytes);
    EXPECT_NE(snapshot.pages[0].elements.constData(), live.pages[0].elements.constData());
}

TEST(Document, JsonRoundTripAndStrictReading)
{
    LWDocument d = LWDocument::blank(LWSizePreset::euCard, false, QStringLiteral("Caf\u00E9 / Bar"));
    d.guides = {{QUuid::createUuid(), true, 100.25}, {QUuid::createUuid(), false, 50}};
    const QJsonObject good = d.toJson();
    EXPECT_FALSE(good.contains("templateID")); // an absent optional is left out
    EXPECT_EQ(roundTrip(d), d);

    QJsonObject o = good;
    o["templateID"] = QJsonValue::Null;
    o["extra"] = true;
    EXPECT_EQ(LWDocument::fromJson(LWJsonIn(o)), d);

    for (const char *key : {"format", "version", "id", "kind", "width", "pages", "guides", "modified"}) {
        o = good;
        o.remove(QLatin1String(key));
        EXPECT_EQ(readError<LWDocument>(o), key) << key;
    }
    o = good;
    o["kind"] = "poster";
    EXPECT_EQ(readError<LWDocument>(o), "kind");
    QJsonArray guides = good["guides"].toArray();
    QJsonObject guide = guides[0].toObject();
    guide["vertical"] = "true";
    guides[0] = guide;
    o = good;
    o["guides"] = guides;
    EXPECT_EQ(readError<LWDocument>(o), "guides[0].vertical");

    d.templateID = QStringLiteral("card-classic");
    EXPECT_EQ(roundTrip(d), d);
}
