#include "render/preflight.h"

#include "model/document.h"
#include "model/element.h"
#include "model/file/prefs.h"
#include "model/geometry.h"
#include "model/info.h"
#include "render/text/fonts.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/picturekey.h"
#include "render/raster/rasterforecast.h"
#include "render/text/textlayout.h"
#include "render/worker/decodeworkers.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>

namespace LWExport {

std::optional<Issue::Level> Issue::levelFromRaw(int raw)
{
    switch (raw) {
    case 0: return Level::info;
    case 1: return Level::warning;
    case 2: return Level::problem;
    default: return std::nullopt;
    }
}

Issue::Issue(Level level_, int page_, std::optional<QUuid> elementID_, QString message_)
    : level(level_), page(page_), elementID(std::move(elementID_)), message(std::move(message_))
{
}

namespace {

// Pictures print sharp from 299.5 DPI; below 150 they print visibly blurry.
constexpr double blurryDPI = 150;
constexpr double goodDPI = 299.5;
// Slack of the safe-area test, and of the edge test on both sides of the trim.
constexpr double safeSlack = 0.5;
constexpr double trimSlack = 0.01;
constexpr double bleedSlack = 0.5;
constexpr int sampleClusters = 40;

// Top of the laid-out text inside its frame, as the renderer places it.
double textTop(const LWRect &frame, LWVAlign vAlign, double height)
{
    switch (vAlign) {
    case LWVAlign::middle: return frame.midY() - height * 0.5;
    case LWVAlign::bottom: return frame.maxY() - height;
    case LWVAlign::top: break;
    }
    return frame.minY();
}

// The layout's rectangles moved onto the page and united; none when nothing is left.
std::optional<LWRect> placedUnion(const QList<QRectF> &rects, const LWRect &frame, double top, bool skipEmptyLines)
{
    QList<LWRect> placed;
    placed.reserve(rects.size());
    for (const QRectF &r : rects) {
        if (skipEmptyLines && r.width() <= 0.01)
            continue;
        placed.append(LWRect(r.x() + frame.minX(), r.y() + top, r.width(), r.height()));
    }
    const LWRect u = LWGeometry::unionOf(placed);
    if (u.isNull())
        return std::nullopt;
    return u;
}

std::optional<LWRect> inkOf(const LWElement &e, const LWTextLayout::Layout &layout, bool lines)
{
    const double top = textTop(e.frame, e.text->vAlign, layout.height);
    return lines ? placedUnion(layout.lineRects, e.frame, top, true)
                 : placedUnion(layout.glyphRects, e.frame, top, false);
}

// The axis-aligned box of a rectangle turned with its element.
LWRect turned(const LWRect &r, const LWElement &e)
{
    return LWRect::fromQRectF(LWGeometry::rotation(e).mapRect(r.toQRectF()));
}

QString quoted(const QString &s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

// The first user-perceived characters of a text, never splitting one.
QString sample(const QString &s)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    int clusters = 0;
    while (clusters < sampleClusters && finder.toNextBoundary() != -1)
        ++clusters;
    if (clusters < sampleClusters)
        return s;
    return s.left(finder.position());
}

QString dpiText(double dpi) { return QString::number(qint64(std::trunc(dpi))); }

// Runs past the trim on some side but stops short of the bleed line there.
bool shortOfBleed(const LWRect &b, const LWRect &trim, double bleed)
{
    if (b.minX() < trim.minX() - trimSlack && b.minX() > trim.minX() - bleed + bleedSlack)
        return true;
    if (b.maxX() > trim.maxX() + trimSlack && b.maxX() < trim.maxX() + bleed - bleedSlack)
        return true;
    if (b.minY() < trim.minY() - trimSlack && b.minY() > trim.minY() - bleed + bleedSlack)
        return true;
    return b.maxY() > trim.maxY() + trimSlack && b.maxY() < trim.maxY() + bleed - bleedSlack;
}

// The sentence, after the picture's name, of a picture that would not print whole.
std::optional<QString> undrawnText(std::optional<LWImageCache::Drawn> drawn)
{
    switch (drawn.value_or(LWImageCache::Drawn::whole)) {
    case LWImageCache::Drawn::unreadable:
        return QStringLiteral(" can't be read, so a placeholder would print in its place. Place the picture again.");
    case LWImageCache::Drawn::tooLarge:
        return QStringLiteral(" is too large to draw, so a placeholder would print in its place. Place a smaller "
                              "copy of it.");
    case LWImageCache::Drawn::partial:
        return QStringLiteral(" is cut off or damaged: only part of it can be read, so it won't print whole. Place "
                              "the picture again.");
    case LWImageCache::Drawn::whole:
        break;
    }
    return std::nullopt;
}

// The sentence of a picture the PDF draws whole but the JPEG or PNG export leaves out.
QString rasterText(double dpi)
{
    return QStringLiteral(" is too large to draw at ") + QString::number(qint64(std::trunc(dpi))) +
           QStringLiteral(" DPI, so a placeholder would print in its place in a JPEG or PNG. Export a PDF, or place "
                          "a smaller copy of it.");
}

// Whether the raster export leaves the picture out: none while that is still worked out.
std::optional<bool> leftOutSoon(const LWDocument &doc, int page, const LWImage &picture, const RasterPlan &raster,
                                int priority)
{
    const std::optional<QSet<QByteArray>> out = LWRasterForecast::leftOutSoon(doc, page, raster.dpi, raster.bleed,
                                                                               priority);
    if (!out)
        return std::nullopt;
    if (out->isEmpty())
        return false;
    const std::optional<QByteArray> key = LWPictureKey::ifKnown(*picture.data);
    return key ? std::optional<bool>(out->contains(*key)) : std::nullopt;
}

// Why no picture would print, when the picture decoder cannot draw any.
QString decoderTrouble()
{
    if (LWDecodeWorkers::trouble() == LWPictureDecoder::Failure::decoderMissing)
        return LWInfo::appName + QStringLiteral("'s picture decoder is missing or can't start, so pictures would print "
                                                "as placeholders. Reinstall ") +
               LWInfo::appName + QStringLiteral(" to mend it.");
    return QStringLiteral("Pictures can't be shown safely on this system: ") + LWInfo::appName +
           QStringLiteral("'s picture decoder can't shut itself off from your files, so pictures would print as "
                          "placeholders.");
}

bool drawable(std::optional<LWImageCache::Drawn> drawn)
{
    return drawn != LWImageCache::Drawn::unreadable && drawn != LWImageCache::Drawn::tooLarge;
}

std::optional<double> dpiOf(const LWElement &element, const std::optional<QSizeF> &px)
{
    if (!px)
        return std::nullopt;
    const LWImage &img = *element.image;
    const double vw = px->width() * (1 - img.cropL - img.cropR);
    const double vh = px->height() * (1 - img.cropT - img.cropB);
    if (!(vw > 0 && vh > 0))
        return std::nullopt;
    const double fw = element.frame.width(), fh = element.frame.height();
    if (!(fw > 0 && fh > 0))
        return std::nullopt;
    const double a = vw / vh, f = fw / fh;
    double w;
    if (img.fit == LWImageFit::fill)
        w = a >= f ? a * fh : fw;
    else
        w = f > a ? a * fh : fw;
    return vw / (w / 72);
}

struct Walker {
    const LWDocument &doc;
    const LWRect trim, safe;
    const double bleed;
    QList<Issue> out;
    int page = 0;
    bool soon = false; // pictures not known yet are asked for beside, not waited for
    std::optional<RasterPlan> raster;
    std::optional<QSet<QByteArray>> leftOut; // the waiting form's, of the page walked

    // Whether the raster export leaves the picture out; none while that is worked out.
    std::optional<bool> leftOutByRaster(const LWImage &picture)
    {
        if (!raster)
            return false;
        if (soon)
            return leftOutSoon(doc, page, picture, *raster, 1);
        if (!leftOut)
            leftOut = LWRasterForecast::leftOut(doc, page, raster->dpi, raster->bleed);
        return leftOut->contains(LWPictureKey::of(*picture.data));
    }
    bool toldDecoder = false;

    void add(Issue::Level level, const LWElement &e, QString message)
    {
        out.append(Issue(level, page, e.id, std::move(message)));
    }

    void checkText(const LWElement &e)
    {
        const LWText &t = *e.text;
        if (!LWFonts::isInstalled(t.fontName))
            add(Issue::Level::problem, e,
                QStringLiteral("The font ") + t.fontName +
                    QStringLiteral(" isn't installed on this computer; a stand-in font is used."));

        const LWTextLayout::Layout layout = LWTextLayout::layout(t, e.frame.width());
        if (!layout.fits || layout.height > e.frame.height() + 1)
            add(Issue::Level::warning, e,
                QStringLiteral("Text ") + quoted(e.name) +
                    QStringLiteral(" is bigger than its box. Make the box taller or the text smaller."));

        if (std::optional<LWRect> ink = inkOf(e, layout, true)) {
            if (e.rotation != 0)
                ink = turned(*ink, e);
            if (!safe.insetBy(-safeSlack, -safeSlack).contains(*ink))
                add(Issue::Level::warning, e,
                    QStringLiteral("Text ") + quoted(e.name) +
                        QStringLiteral(" is outside the safe area and could be cut off."));
        }

        if (t.placeholder)
            add(Issue::Level::info, e,
                QStringLiteral("Sample text still in place: ") + quoted(sample(t.string)) +
                    QStringLiteral(". Type your own."));
    }

    void checkPicture(const LWElement &e)
    {
        if (!e.image || !e.image->data) {
            add(Issue::Level::warning, e,
                QStringLiteral("Empty photo frame ") + quoted(e.name) +
                    QStringLiteral(". Drop a picture on it or delete it."));
            return;
        }
        // A picture that does not draw prints as the missing-picture art: no resolution to judge.
        std::optional<LWImageCache::Drawn> drawn;
        std::optional<double> dpi;
        if (soon) {
            const LWImageCache::CheckSoon known = LWImageCache::checkSoon(*e.image, 1);
            if (known.pending) {
                add(Issue::Level::info, e, QStringLiteral("Picture ") + quoted(e.name) +
                                               QStringLiteral(" is being checked\u2026"));
                out.last().checking = true;
                return;
            }
            drawn = known.drawn;
            dpi = dpiOf(e, known.pixelSize);
        } else {
            drawn = LWImageCache::drawn(*e.image);
            if (drawable(drawn))
                dpi = effectiveDPI(e);
        }
        if (!drawn && LWDecodeWorkers::trouble() != LWPictureDecoder::Failure::none) {
            // No picture can be drawn, whichever it is: told once.
            if (!toldDecoder)
                add(Issue::Level::problem, e, decoderTrouble());
            toldDecoder = true;
        } else if (!drawn) { // no decode worker or memory now: the export may draw the placeholder
            add(Issue::Level::warning, e,
                QStringLiteral("Picture ") + quoted(e.name) +
                    QStringLiteral(" couldn't be checked just now, so it may print as a placeholder. Check again "
                                   "before you print."));
        }
        std::optional<QString> why = undrawnText(drawn);
        if (drawn && drawable(drawn) && !why && raster) {
            const std::optional<bool> left = leftOutByRaster(*e.image);
            if (!left) {
                add(Issue::Level::info, e, QStringLiteral("Picture ") + quoted(e.name) +
                                               QStringLiteral(" is being checked\u2026"));
                out.last().checking = true;
                return;
            }
            if (*left)
                why = rasterText(raster->dpi);
        }
        if (why)
            add(Issue::Level::problem, e, QStringLiteral("Picture ") + quoted(e.name) + *why);
        if (!drawable(drawn))
            return;
        if (!dpi)
            return;
        if (*dpi < blurryDPI)
            add(Issue::Level::problem, e,
                QStringLiteral("Picture ") + quoted(e.name) + QStringLiteral(" is only ") + dpiText(*dpi) +
                    QStringLiteral(" DPI at this size and will print blurry (300 DPI recommended)."));
        else if (*dpi < goodDPI)
            add(Issue::Level::warning, e,
                QStringLiteral("Picture ") + quoted(e.name) + QStringLiteral(" is ") + dpiText(*dpi) +
                    QStringLiteral(" DPI at this size (300 DPI recommended)."));
    }

    void checkEdges(const LWElement &e)
    {
        if (!shortOfBleed(LWGeometry::bounds(e), trim, bleed) || e.isLine())
            return;
        add(Issue::Level::warning, e,
            quoted(e.name) +
                QStringLiteral(" runs past the trim edge but stops short of the bleed line, so a thin white "
                               "edge may show. Stretch it to the bleed (red) line."));
    }

    void check(const LWElement &e)
    {
        if (e.kind == LWElementKind::group)
            return;
        if (e.hidden) {
            add(Issue::Level::info, e, quoted(e.name) + QStringLiteral(" is hidden and won't print."));
            return;
        }
        switch (e.kind) {
        case LWElementKind::text:
            if (e.text)
                checkText(e);
            return; // text is judged by the safe area, not the bleed
        case LWElementKind::image:
            checkPicture(e);
            break;
        case LWElementKind::shape:
        case LWElementKind::icon:
            break;
        case LWElementKind::group:
            return;
        }
        checkEdges(e);
    }

    // The element, then its members depth first, in drawing order.
    void walk(const LWElement &e)
    {
        check(e);
        if (e.children)
            for (const LWElement &c : *e.children)
                walk(c);
    }
};

} // namespace

RasterPlan RasterPlan::stored()
{
    return {LWPrefs::intValue(LWPrefs::exportDPIKey) == 600 ? 600.0 : 300.0,
            LWPrefs::boolValue(LWPrefs::exportBleedKey)};
}

QList<Issue> preflight(const LWDocument &doc, std::optional<RasterPlan> raster)
{
    Walker w{doc, doc.trimRect(), doc.safeRect(), doc.bleed, {}};
    w.raster = raster;
    for (const LWPage &page : doc.pages) {
        w.leftOut.reset();
        for (const LWElement &e : page.elements)
            w.walk(e);
        ++w.page;
    }
    return w.out;
}

std::optional<double> effectiveDPI(const LWElement &element)
{
    if (!element.image)
        return std::nullopt;
    return dpiOf(element, LWImageCache::pixelSize(*element.image));
}

QList<Issue> preflightSoon(const LWDocument &doc, std::optional<RasterPlan> raster)
{
    Walker w{doc, doc.trimRect(), doc.safeRect(), doc.bleed, {}};
    w.soon = true;
    w.raster = raster;
    for (const LWPage &page : doc.pages) {
        for (const LWElement &e : page.elements)
            w.walk(e);
        ++w.page;
    }
    return w.out;
}

bool checking(const QList<Issue> &issues)
{
    return std::any_of(issues.cbegin(), issues.cend(), [](const Issue &i) { return i.checking; });
}

PictureSoon pictureSoon(const LWDocument &doc, int page, const LWElement &element, std::optional<RasterPlan> raster,
                        int priority)
{
    if (!element.image || !element.image->data)
        return {};
    const LWImageCache::CheckSoon known = LWImageCache::checkSoon(*element.image, priority);
    if (known.pending)
        return {true, std::nullopt, true, std::nullopt};
    const bool can = drawable(known.drawn);
    PictureSoon out{false, undrawnText(known.drawn), can, can ? dpiOf(element, known.pixelSize) : std::nullopt};
    if (known.drawn && can && !out.undrawn && raster) {
        const std::optional<bool> left = leftOutSoon(doc, page, *element.image, *raster, priority);
        if (!left)
            return {true, std::nullopt, true, std::nullopt};
        if (*left)
            out.undrawn = rasterText(raster->dpi);
    }
    return out;
}

std::optional<LWRect> textInk(const LWElement &element)
{
    if (!element.text)
        return std::nullopt;
    return inkOf(element, LWTextLayout::layout(*element.text, element.frame.width()), true);
}

std::optional<LWRect> glyphInk(const LWElement &element)
{
    if (!element.text)
        return std::nullopt;
    return inkOf(element, LWTextLayout::layout(*element.text, element.frame.width()), false);
}

} // namespace LWExport
