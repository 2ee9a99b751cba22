#pragma once
#include "diagnostics/testrun.h"
#include "render/export.h"
#include "render/sheet.h"
#include "templates/template.h"

#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <functional>

// The export and card-sheet groups with the exporter and the template list handed in, so that a
// test can run them against a broken exporter and a short list. The group operations `exports`
// and `sheet` (selftestgroups.h) run them with the real exporter and the whole library.
namespace LWSelfTest {

// The exporter calls the two groups make; each defaults to the real one.
struct Exporter {
    std::function<std::optional<QByteArray>(const LWDocument &, const QList<int> &, bool includeBleed)> pdfData =
        [](const LWDocument &doc, const QList<int> &pages, bool bleed) { return LWExport::pdfData(doc, pages, bleed); };
    std::function<std::optional<QByteArray>(const LWDocument &, int page, double dpi, bool includeBleed,
                                            LWExport::RasterType, double quality)>
        rasterData = LWExport::rasterData;
    std::function<std::optional<LWExport::SheetLayout>(const LWDocument &)> sheetLayout =
        LWExport::SheetLayout::make;
    std::function<std::optional<LWExport::SheetBitmap>(const LWDocument &, int side, double dpi)> sheetBitmap =
        LWExport::sheetBitmap;
    std::function<std::optional<QByteArray>(const LWDocument &, const QList<int> &sides)> sheetPDF =
        [](const LWDocument &doc, const QList<int> &sides) { return LWExport::sheetPDF(doc, sides); };
};

// 26 checks; the sweep covers `templates` in their order, on several threads, reported as a
// sequential run would.
void exportChecks(LWTestRun &run, const Exporter &exporter, const QList<LWTemplate> &templates);
// 14 checks (one when the US card has no layout).
void sheetChecks(LWTestRun &run, const Exporter &exporter);

// The card-sheet group's rules on layouts and marks, in sheet points.
namespace SheetRules {
// Paper exactly 612 x 792 named "Letter", 2 x 5 slots.
bool tenUpOnLetter(const LWExport::SheetLayout &layout);
// The values rounded half away from zero are exactly `want`, in order.
bool roundsTo(const QList<double> &values, const QList<int> &want);
// Each mark is vertical on some cut x or horizontal on some cut y (within 0.01).
bool marksOnCutLines(const QList<QLineF> &marks, const QList<double> &cutXs, const QList<double> &cutYs);
// No end of a mark within the grid grown by 1 pt; both ends on the paper. Maximum edges are
// outside a rectangle.
bool marksInMargins(const QList<QLineF> &marks, const QRectF &grid, QSizeF paper);
// Minimum edges inside, maximum edges outside.
bool containsHalfOpen(const QRectF &r, QPointF p);
} // namespace SheetRules

} // namespace LWSelfTest
