#include "model/file/json.h"

#include <QJsonArray>
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>

static QByteArray write(const QJsonValue &v)
{
    const auto out = LWJson::write(v);
    EXPECT_TRUE(out.has_value());
    return out.value_or(QByteArray());
}

TEST(JsonWriter, SortedCompactEscaped)
{
    QJsonObject inner{{"zeta", 1}, {"Alpha", 2}, {"beta", QJsonArray{3, "a/b"}}};
    QJsonObject o{{"b", inner}, {"a", "x\"y\\z\n\x01"}, {"é", "ü"}};
    EXPECT_EQ(write(o), QByteArray(R"({"a":"x\"y\\z\n\u0001","b":{"Alpha":2,"beta":[3,"a\/b"],"zeta":1},)") +
                            "\"\xC3\xA9\":\"\xC3\xBC\"}");
    // Base64 text carries slashes too.
    EXPECT_EQ(write(LWJson::to(QByteArray("\xff\xff\xff", 3))), "\"\\/\\/\\/\\/\"");
}

TEST(JsonWriter, NumbersRoundTripAndIntegralsStayShort)
{
    EXPECT_EQ(write(QJsonArray{9.0, -3.0, 0.5, 1e300, 0.0}), "[9,-3,0.5,1e+300,0]");
    EXPECT_EQ(write(QJsonValue(qint64(1) << 62)), "4611686018427387904");
    for (double d : {0.1, 2.834645669291339, 1.0 / 3, 123456.789e-20, -7.25e17, 9007199254740993.0}) {
        const QByteArray text = write(QJsonArray{d});
        const auto back = LWJson::parse(text);
        ASSERT_TRUE(back);
        const double r = back->toArray().at(0).toDouble();
        EXPECT_EQ(std::memcmp(&r, &d, sizeof d), 0) << text.constData();
    }
}

TEST(JsonWriter, NonFiniteFailsAnywhere)
{
    QString error;
    QJsonObject o{{"pages", QJsonArray{QJsonObject{{"w", std::nan("")}}}}};
    EXPECT_FALSE(LWJson::write(o, &error));
    EXPECT_TRUE(error.contains("pages[0].w"));
    EXPECT_FALSE(LWJson::write(QJsonArray{INFINITY}));
}

static LWJsonIn in(const char *json)
{
    return LWJsonIn(*LWJson::parse(QByteArray(json)));
}

TEST(JsonReader, IntegersAreStrict)
{
    EXPECT_EQ(in(R"({"v":12})").get<qint64>("v"), 12);
    EXPECT_EQ(in(R"({"v":-9223372036854775808})").get<qint64>("v"), std::numeric_limits<qint64>::min());
    EXPECT_THROW(in(R"({"v":1.5})").get<qint64>("v"), LWJsonError);
    EXPECT_THROW(in(R"({"v":9223372036854775808})").get<qint64>("v"), LWJsonError);
    EXPECT_THROW(in(R"({"v":"1"})").get<qint64>("v"), LWJsonError);
    EXPECT_THROW(in(R"({"v":3000000000})").get<int>("v"), LWJsonError);
}

TEST(JsonReader, UuidsInBothCasesOnly36Characters)
{
    const QUuid id = QUuid::createUuid();
    const QString upper = LWJson::uuidText(id);
    EXPECT_EQ(upper, upper.toUpper());
    EXPECT_EQ(upper.size(), 36);
    EXPECT_EQ(LWJsonIn(QJsonValue(upper)).uuid(), id);
    EXPECT_EQ(LWJsonIn(QJsonValue(upper.toLower())).uuid(), id);
    EXPECT_THROW(LWJsonIn(QJsonValue("{" + upper + "}")).uuid(), LWJsonError);
}

TEST(JsonReader, Base64IsStrict)
{
    EXPECT_EQ(LWJsonIn(QJsonValue("aGk=")).base64(), "hi");
    EXPECT_THROW(LWJsonIn(QJsonValue("aGk")).base64(), LWJsonError);
    EXPECT_THROW(LWJsonIn(QJsonValue("aGk=\n")).base64(), LWJsonError);
    EXPECT_THROW(LWJsonIn(QJsonValue("a-k=")).base64(), LWJsonError);
}

TEST(JsonReader, ShapesOptionalsAndPaths)
{
    const LWJsonIn v = in(R"({"r":[[1,2],[3,4]],"p":[5,6],"o":null,"bad":[[1,2],[3]]})");
    EXPECT_EQ(v.get<LWRect>("r"), LWRect(1, 2, 3, 4));
    EXPECT_EQ(v.get<QPointF>("p"), QPointF(5, 6));
    EXPECT_FALSE(v.opt<double>("o"));
    EXPECT_FALSE(v.opt<double>("missing"));
    EXPECT_THROW(v.get<double>("o"), LWJsonError); // null is no value for a required key
    try {
        (void)v.get<LWRect>("bad");
        FAIL();
    } catch (const LWJsonError &e) {
        EXPECT_EQ(e.path(), "bad[1]");
    }
    try {
        (void)v.get<double>("nothing");
        FAIL();
    } catch (const LWJsonError &e) {
        EXPECT_EQ(e.path(), "nothing");
        EXPECT_TRUE(e.description().contains("nothing"));
    }
}

namespace {

// What a reader makes of the value at "d": its bytes, or the message of its failure.
struct Read {
    bool parsed = false;
    QString text, error;
    QByteArray bytes;
    friend bool operator==(const Read &, const Read &) = default;
};

Read readD(const LWJsonIn &top)
{
    Read r{true, {}, {}, {}};
    try {
        r.text = top["d"].string();
        r.bytes = top["d"].base64();
    } catch (const LWJsonError &e) {
        r.error = e.description();
    }
    return r;
}

QByteArray escapedBase64(const QByteArray &bytes) { return bytes.toBase64().replace("/", "\\/"); }

} // namespace

// Long Base64 strings skip the parsed tree; everything read through them must be what the plain
// parser gives: the same bytes, the same text, the same messages, the same refusals.
TEST(JsonReader, PictureDataReadsAsThePlainParserReadsIt)
{
    QByteArray random(3002, Qt::Uninitialized);
    for (qsizetype i = 0; i < random.size(); ++i)
        random[i] = char((i * 7919 + i / 13) & 0xFF);
    const QByteArray a1024(1024, 'A');
    const struct {
        const char *name;
        QByteArray json;
    } cases[] = {
        {"any bytes, no padding", "{\"d\":\"" + escapedBase64(random.left(3000)) + "\"}"},
        {"one padding", "{\"d\":\"" + escapedBase64(random.left(3001)) + "\"}"},
        {"two paddings", "{\"d\":\"" + escapedBase64(random) + "\"}"},
        {"plain solidus", "{\"d\":\"" + random.toBase64() + "\"}"},
        {"in an array, next to others", "[1,{\"d\":\"" + a1024 + "\",\"e\":\"x\\/y\"},\"" + a1024 + "\"]"},
        {"padding inside", "{\"d\":\"" + a1024 + "A=AA\"}"},
        {"three paddings", "{\"d\":\"" + a1024 + "A===\"}"},
        {"length not a multiple of four", "{\"d\":\"" + a1024 + "AA\"}"},
        {"other escape", "{\"d\":\"" + a1024 + "\\u0041AAA\"}"},
        {"line break", "{\"d\":\"" + a1024 + "\\nAAA\"}"},
        {"not the alphabet", "{\"d\":\"" + a1024 + "-AAA\"}"},
        {"escaped quote", "{\"d\":\"" + a1024 + "\\\"AAA\"}"},
        {"bad escape", "{\"d\":\"" + a1024 + "\\xAAA\"}"},
        {"unterminated", "{\"d\":\"" + a1024},
        {"malformed after", "{\"d\":\"" + a1024 + "\",}"},
        {"a stand-in's spelling elsewhere", "{\"d\":\"" + a1024 + "\",\"e\":\"\\u00010\"}"},
        {"a raw control character elsewhere", "{\"d\":\"" + a1024 + "\",\"e\":\"\x01\"}"},
        {"a number where a string goes", "{\"d\":12}"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<QJsonValue> plain = LWJson::parse(c.json);
        const std::optional<LWJson::Parsed> fast = LWJson::parseWithBlobs(c.json);
        ASSERT_EQ(plain.has_value(), fast.has_value());
        if (!plain)
            continue;
        ASSERT_EQ(plain->type(), fast->value.type());
        if (!plain->isObject()) {
            const QList<LWJsonIn> a = LWJsonIn(*plain).array(), b = LWJsonIn(*fast).array();
            EXPECT_EQ(readD(a[1]), readD(b[1]));
            EXPECT_EQ(a[2].string(), b[2].string());
            EXPECT_EQ(b[1]["e"].string(), "x/y");
            continue;
        }
        EXPECT_EQ(readD(LWJsonIn(*plain)), readD(LWJsonIn(*fast)));
    }
    // The first cases took the fast way, the one whose text spells a stand-in did not.
    EXPECT_TRUE(LWJson::parseWithBlobs(cases[0].json)->blobs);
    EXPECT_TRUE(LWJson::parseWithBlobs(cases[4].json)->blobs);
    EXPECT_FALSE(LWJson::parseWithBlobs(cases[15].json)->blobs);
}

// Written through a bytes scope, picture data comes out as it always did.
TEST(JsonWriter, BytesScopeWritesTheSameText)
{
    QByteArray random(5000, Qt::Uninitialized);
    for (qsizetype i = 0; i < random.size(); ++i)
        random[i] = char((i * 31 + 7) & 0xFF);
    for (const QByteArray &bytes : {random, random.left(4999), random.left(4998), QByteArray()}) {
        const QJsonObject plain{{"d", LWJson::to(bytes)}, {"e", QString(QChar(1)) + "0"}};
        LWJson::BytesScope scope;
        const QJsonObject scoped{{"d", LWJson::to(bytes)}, {"e", QString(QChar(1)) + "0"}};
        EXPECT_EQ(write(scoped), write(plain));
    }
}
