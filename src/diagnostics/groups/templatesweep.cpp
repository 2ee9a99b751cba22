#include "diagnostics/groups/templatesweep.h"

#include "diagnostics/selftest.h"
#include "model/geometry.h"
#include "render/text/fonts.h"
#include "render/parallel.h"
#include "render/preflight.h"
#include "render/renderer.h"

#include <QTransform>
#include <algorithm>
#include <cmath>
#include <vector>

namespace LWSelfTest {

namespace {

// What one template adds to the sweep; merged in library order afterwards.
struct Finding {
    bool wrongSize = false;
    std::optional<QString> preflight;
    QSet<QString> fonts; // every font named by a text; approved on the main thread
    QStringList overlaps;
    bool unmarked = false;
    bool blank = false;
    std::optional<qint64> render;
};

bool rightSize(const LWTemplate &t, const LWDocument &doc)
{
    const LWSizePreset preset = t.preset();
    if (std::abs(doc.width - preset.width) >= 0.001 || std::abs(doc.height - preset.height) >= 0.001)
        return false;
    if (doc.sizeID != t.sizeID)
        return false;
    if (doc.pages.size() != (t.kind == LWDocKind::businessCard ? 2 : 1))
        return false;
    return std::all_of(doc.pages.cbegin(), doc.pages.cend(), [](const LWPage &p) { return !p.elements.isEmpty(); });
}

std::optional<QString> firstCountedIssue(const LWDocument &doc)
{
    for (const LWExport::Issue &issue : LWExport::preflight(doc))
        if (issue.level != LWExport::Issue::Level::info && !issue.message.startsWith(QStringLiteral("Empty photo frame")))
            return issue.message;
    return std::nullopt;
}

// Runs on any thread: touches only the template's own document and the thread-safe caches.
Finding examine(const LWTemplate &t)
{
    Finding f;
    const LWDocument doc = t.make();
    f.wrongSize = !rightSize(t, doc);
    if (const auto message = firstCountedIssue(doc))
        f.preflight = t.id + QStringLiteral(": ") + *message;

    bool anyText = false;
    for (const LWElement &e : doc.allElements()) {
        if (!e.text)
            continue;
        anyText = true;
        f.fonts.insert(e.text->fontName);
        f.unmarked = f.unmarked || !e.text->placeholder;
    }
    f.unmarked = f.unmarked || !anyText;
    f.overlaps = overlaps(t.id, doc);

    const std::optional<QImage> image = LWRenderer::bitmap(doc, 0, 0.5, false, true, {});
    f.blank = !image || isBlank(Pixels(*image));
    if (image && !image->isNull())
        f.render = fingerprint(*image);
    return f;
}

} // namespace

TemplateSweep sweep(const QList<LWTemplate> &templates)
{
    std::vector<Finding> findings(size_t(templates.size()));
    LWParallel::forEach(int(templates.size()), [&](int i) { findings[size_t(i)] = examine(templates[i]); });

    TemplateSweep out;
    QSet<QString> used;
    for (qsizetype i = 0; i < templates.size(); ++i) {
        const Finding &f = findings[size_t(i)];
        const QString &id = templates[i].id;
        if (f.wrongSize)
            out.sizes << id;
        if (f.preflight)
            out.preflight << *f.preflight;
        used.unite(f.fonts);
        out.overlaps << f.overlaps;
        if (f.unmarked)
            out.unmarked << id;
        if (f.blank)
            out.blank << id;
        if (f.render)
            out.renders.insert(*f.render);
    }
    // The font registry's lookup of a platform name may build its system index: main thread.
    const QStringList listed = LWFonts::templateFonts();
    const QSet<QString> approved(listed.cbegin(), listed.cend());
    for (const QString &name : std::as_const(used))
        if (!approved.contains(name) || !LWFonts::isInstalled(name))
            out.fonts << name;
    std::sort(out.fonts.begin(), out.fonts.end());
    return out;
}

void reportSweep(LWTestRun &run, const TemplateSweep &r)
{
    run.check(r.sizes.isEmpty(),
              QStringLiteral("all 500 templates open with the right size and sides ") + listText(r.sizes, 5));
    run.check(r.preflight.isEmpty(),
              QStringLiteral("all 500 templates pass Preflight: text fits its box, inside the safe area, color "
                             "reaches the bleed (%1) ")
                      .arg(r.preflight.size()) +
                  listText(r.preflight, 15));
    run.check(r.fonts.isEmpty(), QStringLiteral("templates use only approved fonts (stand-in fonts + the bundled VELK "
                                                "Fonts), all loaded ") +
                                     listText(r.fonts));
    run.check(r.unmarked.isEmpty(),
              QStringLiteral("every template's words are marked as sample text to replace ") + listText(r.unmarked, 5));
    run.check(r.blank.isEmpty(),
              QStringLiteral("every template renders a real design (not blank) ") + listText(r.blank, 5));
    run.check(r.overlaps.isEmpty(),
              QStringLiteral("no words run into other words on any template (%1) ").arg(r.overlaps.size()) +
                  listText(r.overlaps, 6));
    run.check(r.renders.size() == 500,
              QStringLiteral("all 500 templates look different from each other (%1 distinct renders)")
                  .arg(r.renders.size()));
}

std::optional<TextBox> textBox(const LWElement &e)
{
    if (e.kind != LWElementKind::text)
        return std::nullopt;
    const std::optional<LWRect> ink = LWExport::glyphInk(e);
    if (!ink)
        return std::nullopt;
    const QRectF glyphs = ink->toQRectF();
    const QTransform turn = LWGeometry::rotation(e);
    TextBox box{e.name, e.rotation, glyphs, glyphs};
    if (e.rotation != 0)
        box.page = turn.mapRect(glyphs);
    // Turned about its centre and back about the origin: only moved, so boxes of one angle share
    // a frame in which their upright extents compare.
    box.own = (turn * QTransform().rotate(-e.rotation)).mapRect(glyphs);
    return box;
}

std::optional<std::pair<QString, QString>> firstOverlap(const QList<TextBox> &boxes)
{
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        for (qsizetype j = i + 1; j < boxes.size(); ++j) {
            const TextBox &a = boxes[i], &b = boxes[j];
            const bool sameTurn = a.rotation == b.rotation;
            const QRectF common = (sameTurn ? a.own : a.page).intersected(sameTurn ? b.own : b.page);
            if (!common.isEmpty() && common.width() * common.height() > 4.0)
                return std::pair{a.name, b.name};
        }
    }
    return std::nullopt;
}

QStringList overlaps(const QString &id, const LWDocument &doc)
{
    QStringList out;
    for (qsizetype p = 0; p < doc.pages.size(); ++p) {
        QList<TextBox> boxes;
        for (const LWElement &top : doc.pages[p].elements)
            for (const LWElement &e : top.flattened())
                if (const auto box = textBox(e))
                    boxes << *box;
        if (const auto pair = firstOverlap(boxes))
            out << id + QStringLiteral(" p") + QString::number(p + 1) + QStringLiteral(": ") + pair->first +
                       QStringLiteral(" / ") + pair->second;
    }
    return out;
}

bool isBlank(const Pixels &image) { return distinctColors(image, 3) <= 5; }

} // namespace LWSelfTest
