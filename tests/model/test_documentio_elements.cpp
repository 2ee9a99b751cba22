// Element lists as the clipboard carries them.
#include "fuzz/sample_documents.h"
#include "model/file/documentio.h"
#include "model/file/json.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ElementListEncoding, RoundTripsEveryFieldAsOneArray)
{
    const QList<LWElement> elements = LWSamples::rich(16).pages[0].elements;
    const auto bytes = LWDocumentIO::encodeElements(elements);
    ASSERT_TRUE(bytes.ok()) << qPrintable(bytes.errorDescription());
    EXPECT_TRUE(bytes.value().startsWith('['));
    const auto back = LWDocumentIO::decodeElements(bytes.value());
    ASSERT_TRUE(back.ok()) << qPrintable(back.errorDescription());
    EXPECT_EQ(back.value(), elements);
}

TEST(ElementListEncoding, KeepsToTheFilesNestingAndNumbers)
{
    // Whatever decodes can be pasted and then saved: the file's own nesting limit
    // (DocumentEncoding.TooDeepGroupsFail) holds.
    const QList<LWElement> deepest = LWSamples::nested(LWDocumentIO::maxGroupLevels).pages[0].elements;
    const auto ok = LWDocumentIO::encodeElements(deepest);
    ASSERT_TRUE(ok.ok());
    EXPECT_TRUE(LWDocumentIO::decodeElements(ok.value()).ok());

    const QList<LWElement> deeper = LWSamples::nested(LWDocumentIO::maxGroupLevels + 1).pages[0].elements;
    EXPECT_FALSE(LWDocumentIO::encodeElements(deeper).ok());
    const std::optional<QByteArray> forced = LWJson::write(LWJson::to(deeper));
    ASSERT_TRUE(forced);
    EXPECT_FALSE(LWDocumentIO::decodeElements(*forced).ok());

    LWElement bad = deepest.first();
    bad.frame.x = std::nan("");
    const auto nan = LWDocumentIO::encodeElements({bad});
    EXPECT_FALSE(nan.ok());
    EXPECT_FALSE(nan.ioError()); // the encoder's failure, not a read-side verdict
}
