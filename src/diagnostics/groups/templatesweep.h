#pragma once
#include "diagnostics/selftestaids.h"
#include "diagnostics/testrun.h"
#include "model/document.h"
#include "templates/palette.h"
#include "templates/template.h"

#include <QHash>
#include <QList>
#include <QPainterPath>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

// The pieces of the self-test's template group, as pure functions so that tests can feed them
// hand-made templates, records, images, palettes and outlines.
namespace LWSelfTest {

// What one sweep over a template list gathers, lists in list order.
struct TemplateSweep {
    QStringList sizes;     // ids whose design has the wrong size, sides or an empty page
    QStringList preflight; // "<id>: <message of the first counted print-check issue>"
    QStringList fonts;     // distinct names of fonts that are not approved, sorted
    QStringList overlaps;  // "<id> p<page>: <name> / <name>", at most one per page
    QStringList unmarked;  // ids with no text or with text not marked as sample text
    QStringList blank;     // ids whose first page renders blank (or not at all)
    QSet<qint64> renders;  // fingerprints of the first-page renders
};

// Makes, checks and renders every template once, on all cores; the lists keep library order.
// Fonts must be registered first.
[[nodiscard]] TemplateSweep sweep(const QList<LWTemplate> &templates);

// Reports the sweep's seven checks through the tally.
void reportSweep(LWTestRun &run, const TemplateSweep &result);

// A text element as the overlap test sees it.
struct TextBox {
    QString name;
    double rotation = 0;
    QRectF page; // glyph box in page space (turned by the element's rotation when it has one)
    QRectF own;  // the same box turned back by the angle: a frame shared by equal rotations
};
// The text element's record; none for other kinds and for text that lays out no glyph.
[[nodiscard]] std::optional<TextBox> textBox(const LWElement &element);
// The names of the first pair (in order, earlier element first) whose boxes share more than
// 4 square points: own boxes when the rotations are exactly equal, else page boxes.
[[nodiscard]] std::optional<std::pair<QString, QString>> firstOverlap(const QList<TextBox> &boxes);
// One entry per page with an overlap: "<id> p<page, from 1>: <name> / <name>".
[[nodiscard]] QStringList overlaps(const QString &id, const LWDocument &doc);

// Five or fewer colours, sampled every third pixel.
[[nodiscard]] bool isBlank(const Pixels &image);

// "<palette key><pair>" for every readability pair below its minimum ratio, keys ascending.
[[nodiscard]] QStringList paletteFailures(const QHash<QString, LWPalette> &palettes);

// The ids whose outline is missing, empty, narrower than 20 units or past -1 ... 101, in order.
[[nodiscard]] QStringList iconFailures(const QStringList &ids,
                                       const std::function<std::optional<QPainterPath>(const QString &)> &outline);

} // namespace LWSelfTest
