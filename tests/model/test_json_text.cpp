#include "model/file/json.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

// Strings go from UTF-16 straight to UTF-8 in the writer; keys sort in UTF-8 byte order.
TEST(JsonWriterText, Utf8OutsideTheBasicPlaneAndKeyOrder)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x8D\x90");       // U+1F350, a surrogate pair
    const QString privateUse = QString::fromUtf8("\xEE\x80\x80");      // U+E000
    const QJsonObject o{{emoji, 1}, {privateUse, 2}, {QStringLiteral("\u00e9"), 3}};
    // UTF-16 order would put the emoji's surrogates before U+E000; UTF-8 order puts it last.
    EXPECT_EQ(*LWJson::write(o), QByteArray("{\"\xC3\xA9\":3,\"\xEE\x80\x80\":2,\"\xF0\x9F\x8D\x90\":1}"));

    const QString lone = QString(QChar(0xD800)) + QLatin1Char('x');
    EXPECT_EQ(*LWJson::write(QJsonValue(lone)), QByteArray("\"\xEF\xBF\xBDx\""));
    const auto back = LWJson::parse("[" + *LWJson::write(QJsonValue(emoji + QStringLiteral("/\t"))) + "]");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->toArray().at(0).toString(), emoji + QStringLiteral("/\t"));
}

TEST(JsonReaderText, EscapedSolidusAndItsLookalikes)
{
    const auto v = LWJson::parse(R"(["a\/b","c\\/d","e\"\/f","\\\/"])");
    ASSERT_TRUE(v);
    const QJsonArray a = v->toArray();
    EXPECT_EQ(a.at(0).toString(), "a/b");
    EXPECT_EQ(a.at(1).toString(), "c\\/d");
    EXPECT_EQ(a.at(2).toString(), "e\"/f");
    EXPECT_EQ(a.at(3).toString(), "\\/");
    EXPECT_FALSE(LWJson::parse(R"(["a\/)"));
    EXPECT_FALSE(LWJson::parse(R"([\/])"));
}
