#include "diagnostics/groups/exportchecks.h"
#include "diagnostics/selftest.h"
#include "model/document.h"
#include "render/text/fonts.h"
#include "render/pdf/pdffile.h"
#include "templates/templates.h"

#include <QPainter>
#include <gtest/gtest.h>

// The export and sheet groups against broken exporters: each fault fails the checks meant to
// catch it and no other. The real exporter's run is the "selftest" test.
namespace {

using namespace LWSelfTest;
using LWExport::SheetLayout;

struct Report {
    QStringList passed, failed; // labels
};

template <typename Group>
Report report(Group group)
{
    Report r;
    LWTestRun run([&r](const QByteArray &line, bool) {
        if (line.startsWith("PASS  ") || line.startsWith("FAIL  "))
            (line[0] == 'P' ? r.passed : r.failed) << QString::fromUtf8(line.mid(6));
    });
    group(run);
    return r;
}

// The image file as an encoder that states no resolution writes it: PNG without pHYs, JPEG with
// a JFIF density of aspect ratio only.
QByteArray withoutDpi(QByteArray bytes)
{
    if (bytes.startsWith("\x89PNG")) {
        const qsizetype at = bytes.indexOf("pHYs");
        return at < 4 ? bytes : bytes.remove(at - 4, 4 + 4 + 9 + 4);
    }
    const qsizetype at = bytes.indexOf(QByteArrayView("JFIF\0", 5));
    if (at >= 0)
        bytes.replace(at + 7, 5, QByteArray("\0\0\1\0\1", 5));
    return bytes;
}

class SelfTestExports : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LWFonts::registerBundled(); }
    // The group over the first seven templates with a broken exporter.
    static Report exports(const Exporter &broken, QList<LWTemplate> &templates)
    {
        templates = LWTemplates::all().mid(0, 7);
        return report([&](LWTestRun &run) { exportChecks(run, broken, templates); });
    }
};

TEST_F(SelfTestExports, PdfTrimSizedAndRasterWithoutDpi)
{
    Exporter broken;
    broken.pdfData = [](const LWDocument &d, const QList<int> &pages, bool) { return LWExport::pdfData(d, pages, false); };
    broken.rasterData = [](const LWDocument &d, int page, double dpi, bool bleed, LWExport::RasterType type, double q) {
        std::optional<QByteArray> bytes = LWExport::rasterData(d, page, dpi, bleed, type, q);
        return bytes ? std::optional(withoutDpi(*bytes)) : bytes;
    };
    QList<LWTemplate> templates;
    const Report r = exports(broken, templates);
    ASSERT_EQ(r.passed.size() + r.failed.size(), 26);
    ASSERT_EQ(r.failed.size(), 2 + 1 + 20 + 1); // sweep, card with bleed, raster sizes, flyer with bleed
    QStringList ids;
    for (const LWTemplate &t : templates.mid(0, 5))
        ids << t.id;
    EXPECT_TRUE(r.failed[0].endsWith(LWSelfTest::listText(ids))) << r.failed[0].toStdString();
    EXPECT_TRUE(r.failed[1].endsWith(QStringLiteral(" 1125\u00D7675\"]"))) << r.failed[1].toStdString();
    for (qsizetype i = 3; i < 23; ++i)
        EXPECT_TRUE(r.failed[i].endsWith(QStringLiteral(", 0)"))) << r.failed[i].toStdString();
}

TEST_F(SelfTestExports, NoTrimBoxSecondPageOfAnotherSizeAndNoRaster)
{
    Exporter broken;
    broken.pdfData = [](const LWDocument &d, const QList<int> &pages, bool bleed) -> std::optional<QByteArray> {
        const std::optional<QByteArray> pdf = LWExport::pdfData(d, pages, bleed);
        if (!pdf)
            return pdf;
        const double b = bleed ? d.bleed : 0;
        LWPdfFile::Finish how; // media boxes only
        how.pages = QList<LWExport::PdfPageBoxes>(pages.size(), {QRectF(0, 0, d.width + 2 * b, d.height + 2 * b), {}, {}, {}});
        if (how.pages->size() > 1)
            (*how.pages)[1].media = QRectF(0, 0, 100, 100);
        return LWPdfFile::finish(*pdf, how);
    };
    broken.rasterData = [](const LWDocument &, int, double, bool, LWExport::RasterType, double) {
        return std::optional<QByteArray>();
    };
    QList<LWTemplate> templates;
    const Report r = exports(broken, templates);
    ASSERT_EQ(r.failed.size(), 2 + 20);
    EXPECT_TRUE(r.failed[0].startsWith(QLatin1String("all 500 templates in every size")));
    QStringList pages; // one entry per page, the bare id
    for (const LWTemplate &t : templates)
        for (qsizetype i = 0; i < t.make().pages.size(); ++i)
            pages << t.id;
    EXPECT_TRUE(r.failed[1].endsWith(LWSelfTest::listText(pages.mid(0, 5)))) << r.failed[1].toStdString();
    for (qsizetype i = 2; i < 22; ++i)
        EXPECT_TRUE(r.failed[i].endsWith(QStringLiteral("(got nothing)"))) << r.failed[i].toStdString();
}

TEST(SelfTestSheetRules, LayoutsCutsAndMarks)
{
    const LWDocument card = LWTemplates::cards().first().make();
    const SheetLayout real = *SheetLayout::make(card);
    SheetLayout wide = real;
    wide.paper = QSizeF(612.001, 792);
    EXPECT_TRUE(SheetRules::tenUpOnLetter(real) && !SheetRules::tenUpOnLetter(wide));
    EXPECT_TRUE(SheetRules::roundsTo({54.4, 305.6, 558.4}, {54, 306, 558}));
    EXPECT_FALSE(SheetRules::roundsTo({54.6, 306, 558}, {54, 306, 558}) || SheetRules::roundsTo({54, 306}, {54, 306, 558}));

    const QRectF grid = real.grid();
    const QList<double> xs = real.cutXs(), ys = real.cutYs();
    const QLineF top(54, 10, 54, 28), left(10, 36, 28, 36);
    struct Case {
        const char *name;
        QLineF mark;
        bool onCut, inMargin;
    } cases[] = {
        {"vertical on a cut", top, true, true},
        {"horizontal on a cut", left, true, true},
        {"diagonal", QLineF(54, 10, 55, 28), false, true},
        {"vertical between cuts", QLineF(60, 10, 60, 28), false, true},
        {"end 0.5 pt above the grid", QLineF(54, 10, 54, grid.top() - 0.5), true, false},
        {"end on the paper's right edge", QLineF(grid.right() + 4.5, 36, 612, 36), true, false},
        {"end on the paper's left edge", QLineF(0, 36, 18, 36), true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SheetRules::marksOnCutLines({top, c.mark}, xs, ys), c.onCut);
        EXPECT_EQ(SheetRules::marksInMargins({left, c.mark}, grid, real.paper), c.inMargin);
    }
    EXPECT_TRUE(SheetRules::marksOnCutLines({}, xs, ys));
    EXPECT_TRUE(SheetRules::marksInMargins(real.marks(), grid, real.paper));
}

TEST(SelfTestSheet, BrokenBitmapsFailTheirOwnChecks)
{
    LWFonts::registerBundled();
    using Paint = std::function<void(QPainter &, const SheetLayout &)>;
    struct Case {
        const char *name;
        Paint paint; // over the real sheet, in sheet points; none: no bitmap
        QStringList failed;
    } cases[] = {
        {"marks painted over",
         [](QPainter &p, const SheetLayout &l) {
             for (const QLineF &m : l.marks())
                 p.fillRect(QRectF(m.center() - QPointF(3, 3), QSizeF(6, 6)), Qt::white);
         },
         {QStringLiteral("in the printed sheet every crop mark is drawn (dark) at its spot")}},
        {"ink in the margin",
         [](QPainter &p, const SheetLayout &) { p.fillRect(QRectF(29, 107, 2, 2), Qt::black); },
         {QStringLiteral("the margins between marks stay blank")}},
        {"no bitmap", nullptr, {QStringLiteral("sheet renders")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Exporter broken;
        broken.sheetBitmap = [&c](const LWDocument &d, int side, double dpi) -> std::optional<LWExport::SheetBitmap> {
            std::optional<LWExport::SheetBitmap> sheet = LWExport::sheetBitmap(d, side, dpi);
            if (!sheet || !c.paint)
                return std::nullopt;
            QPainter p(&sheet->image);
            p.scale(dpi / 72, dpi / 72);
            c.paint(p, sheet->layout);
            return sheet;
        };
        const Report r = report([&](LWTestRun &run) { sheetChecks(run, broken); });
        EXPECT_EQ(r.failed, c.failed);
        EXPECT_EQ(r.passed.size() + r.failed.size(), c.paint ? 14 : 12);
        EXPECT_EQ(r.passed.last(), QStringLiteral("no card sheet for flyers"));
    }
}

} // namespace
