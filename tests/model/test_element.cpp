#include "model/element.h"
#include "model_json_helpers.h"

#include <QSet>

namespace {
LWText sampleText(double size = 12)
{
    return LWText(QStringLiteral("Sample"), QStringLiteral("Lato-Regular"), size, LWColor::black);
}

LWElement group(const QString &name, const LWRect &frame, QList<LWElement> members)
{
    LWElement g(LWElement::Kind::group, name, frame);
    g.children = std::move(members);
    return g;
}

LWElement box(const QString &name, const LWRect &frame = {0, 0, 10, 10})
{
    return LWElement::makeShape(LWShapeKind::rectangle, frame, LWFill::solid(LWColor::black), std::nullopt, 0, name);
}

QStringList names(const QList<LWElement> &list)
{
    QStringList out;
    for (const LWElement &e : list)
        out << e.name;
    return out;
}
} // namespace

TEST(Element, TextFactoryNamesByGraphemeClusters)
{
    const QString thirty = QStringLiteral("abcdefghijklmnopqrstuvwxyz1234");
    const LWElement t = LWElement::makeText(LWText(thirty, QStringLiteral("F"), 12, LWColor::black), {});
    EXPECT_EQ(t.name, thirty.left(24));

    // e + combining acute (2 units), a thumbs-up with skin tone (4 units), CR LF (2 units): one character each.
    QString s;
    for (int i = 0; i < 10; ++i)
        s += QStringLiteral("e\u0301");
    for (int i = 0; i < 10; ++i)
        s += QStringLiteral("\U0001F44D\U0001F3FD");
    s += QStringLiteral("\r\nxyzw");
    const QString expected = s.left(20 + 40 + 2) + QStringLiteral("xyz"); // line break kept in the name
    EXPECT_EQ(LWElement::makeText(LWText(s, {}, 12, LWColor::black), {}).name, expected);

    // Flags (pairs of regional indicators) stay whole after an emoji too, and a run of them pairs
    // from its start.
    const QString grin = QStringLiteral("\U0001F600"), de = QStringLiteral("\U0001F1E9\U0001F1EA");
    const QString family = QStringLiteral("\U0001F469\u200D\U0001F469\u200D\U0001F467");
    const QString lone = QStringLiteral("\U0001F1E9");
    struct Case {
        QString text;
        int n;
        QString expected;
    };
    for (const Case &c : {Case{grin + de + de, 2, grin + de}, Case{family + de + grin, 2, family + de},
                          Case{de + de + lone + QStringLiteral("x"), 3, de + de + lone}, Case{de, 0, QString()}})
        EXPECT_EQ(LWText::leadingCharacters(c.text, c.n), c.expected) << c.text.toStdString();
}

TEST(Element, FactoriesLineFramesAndUnitPoints)
{
    const LWFill red = LWFill::solid(LWColor(1, 0, 0));
    const LWElement shape = LWElement::makeShape(LWShapeKind::line, {0, 0, 50, 10}, red, LWStroke());
    EXPECT_EQ(shape.fill, LWFill::none()); // a line never fills
    EXPECT_EQ(shape.points, (QList<QPointF>{{0, 0.5}, {1, 0.5}}));
    const QList<QPointF> pts{{0, 0}, {2, -1}, {0.5, 1}};
    EXPECT_EQ(LWElement::makePath(pts, {}, red, true, std::nullopt).points, pts); // stored as passed
    EXPECT_EQ(LWElement::makeIcon(QStringLiteral("star.fill"), {}, red).name, "Icon: star.fill");

    const LWStroke s(LWColor::black, 1);
    const LWElement h = LWElement::makeLine({10, 20}, {110, 20}, s);
    EXPECT_EQ(h.frame, LWRect(10, 20, 100, 0));
    EXPECT_EQ(h.points, (QList<QPointF>{{0, 0.5}, {1, 0.5}}));

    const LWElement back = LWElement::makeLine({50, 80}, {20, 40}, s, QStringLiteral("Rule"));
    EXPECT_EQ(back.frame, LWRect(20, 40, 30, 40));
    EXPECT_EQ(back.points, (QList<QPointF>{{1, 1}, {0, 0}}));
    EXPECT_EQ(back.lineEnds(), std::make_pair(QPointF(50, 80), QPointF(20, 40)));

    const LWElement dot = LWElement::makeLine({5, 5}, {5, 5}, s);
    EXPECT_EQ(dot.frame, LWRect(5, 5, 0, 0));
    EXPECT_EQ(dot.points, (QList<QPointF>{{0.5, 0.5}, {0.5, 0.5}}));
}

TEST(Element, LineEndsFallbacks)
{
    LWElement e(LWElement::Kind::shape, {}, {10, 20, 100, 40});
    EXPECT_EQ(e.lineEnds(), std::make_pair(QPointF(10, 40), QPointF(110, 40))); // none
    e.points = QList<QPointF>{};
    EXPECT_EQ(e.lineEnds(), std::make_pair(QPointF(10, 20), QPointF(110, 40))); // empty
    e.points = QList<QPointF>{{0.5, 1}};
    EXPECT_EQ(e.lineEnds(), std::make_pair(QPointF(60, 60), QPointF(110, 40))); // one point
    e.points = QList<QPointF>{{0, 0}, {1, 1}, {0.5, 0.5}};
    EXPECT_EQ(e.lineEnds(), std::make_pair(QPointF(10, 20), QPointF(110, 60))); // extra ignored
}

TEST(Element, FlattenedOrderAndOffset)
{
    LWElement g = group(QStringLiteral("G"), {0, 0, 100, 100},
                        {box(QStringLiteral("A")), group(QStringLiteral("H"), {0, 0, 10, 10}, {box("B"), box("C")}),
                         box(QStringLiteral("D"))});
    EXPECT_EQ(names(g.flattened()), (QStringList{"G", "A", "H", "B", "C", "D"}));

    g.children->first().points = QList<QPointF>{{0.25, 0.75}};
    const LWElement before = g;
    g.offset(5, -5);
    const QList<LWElement> a = before.flattened(), b = g.flattened();
    ASSERT_EQ(a.size(), b.size());
    for (qsizetype i = 0; i < a.size(); ++i) {
        EXPECT_EQ(b[i].frame, a[i].frame.offsetBy(5, -5)) << i;
        EXPECT_EQ(b[i].points, a[i].points);
    }
}

TEST(Element, SetFrameScalesMembersAndUniformText)
{
    LWElement member = LWElement::makeText(sampleText(12), {10, 10, 20, 10});
    const LWElement g = group(QStringLiteral("G"), {0, 0, 100, 50}, {member});

    LWElement doubled = g;
    doubled.setFrame({100, 100, 200, 100});
    EXPECT_EQ(doubled.children->at(0).frame, LWRect(120, 120, 40, 20));
    EXPECT_EQ(doubled.children->at(0).text->size, 24);
    EXPECT_EQ(g.children->at(0).text->size, 12); // the source is untouched

    LWElement wide = g;
    wide.setFrame({0, 0, 200, 50});
    EXPECT_EQ(wide.children->at(0).frame, LWRect(20, 10, 40, 10));
    EXPECT_EQ(wide.children->at(0).text->size, 12);

    LWElement nearlySame = g;
    nearlySame.setFrame({0, 0, 100.04, 50.02});
    const LWRect f = nearlySame.children->at(0).frame;
    EXPECT_DOUBLE_EQ(f.x, 10.004);
    EXPECT_DOUBLE_EQ(f.w, 20.008);
    EXPECT_EQ(nearlySame.children->at(0).text->size, 12);

    // The element's own text is never scaled by its own setFrame.
    member.setFrame({0, 0, 40, 20});
    EXPECT_EQ(member.text->size, 12);
}

TEST(Element, SetFrameNestedAndDegenerate)
{
    const LWElement inner = group(QStringLiteral("H"), {0, 0, 50, 50},
                                  {LWElement::makeText(sampleText(10), {25, 25, 25, 25})});
    LWElement outer = group(QStringLiteral("G"), {0, 0, 100, 100}, {inner});
    outer.setFrame({0, 0, 50, 50});
    const LWElement &h = outer.children->at(0);
    EXPECT_EQ(h.frame, LWRect(0, 0, 25, 25));
    EXPECT_EQ(h.children->at(0).frame, LWRect(12.5, 12.5, 12.5, 12.5)); // carried along by H
    EXPECT_EQ(h.children->at(0).text->size, 5); // scaled by H's own uniform re-framing

    // Asked to keep member text, no depth scales it, while frames follow as before.
    LWElement kept = group(QStringLiteral("G"), {0, 0, 100, 100}, {inner});
    kept.setFrame({0, 0, 50, 50}, LWElement::MemberText::keep);
    EXPECT_EQ(kept.children->at(0).children->at(0).frame, LWRect(12.5, 12.5, 12.5, 12.5));
    EXPECT_EQ(kept.children->at(0).children->at(0).text->size, 10);

    LWElement zero = group(QStringLiteral("Z"), {0, 0, 0, 0}, {box("A", {1, 2, 3, 4})});
    zero.setFrame({10, 10, 80, 80});
    EXPECT_EQ(zero.frame, LWRect(10, 10, 80, 80));
    EXPECT_EQ(zero.children->at(0).frame, LWRect(1, 2, 3, 4));

    LWElement thin = group(QStringLiteral("T"), {0, 0, 0, 50}, {box("A", {0, 10, 4, 20})});
    thin.setFrame({0, 0, 30, 100});
    EXPECT_EQ(thin.children->at(0).frame, LWRect(0, 20, 4, 40));
}

TEST(Element, DuplicatedRenewsEveryId)
{
    LWElement photo = LWElement::makePhoto({0, 0, 5, 5});
    const LWElement g = group(QStringLiteral("G"), {0, 0, 10, 10}, {box("A"), photo});
    const LWElement d = g.duplicated();
    QSet<QUuid> ids;
    for (const LWElement &e : g.flattened() + d.flattened())
        ids.insert(e.id);
    EXPECT_EQ(ids.size(), 6);
    EXPECT_EQ(names(d.flattened()), names(g.flattened()));
    EXPECT_EQ(d.children->at(1).image->assetID, photo.image->assetID);
}

TEST(Element, JsonRoundTripAndStrictReading)
{
    LWElement text = LWElement::makeText(sampleText(), {1.5, 2.25, 30, 40});
    text.rotation = -12.5;
    LWElement photo = LWElement::makePhoto({0, 0, 5, 5}, LWMask::arch, 3);
    photo.image->data = QByteArray("\x89PNG\r\n\x1a\n\0\xff", 10);
    LWElement path = LWElement::makePath({{0, 0}, {1, 0.5}}, {}, LWFill::none(), true, QList<qint64>{0, 2});
    path.stroke = LWStroke(LWColor(0, 0, 1), 0.5, 3);
    const LWElement icon = LWElement::makeIcon(QStringLiteral("a/b"), {}, LWFill::none());
    const LWElement g = group("Group", {10, 10, -20, 5}, {text, photo, path, icon, group("E", {}, {})});
    EXPECT_EQ(roundTrip(g), g);

    // Absent optionals are left out.
    const LWElement plain = box("Plain");
    const QJsonObject o = plain.toJson();
    for (const char *absent : {"points", "corners", "stroke", "text", "image", "icon", "children"})
        EXPECT_FALSE(o.contains(QLatin1String(absent))) << absent;
    EXPECT_EQ(roundTrip(plain), plain);

    QJsonObject bad = o;
    bad.remove("innerRatio");
    EXPECT_EQ(readError<LWElement>(bad), "innerRatio");
    bad = o;
    bad["shape"] = "circle";
    EXPECT_EQ(readError<LWElement>(bad), "shape");
}

TEST(Element, StoredCountsAreKeptButDrawingIsBounded)
{
    LWElement e = box("P");
    const std::pair<qint64, int> cases[] = {{-5, 3}, {2, 3}, {7, 7}, {1001, 1000}, {qint64(1) << 40, 1000}};
    for (const auto &[stored, drawn] : cases) {
        e.sides = stored;
        EXPECT_EQ(e.drawnSides(), drawn) << stored;
    }
    e.sides = qint64(1) << 40;
    EXPECT_EQ(roundTrip(e).sides, qint64(1) << 40); // the file's value survives

    e.points = QList<QPointF>(5000, QPointF(0.5, 0.5));
    EXPECT_EQ(e.drawnPointCount(), LWElement::maxVertices);
}
