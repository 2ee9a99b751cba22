#include "diagnostics/snapshot.h"

#include "model/info.h"
#include "model/text.h"
#include "render/parallel.h"
#include "render/renderer.h"
#include "render/text/textlayout.h"
#include "templates/templates.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <climits>
#include <cmath>
#include <vector>

namespace LWSnapshot
{

namespace
{

// One image pixel per point.
constexpr int sheetWidth = 2598; // 18 + 10 x 240 + 9 x 18 + 18
constexpr int columns = 10;
constexpr double tileWidth = 240;
constexpr double margin = 18;
constexpr double columnPitch = tileWidth + margin;
constexpr double sideGap = 6;    // between a card's front and back
constexpr double captionGap = 4; // tile area to caption
constexpr double captionHeight = 16;
constexpr double rowExtra = 40; // caption room and the gap below a row
constexpr double headerHeight = 138;
constexpr double firstSectionTop = 120;
constexpr double sectionHead = 70; // section top to its first row
// Text may reach past its box (it is never clipped); a band draws every text this near.
constexpr double textSlack = 40;

constexpr LWColor background = LWColor::hex(0xE6E9EC);
constexpr LWColor ink = LWColor::hex(0x1E2630);
constexpr LWColor grey = LWColor::hex(0x5B6673);

bool isCard(const LWTemplate &t)
{
    return t.kind == LWDocKind::businessCard;
}

// A page tile's height (240 wide, at the template size's shape) and the tile area under it.
double tileHeight(const LWTemplate &t)
{
    return tileWidth * t.aspect();
}
double tileArea(const LWTemplate &t)
{
    return isCard(t) ? 2 * tileHeight(t) + sideGap : tileHeight(t);
}
// A section's rows take their shape from its first template.
double rowPitch(const Section &s)
{
    return tileArea(s.templates.first()) + rowExtra;
}
int rowCount(const Section &s)
{
    return int((s.templates.size() + columns - 1) / columns);
}

double exactHeight(const QList<Section> &sections)
{
    double h = headerHeight;
    for (const Section &s : sections) {
        if (!s.templates.isEmpty())
            h += rowPitch(s) * rowCount(s) + sectionHead;
    }
    return h;
}

struct TextBox {
    LWText text;
    LWRect box;
};

struct Tile {
    int design = 0; // index into the built designs
    double x = 0, y = 0;
    bool card = false;
    TextBox caption;
};

// Everything drawn, with its place; the designs are built separately.
struct Plan {
    int height = 0;
    QList<TextBox> texts; // header and section titles
    QList<Tile> tiles;
    QList<const LWTemplate *> templates; // per tile, for building
};

Plan plan(const QString &title, const QList<Section> &sections)
{
    Plan plan;
    plan.height = contactSheetHeight(sections);
    QString sheetTitle = title;
    sheetTitle.replace(QStringLiteral("Template Library \u2014 "), QStringLiteral("Templates: "));
    plan.texts.append({LWText(LWInfo::appName + QStringLiteral(" \u2014 ") + sheetTitle,
                              QStringLiteral("AvenirNext-Bold"), 40, ink),
                       LWRect(margin, 28, sheetWidth - 2 * margin, 50)});
    const QString line =
        QStringList{LWInfo::creditLine, LWInfo::website().host(),
                    QStringLiteral("every template made with the app's own layout system, "
                                   "stand-in fonts, VELK Fonts (SIL OFL) and built-in vector art")}
            .join(QStringLiteral(" \u00B7 "));
    plan.texts.append({LWText(line, QStringLiteral("AvenirNext-Medium"), 16, grey),
                       LWRect(margin, 80, sheetWidth - 2 * margin, 24)});

    double y = firstSectionTop;
    for (const Section &section : sections) {
        if (section.templates.isEmpty())
            continue;
        plan.texts.append({LWText(section.title, QStringLiteral("AvenirNext-Bold"), 22, ink, 120),
                           LWRect(margin, y + 22, sheetWidth, 30)});
        const double top = y + sectionHead, pitch = rowPitch(section);
        for (qsizetype i = 0; i < section.templates.size(); ++i) {
            const LWTemplate &t = section.templates.at(i);
            Tile tile;
            tile.design = int(plan.templates.size());
            tile.x = margin + double(i % columns) * columnPitch;
            tile.y = top + double(i / columns) * pitch;
            tile.card = isCard(t);
            tile.caption = {
                LWText(t.id + QStringLiteral("  ") + t.name, QStringLiteral("AvenirNext-Medium"), 10.5, grey),
                LWRect(tile.x, tile.y + tileArea(t) + captionGap, tileWidth, captionHeight)};
            plan.tiles.append(tile);
            plan.templates.append(&t);
        }
        y = top + rowCount(section) * pitch;
    }
    return plan;
}

// The sides of one tile, each clipped to its place (which cuts the bleed off). A card shows the
// pages its design has, at most front and back.
void drawSides(const Tile &tile, const LWDocument &doc, QPainter &p, const QRectF &band)
{
    const double s = tileWidth / doc.width;
    const double h = doc.height * s;
    if (!std::isfinite(s) || !(s > 0) || !std::isfinite(h) || !(h > 0))
        return;
    const int sides = std::min<qsizetype>(tile.card ? 2 : 1, doc.pages.size());
    for (int k = 0; k < sides; ++k) {
        const QRectF place(tile.x, tile.y + k * (h + sideGap), tileWidth, h);
        if (!place.intersects(band))
            continue;
        p.save();
        p.setClipRect(place, Qt::IntersectClip); // keeps the band's own clip
        p.translate(place.topLeft());
        p.scale(s, s);
        LWRenderer::draw(doc.pages.at(k), doc, p, {});
        p.restore();
    }
}

bool near(const LWRect &box, const QRectF &band)
{
    return box.maxY() + textSlack >= band.top() && box.minY() - textSlack <= band.bottom();
}

// One band of the sheet (or the whole sheet): only what meets the band's rows is drawn.
void paintSheet(const Plan &plan, const std::vector<LWDocument> &designs, QPainter &p)
{
    const QRectF band = p.hasClipping() ? p.clipBoundingRect() : QRectF(0, 0, sheetWidth, plan.height);
    p.fillRect(QRectF(0, 0, sheetWidth, plan.height), background.qcolor());
    for (const TextBox &t : plan.texts) {
        if (near(t.box, band))
            LWTextLayout::draw(t.text, t.box, p);
    }
    for (const Tile &tile : plan.tiles) {
        drawSides(tile, designs[size_t(tile.design)], p, band);
        if (near(tile.caption.box, band))
            LWTextLayout::draw(tile.caption.text, tile.caption.box, p);
    }
}

} // namespace

QList<Sheet> librarySheets()
{
    return {
        {QStringLiteral("contact sheet 1 - US cards and Letter flyers.png"),
         QStringLiteral("Template Library \u2014 US business cards & Letter flyers"),
         {{QStringLiteral("BUSINESS CARDS \u00B7 US 3.5 \u00D7 2 in (front above back)"),
           LWTemplates::cards()},
          {QStringLiteral("FLYERS \u00B7 Letter 8.5 \u00D7 11 in"), LWTemplates::flyers()}}},
        {QStringLiteral("contact sheet 2 - EU cards.png"),
         QStringLiteral("Template Library \u2014 EU business cards"),
         {{QStringLiteral("BUSINESS CARDS \u00B7 EU 85 \u00D7 55 mm (front above back)"),
           LWTemplates::cardsEU()}}},
        {QStringLiteral("contact sheet 3 - A4 flyers.png"),
         QStringLiteral("Template Library \u2014 A4 flyers"),
         {{QStringLiteral("FLYERS \u00B7 A4 210 \u00D7 297 mm"), LWTemplates::flyersA4()}}},
        {QStringLiteral("contact sheet 4 - half-letter flyers.png"),
         QStringLiteral("Template Library \u2014 half-letter flyers"),
         {{QStringLiteral("FLYERS \u00B7 Half-letter 5.5 \u00D7 8.5 in"), LWTemplates::flyersHalf()}}},
    };
}

int contactSheetHeight(const QList<Section> &sections)
{
    const double h = std::floor(exactHeight(sections));
    // Beyond any bitmap: the drawing then fails and says so.
    return h < double(INT_MAX) ? int(h) : INT_MAX;
}

bool writeAllContactSheets(const QString &folder, const LWReportSink &out)
{
    (void)QDir().mkpath(folder); // a failure shows as the first sheet not written
    for (const Sheet &sheet : librarySheets()) {
        if (!writeContactSheet(sheet.title, sheet.sections, QDir(folder).filePath(sheet.fileName), out))
            return false;
    }
    return true;
}

bool writeContactSheet(const QString &file, const LWReportSink &out)
{
    const Sheet first = librarySheets().first();
    return writeContactSheet(first.title, first.sections, file, out);
}

bool writeContactSheet(const QString &title, const QList<Section> &sections, const QString &file,
                       const LWReportSink &out)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    const Plan layout = plan(title, sections);
    std::optional<QImage> image;
    {
        std::vector<LWDocument> designs(size_t(layout.templates.size()));
        LWParallel::forEach(int(designs.size()),
                            [&](int i) { designs[size_t(i)] = layout.templates.at(i)->make(); });
        image = LWRenderer::bitmap(sheetWidth, layout.height, true,
                                   [&](QPainter &p) { paintSheet(layout, designs, p); });
    } // the designs go before the image is encoded
    const QSize size = image ? image->size() : QSize();
    const bool written = image && writePNG(std::move(*image), path);
    if (out) {
        out((written ? QStringLiteral("Contact sheet: %1 (%2 \u00D7 %3 px)")
                           .arg(path)
                           .arg(size.width())
                           .arg(size.height())
                     : QStringLiteral("Could not write %1").arg(path))
                .toUtf8(),
            true);
    }
    return written;
}

} // namespace LWSnapshot
