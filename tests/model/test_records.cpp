#include "model/image.h"
#include "model/text.h"
#include "model_json_helpers.h"

#include <QUuid>

TEST(Text, RoundTripWritesAllElevenKeys)
{
    const LWText t(QStringLiteral("Mixed Case/Line\nTwo \u00E9\u00D7"), QStringLiteral("Lato-Bold"), 10.5,
                   LWColor(0.1, 0.2, 0.3, 0.4), -25, 1.2, LWTextAlign::justified, LWVAlign::bottom, true, true, true);
    EXPECT_EQ(roundTrip(t), t);
    EXPECT_EQ(roundTrip(t).string, t.string); // uppercase never rewrites the typed text

    // Every key is written, false values included.
    QStringList keys = LWText(QString(), QString(), 12, LWColor::black).toJson().keys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{"align", "color", "fontName", "leading", "placeholder", "size", "string", "tracking",
                                 "underline", "uppercase", "vAlign"}));
}

TEST(Text, ReadingIsStrict)
{
    const QJsonObject good = LWText(QStringLiteral("x"), QStringLiteral("F"), 9, LWColor::black).toJson();
    EXPECT_EQ(readError<LWText>(good), "no error");

    QJsonObject o = good;
    o.remove("placeholder");
    EXPECT_EQ(readError<LWText>(o), "placeholder");
    o = good;
    o["align"] = "Left"; // case-sensitive
    EXPECT_EQ(readError<LWText>(o), "align");
    o = good;
    o["underline"] = 1;
    EXPECT_EQ(readError<LWText>(o), "underline");
    o = good;
    o["unknownKey"] = 3;
    EXPECT_EQ(readError<LWText>(o), "no error");
}

TEST(Image, EmptyFrameDataAndStrictReading)
{
    LWImage img = LWImage::empty(LWMask::star);
    EXPECT_EQ(img.assetID, img.assetID.toUpper());
    EXPECT_FALSE(QUuid::fromString(img.assetID).isNull());
    EXPECT_NE(LWImage::empty().assetID, img.assetID);

    img.cropL = 0.6;
    img.cropR = 0.6; // overlapping crops are kept as stored
    img.fit = LWImageFit::fit;
    EXPECT_FALSE(img.toJson().contains("data"));
    EXPECT_EQ(roundTrip(img), img);

    QByteArray bytes;
    for (int i = 0; i < 1000; ++i)
        bytes.append(char(i * 7));
    img.data = bytes;
    EXPECT_EQ(roundTrip(img), img);

    QJsonObject o = img.toJson();
    o["data"] = "not base64!";
    EXPECT_EQ(readError<LWImage>(o), "data");
    o = img.toJson();
    o["mask"] = "Hexagon";
    EXPECT_EQ(readError<LWImage>(o), "mask");
}

TEST(Image, EqualityComparesBytes)
{
    LWImage a = LWImage::empty();
    LWImage b = a;
    a.data = QByteArray("abcdef");
    EXPECT_NE(a, b); // absent vs present
    b.data = QByteArray();
    EXPECT_NE(a, b); // present but empty is not the same picture
    b.data = QByteArray("abcdeg");
    EXPECT_NE(a, b); // one byte differs
    b.data = QByteArray("abcdef");
    EXPECT_EQ(a, b);
}
