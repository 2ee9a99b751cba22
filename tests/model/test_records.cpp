#include "model/image.h"
#include "model/text.h"
#include "model_json_helpers.h"

#include <QUuid>

TEST(Text, ConstructorDefaults)
{
    const LWColor c = LWColor::hex(0x336699);
    const LWText t(QStringLiteral("Hello"), QStringLiteral("AvenirNext-Medium"), 28, c);
    EXPECT_EQ(t.string, "Hello");
    EXPECT_EQ(t.fontName, "AvenirNext-Medium");
    EXPECT_EQ(t.size, 28);
    EXPECT_EQ(t.color, c);
    EXPECT_EQ(t.tracking, 0);
    EXPECT_EQ(t.leading, 1);
    EXPECT_EQ(t.align, LWTextAlign::left);
    EXPECT_EQ(t.vAlign, LWVAlign::top);
    EXPECT_FALSE(t.underline);
    EXPECT_FALSE(t.uppercase);
    EXPECT_FALSE(t.placeholder);
}

TEST(Text, RoundTripWritesAllElevenKeys)
{
    const LWText t(QStringLiteral("Mixed Case/Line\nTwo \u00E9\u00D7"), QStringLiteral("Lato-Bold"), 10.5,
                   LWColor(0.1, 0.2, 0.3, 0.4), -25, 1.2, LWTextAlign::justified, LWVAlign::bottom, true, true, true);
    EXPECT_EQ(roundTrip(t), t);
    EXPECT_EQ(roundTrip(t).string, t.string); // uppercase never rewrites the typed text

    const QJsonObject o = LWText(QString(), QString(), 12, LWColor::black).toJson();
    QStringList keys = o.keys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{"align", "color", "fontName", "leading", "placeholder", "size", "string", "tracking",
                                 "underline", "uppercase", "vAlign"}));
    EXPECT_EQ(o["align"].toString(), "left");
    EXPECT_EQ(o["placeholder"].toBool(true), false); // written even when false
}

TEST(Text, ReadingIsStrict)
{
    const QJsonObject good = LWText(QStringLiteral("x"), QStringLiteral("F"), 9, LWColor::black).toJson();
    EXPECT_EQ(readError<LWText>(good), "no error");

    for (const char *key : {"placeholder", "tracking", "string", "color"}) {
        QJsonObject o = good;
        o.remove(QLatin1String(key));
        EXPECT_EQ(readError<LWText>(o), key) << key;
    }
    QJsonObject o = good;
    o["align"] = "Centre";
    EXPECT_EQ(readError<LWText>(o), "align");
    o = good;
    o["align"] = "Left"; // case-sensitive
    EXPECT_EQ(readError<LWText>(o), "align");
    o = good;
    o["underline"] = 1;
    EXPECT_EQ(readError<LWText>(o), "underline");
    o = good;
    o["size"] = "12";
    EXPECT_EQ(readError<LWText>(o), "size");
    o = good;
    o["placeholder"] = QJsonValue::Null;
    EXPECT_EQ(readError<LWText>(o), "placeholder");
    o = good;
    o["unknownKey"] = 3;
    EXPECT_EQ(readError<LWText>(o), "no error");
}

TEST(Image, EmptyFrame)
{
    const LWImage a = LWImage::empty();
    EXPECT_EQ(a.mask, LWMask::none);
    EXPECT_EQ(a.fit, LWImageFit::fill);
    EXPECT_EQ(a.cropL, 0);
    EXPECT_EQ(a.cropT, 0);
    EXPECT_EQ(a.cropR, 0);
    EXPECT_EQ(a.cropB, 0);
    EXPECT_FALSE(a.data.has_value());
    EXPECT_EQ(a.assetID.size(), 36);
    EXPECT_EQ(a.assetID, a.assetID.toUpper());
    EXPECT_FALSE(QUuid::fromString(a.assetID).isNull());
    EXPECT_NE(LWImage::empty().assetID, a.assetID);
    EXPECT_EQ(LWImage::empty(LWMask::hexagon).mask, LWMask::hexagon);
}

TEST(Image, DataIsOptionalAndBase64)
{
    LWImage img = LWImage::empty(LWMask::star);
    img.cropL = 0.6;
    img.cropR = 0.6; // overlapping crops are kept as stored
    img.cropT = -0.25;
    img.fit = LWImageFit::fit;
    EXPECT_FALSE(img.toJson().contains("data"));
    const LWImage back = roundTrip(img);
    EXPECT_EQ(back, img);
    EXPECT_FALSE(back.data.has_value());
    EXPECT_EQ(back.cropL, 0.6);
    EXPECT_EQ(back.cropR, 0.6);

    QByteArray bytes;
    for (int i = 0; i < 1000; ++i)
        bytes.append(char(i * 7));
    img.data = bytes;
    EXPECT_EQ(img.toJson()["data"].toString(), QString::fromLatin1(bytes.toBase64()));
    EXPECT_EQ(roundTrip(img), img);
    EXPECT_EQ(roundTrip(img).data, bytes);

    QJsonObject o = img.toJson();
    o["data"] = QJsonValue::Null;
    EXPECT_FALSE(LWImage::fromJson(LWJsonIn(o)).data.has_value());
    o["data"] = "not base64!";
    EXPECT_EQ(readError<LWImage>(o), "data");
    o["data"] = 12;
    EXPECT_EQ(readError<LWImage>(o), "data");
    o = img.toJson();
    o["mask"] = "Hexagon";
    EXPECT_EQ(readError<LWImage>(o), "mask");
    o = img.toJson();
    o.remove("cropB");
    EXPECT_EQ(readError<LWImage>(o), "cropB");
}

TEST(Image, EqualityComparesBytes)
{
    LWImage a = LWImage::empty();
    LWImage b = a;
    EXPECT_EQ(a, b); // two empty frames with the same id and settings
    a.data = QByteArray("abcdef");
    EXPECT_NE(a, b); // absent vs present
    b.data = QByteArray();
    EXPECT_NE(a, b);
    b.data = QByteArray("abcdeg");
    EXPECT_NE(a, b); // one byte differs
    b.data = QByteArray("abcdef");
    EXPECT_EQ(a, b);
}
