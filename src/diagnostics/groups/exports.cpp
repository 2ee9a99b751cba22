#include "diagnostics/groups/exportchecks.h"
#include "diagnostics/selftest.h"
#include "diagnostics/selftestaids.h"
#include "diagnostics/selftestgroups.h"
#include "model/document.h"
#include "model/units.h"
#include "render/parallel.h"
#include "render/pdf/pdffile.h"
#include "templates/templates.h"

#include <cmath>

namespace LWSelfTest {

namespace {

const QString times = QStringLiteral(" \u00D7 ");

// What one template contributed to the sweep.
struct SweepResult {
    bool pdfGood = false;
    QStringList jpegFailures;
};

SweepResult sweepOne(const LWTemplate &t, const Exporter &exporter)
{
    SweepResult result;
    const LWDocument d = t.make();
    const double W = d.width + 2 * d.bleed, H = d.height + 2 * d.bleed;

    QList<int> all;
    for (int i = 0; i < d.pages.size(); ++i)
        all.append(i);
    const QList<PageBoxes> boxes = pdfPages(exporter.pdfData(d, all, true).value_or(QByteArray()));
    result.pdfGood = boxes.size() == d.pages.size();
    for (const PageBoxes &b : boxes) {
        result.pdfGood = result.pdfGood && close(b.media.width(), W) && close(b.media.height(), H) &&
                         close(b.trim.x(), d.bleed) && close(b.trim.width(), d.width) &&
                         close(b.trim.height(), d.height);
    }

    const qint64 wantW = LWUnits::pixels(W, 300), wantH = LWUnits::pixels(H, 300);
    for (int i = 0; i < d.pages.size(); ++i) {
        const std::optional<QByteArray> jpeg = exporter.rasterData(d, i, 300, true, LWExport::RasterType::jpeg, 0.92);
        const std::optional<ImageInfo> info = jpeg ? imageInfo(*jpeg) : std::nullopt;
        if (!info)
            result.jpegFailures << t.id;
        else if (info->w != wantW || info->h != wantH || std::abs(info->dpi - 300) > 0.5)
            result.jpegFailures << t.id + QStringLiteral(" %1\u00D7%2").arg(info->w).arg(info->h);
    }
    return result;
}

// One media box of w x h points, and nothing else.
bool onePage(const QList<PageBoxes> &boxes, double w, double h)
{
    return boxes.size() == 1 && close(boxes[0].media.width(), w) && close(boxes[0].media.height(), h);
}

struct RasterCase {
    const LWDocument *doc;
    int dpi;
    bool bleed;
    int w, h;
};

void rasterCheck(LWTestRun &run, const Exporter &exporter, const RasterCase &c, LWExport::RasterType type)
{
    const std::optional<QByteArray> bytes = exporter.rasterData(*c.doc, 0, c.dpi, c.bleed, type, 0.92);
    const std::optional<ImageInfo> info = bytes ? imageInfo(*bytes) : std::nullopt;
    QString label = c.doc->sizeText() + QLatin1Char(' ') + LWExport::rawValue(type).toUpper() +
                    QStringLiteral(" %1 DPI").arg(c.dpi) + (c.bleed ? QStringLiteral(" + bleed") : QString()) +
                    QStringLiteral(": %1").arg(c.w) + times + QString::number(c.h) +
                    QStringLiteral(" px, DPI %1 in the file (got ").arg(c.dpi);
    if (!info) {
        run.check(false, label + QStringLiteral("nothing)"));
        return;
    }
    // The stated DPI is rounded: a PNG states pixels per metre, so 300 DPI reads back 299.9994.
    const auto [w, h, dpi] = *info;
    run.check(w == c.w && h == c.h && std::abs(dpi - c.dpi) < 0.5,
              label + QString::number(w) + times + QString::number(h) + QStringLiteral(", %1)").arg(std::lround(dpi)));
}

} // namespace

void exports(LWTestRun &run, const QString &) { exportChecks(run, Exporter{}, LWTemplates::all()); }

void exportChecks(LWTestRun &run, const Exporter &exporter, const QList<LWTemplate> &templates)
{
    run.begin(QStringLiteral("Exports: PDF page = trim + bleed, JPEG / PNG pixels = inches \u00D7 DPI"));

    // Templates are independent: they run side by side and are merged in library order.
    QList<SweepResult> results(templates.size());
    LWParallel::forEach(int(templates.size()),
                        [&](int i) { results[i] = sweepOne(templates[i], exporter); });
    QStringList pdfFailures, jpegFailures;
    for (qsizetype i = 0; i < templates.size(); ++i) {
        if (!results[i].pdfGood)
            pdfFailures << templates[i].id;
        jpegFailures << results[i].jpegFailures;
    }
    run.check(pdfFailures.isEmpty(),
              QStringLiteral("all 500 templates in every size export a PDF whose page is exactly trim + bleed, "
                             "TrimBox at the cut ") +
                  listText(pdfFailures, 5));
    run.check(jpegFailures.isEmpty(),
              QStringLiteral("all 500 templates (700 pages) export a 300 DPI JPEG with pixels = inches \u00D7 300 "
                             "for their size ") +
                  listText(jpegFailures, 5));

    const LWDocument c = LWTemplates::cards().first().make();
    const QList<PageBoxes> twoPages = pdfPages(exporter.pdfData(c, {0, 1}, true).value_or(QByteArray()));
    run.check(twoPages.size() == 2 && close(twoPages[0].media.width(), 270) && close(twoPages[0].media.height(), 162),
              QStringLiteral("US card PDF with bleed: 2 pages, 270 \u00D7 162 pt (3.75 \u00D7 2.25 in)"));
    run.check(onePage(pdfPages(exporter.pdfData(c, {0}, false).value_or(QByteArray())), 252, 144),
              QStringLiteral("bleed excluded: page is exactly the trim, 252 \u00D7 144 pt (3.5 \u00D7 2 in)"));

    const LWDocument euCard = LWDocument::blank(LWSizePreset::euCard, std::nullopt);
    const LWDocument letter = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    const LWDocument a4 = LWDocument::blank(LWSizePreset::a4, std::nullopt);
    const LWDocument tabloid = LWDocument::blank(LWSizePreset::tabloid, std::nullopt);
    const LWDocument halfLetter = LWDocument::blank(LWSizePreset::halfLetter, std::nullopt);
    const RasterCase cases[] = {
        {&c, 300, true, 1125, 675},         {&c, 300, false, 1050, 600},
        {&c, 600, true, 2250, 1350},        {&c, 600, false, 2100, 1200},
        {&euCard, 300, false, 1004, 650},   {&letter, 300, false, 2550, 3300},
        {&letter, 600, true, 5250, 6750},   {&a4, 300, false, 2480, 3508},
        {&tabloid, 300, true, 3375, 5175},  {&halfLetter, 600, false, 3300, 5100},
    };
    for (const RasterCase &rc : cases) {
        rasterCheck(run, exporter, rc, LWExport::RasterType::jpeg);
        rasterCheck(run, exporter, rc, LWExport::RasterType::png);
    }

    const LWDocument f = LWTemplates::flyers().first().make();
    run.check(onePage(pdfPages(exporter.pdfData(f, {0}, true).value_or(QByteArray())), 630, 810),
              QStringLiteral("Letter flyer PDF with bleed: 630 \u00D7 810 pt (8.75 \u00D7 11.25 in)"));

    const std::optional<int> fonts =
        LWPdfFile::fontResourceCount(exporter.pdfData(c, {0}, true).value_or(QByteArray()), 0);
    if (!fonts)
        run.check(false, QStringLiteral("PDF text stays vector text"));
    else
        run.check(*fonts > 0,
                  QStringLiteral("PDF text stays vector text (embedded fonts, %1 font resources)").arg(*fonts));
}

} // namespace LWSelfTest
