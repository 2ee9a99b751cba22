#include "model/json.h"

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
