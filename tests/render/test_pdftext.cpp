#include "render/pdf/pdftext.h"

#include "model/document.h"
#include "render/export.h"
#include "render/text/fonts.h"
#include "render/pdfprobe.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <gtest/gtest.h>


namespace {

const QString words = QStringLiteral("office affluent fjord");

// The words drawn by QPdfWriter alone, before any finishing pass.
QByteArray qtPdf(const QString &text, const QString &face)
{
    LWFonts::registerBundled();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QSizeF(252, 72), QPageSize::Point));
        writer.setPageMargins({});
        QPainter p(&writer);
        p.setFont(LWFonts::font(face, 14));
        p.drawText(QPointF(200, 500), text);
    }
    return bytes;
}

// The PDF with every font's CMap completed.
QByteArray completed(const QByteArray &pdf)
{
    return LWPdfFile::finish(pdf, {{}, {}, {}, LWPdfText::completedToUnicode, {}}).value_or(QByteArray());
}

QList<QByteArray> cmaps(const QByteArray &pdf) { return LWPdfFile::toUnicodeMaps(pdf); }

QString extracted(const QByteArray &pdf)
{
    // Script faces map their own ligature glyphs to U+FB03 and the like through the cmap.
    return pdfprobe::text(pdf).normalized(QString::NormalizationForm_KC).simplified();
}

} // namespace

TEST(PdfText, ExportedLigaturesAndAlternatesExtractAsText)
{
    LWFonts::registerBundled();
    // A serif's f-ligatures, a script face's ligatures and word-final alternates.
    for (const char *face : {"BodoniModa-Regular", "Lobster-Regular", "Allura-Regular"}) {
        LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Ligatures"));
        doc.pages[0].elements.append(LWElement::makeText(
            LWText(words, QString::fromLatin1(face), 14, LWColor::black), LWRect(10, 10, 230, 60)));
        const std::optional<QByteArray> pdf = LWExport::pdfData(doc, {0}, false);
        ASSERT_TRUE(pdf) << face;
        EXPECT_EQ(extracted(*pdf).toStdString(), words.toStdString()) << face;
    }
}

TEST(PdfText, OnlyTheTextMappingChanges)
{
    const QByteArray raw = qtPdf(words, QStringLiteral("BodoniModa-Regular"));
    ASSERT_FALSE(raw.isEmpty());
    ASSERT_NE(extracted(raw).toStdString(), words.toStdString()); // Qt alone drops the ligatures' letters
    const QByteArray done = completed(raw);
    EXPECT_EQ(extracted(done).toStdString(), words.toStdString());

    const QList<QByteArray> before = cmaps(raw), after = cmaps(done);
    ASSERT_EQ(before.size(), 1);
    ASSERT_EQ(after.size(), 1);
    // Qt's own entries stay; the added ones come before the end of the CMap.
    const qsizetype end = before[0].indexOf("endcmap");
    EXPECT_TRUE(after[0].startsWith(before[0].left(end)));
    EXPECT_TRUE(after[0].endsWith(before[0].mid(end)));
    EXPECT_TRUE(after[0].contains("beginbfchar"));

    const QImage a = pdfprobe::poppler(raw, 1, 144), b = pdfprobe::poppler(done, 1, 144);
    ASSERT_FALSE(a.isNull());
    int ink = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x)
            ink += pdfprobe::isBlack(a.pixel(x, y));
    }
    EXPECT_GT(ink, 50); // the words were drawn
    EXPECT_EQ(a, b);
}

TEST(PdfText, FontsNeedingNothingOrUnreadableStayAsTheyWere)
{
    // No ligature in the text: every glyph comes from the cmap.
    const QByteArray plain = qtPdf(QStringLiteral("Harbour Bakery"), QStringLiteral("BodoniModa-Regular"));
    EXPECT_EQ(cmaps(completed(plain)), cmaps(plain));

    // An embedded font that does not parse leaves the CMap alone.
    const QByteArray raw = qtPdf(words, QStringLiteral("BodoniModa-Regular"));
    const QList<QByteArray> before = cmaps(raw);
    ASSERT_EQ(before.size(), 1);
    for (const QByteArray &file : {QByteArray("not a font"), QByteArray()})
        EXPECT_FALSE(LWPdfText::completedToUnicode({QStringLiteral("BodoniModa-Regular"), file, before[0]}));
}
