#include "diagnostics/groups/exportchecks.h"
#include "diagnostics/selftestaids.h"
#include "diagnostics/selftestgroups.h"
#include "model/document.h"
#include "templates/templates.h"

#include <algorithm>
#include <cmath>

namespace LWSelfTest {

namespace SheetRules {

bool tenUpOnLetter(const LWExport::SheetLayout &layout)
{
    return layout.paperName == QLatin1String("Letter") && layout.paper.width() == 612 &&
           layout.paper.height() == 792 && layout.cols == 2 && layout.rows == 5 && layout.count() == 10;
}

bool roundsTo(const QList<double> &values, const QList<int> &want)
{
    if (values.size() != want.size())
        return false;
    for (qsizetype i = 0; i < values.size(); ++i)
        if (std::round(values[i]) != want[i])
            return false;
    return true;
}

bool marksOnCutLines(const QList<QLineF> &marks, const QList<double> &cutXs, const QList<double> &cutYs)
{
    const auto near = [](const QList<double> &cuts, double v) {
        return std::any_of(cuts.begin(), cuts.end(), [v](double cut) { return close(cut, v); });
    };
    return std::all_of(marks.begin(), marks.end(), [&](const QLineF &m) {
        return (close(m.x1(), m.x2()) && near(cutXs, m.x1())) || (close(m.y1(), m.y2()) && near(cutYs, m.y1()));
    });
}

bool containsHalfOpen(const QRectF &r, QPointF p)
{
    return p.x() >= r.left() && p.x() < r.right() && p.y() >= r.top() && p.y() < r.bottom();
}

bool marksInMargins(const QList<QLineF> &marks, const QRectF &grid, QSizeF paper)
{
    const QRectF keepOut = grid.adjusted(-1, -1, 1, 1), sheet(QPointF(0, 0), paper);
    return std::all_of(marks.begin(), marks.end(), [&](const QLineF &m) {
        return !containsHalfOpen(keepOut, m.p1()) && !containsHalfOpen(keepOut, m.p2()) &&
               containsHalfOpen(sheet, m.p1()) && containsHalfOpen(sheet, m.p2());
    });
}

} // namespace SheetRules

namespace {

constexpr double scale = 150.0 / 72;

// A sheet point as a bitmap pixel, truncated.
int px(double v) { return int(v * scale); }

// Checks 8 to 10 on the front sheet's bitmap.
void printedSheet(LWTestRun &run, const LWExport::SheetBitmap &sheet)
{
    const Pixels b(sheet.image);
    const QList<QLineF> marks = sheet.layout.marks();
    run.check(std::all_of(marks.begin(), marks.end(),
                          [&](const QLineF &m) {
                              return darkNear(b, int((m.x1() + m.x2()) * 0.5 * scale),
                                              int((m.y1() + m.y2()) * 0.5 * scale));
                          }),
              QStringLiteral("in the printed sheet every crop mark is drawn (dark) at its spot"));

    const QPointF margins[] = {{30, 108}, {590, 252}, {180, 20}, {430, 775}};
    // pixel() reads a point outside the bitmap as black, so it fails here.
    run.check(std::all_of(std::begin(margins), std::end(margins),
                          [&](QPointF p) { return isWhite(pixel(b, px(p.x()), px(p.y()))); }),
              QStringLiteral("the margins between marks stay blank"));

    bool printed = true;
    for (int i = 0; i < 10 && printed; ++i) {
        const QRectF slot = sheet.layout.slot(i % 2, i / 2, false);
        const int x = int(slot.left() * scale + 30), y = int(slot.center().y() * scale);
        // A point off the bitmap proves nothing either way and does not fail the card.
        if (x >= 0 && y >= 0 && x < b.width() && y < b.height())
            printed = !isWhite(pixel(b, x, y));
    }
    run.check(printed, QStringLiteral("all 10 cards are printed on the sheet"));
}

} // namespace

void sheet(LWTestRun &run, const QString &) { sheetChecks(run, Exporter{}); }

void sheetChecks(LWTestRun &run, const Exporter &exporter)
{
    using namespace SheetRules;
    run.begin(QStringLiteral("10-up card sheet: Letter, crop marks in the right places"));

    const LWDocument c = LWTemplates::cards().first().make();
    const std::optional<LWExport::SheetLayout> L = exporter.sheetLayout(c);
    if (!L) {
        run.check(false, QStringLiteral("sheet layout for a US card"));
        return;
    }
    run.check(tenUpOnLetter(*L), QStringLiteral("US cards: 10 up (2 \u00D7 5) on Letter 8.5 \u00D7 11 in"));
    run.check(close(L->origin.x(), 54) && close(L->origin.y(), 36),
              QStringLiteral("grid centered: 0.75 in side margins, 0.5 in top and bottom"));
    run.check(roundsTo(L->cutXs(), {54, 306, 558}) && roundsTo(L->cutYs(), {36, 180, 324, 468, 612, 756}),
              QStringLiteral("cut lines every 3.5 in across and every 2 in down"));
    const QList<QLineF> marks = L->marks();
    run.check(marks.size() == 18,
              QStringLiteral("18 crop marks (3 cut lines \u00D7 top & bottom, 6 cut lines \u00D7 left & right)"));
    run.check(marksOnCutLines(marks, L->cutXs(), L->cutYs()),
              QStringLiteral("every crop mark lines up exactly with a cut line"));
    run.check(marksInMargins(marks, L->grid(), L->paper),
              QStringLiteral("crop marks sit in the margins, never on top of a card, and stay on the paper"));
    run.check(close(L->slot(0, 0, true).left(), 306) && close(L->slot(1, 0, true).left(), 54),
              QStringLiteral("backs are mirrored left \u2194 right for double-sided printing"));

    if (const std::optional<LWExport::SheetBitmap> fronts = exporter.sheetBitmap(c, 0, 150))
        printedSheet(run, *fronts);
    else
        run.check(false, QStringLiteral("sheet renders"));

    const QList<PageBoxes> pages = pdfPages(exporter.sheetPDF(c, {0, 1}).value_or(QByteArray()));
    run.check(pages.size() == 2 && std::all_of(pages.begin(), pages.end(),
                                               [](const PageBoxes &p) {
                                                   return close(p.media.width(), 612) &&
                                                          close(p.media.height(), 792);
                                               }),
              QStringLiteral("sheet PDF: page 1 fronts, page 2 backs, both Letter"));

    const std::optional<LWExport::SheetLayout> eu = exporter.sheetLayout(LWTemplates::cardsEU().first().make());
    run.check(eu && eu->paperName == QLatin1String("A4") && eu->count() == 10,
              QStringLiteral("EU 85 \u00D7 55 mm cards: 10 up on A4 (Letter leaves no room for marks)"));
    const std::optional<LWExport::SheetLayout> upright =
        exporter.sheetLayout(LWDocument::blank(LWSizePreset::usCard, false));
    run.check(upright && upright->cols == 5 && upright->rows == 2 &&
                  upright->paperName == QLatin1String("Letter (landscape)"),
              QStringLiteral("upright cards: 5 \u00D7 2 on landscape Letter"));
    run.check(!exporter.sheetLayout(LWDocument::blank(LWSizePreset::letter, std::nullopt)),
              QStringLiteral("no card sheet for flyers"));
}

} // namespace LWSelfTest
