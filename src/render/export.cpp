#include "render/export.h"

#include "model/document.h"
#include "model/units.h"
#include "render/exportpictures.h"
#include "render/pictures/decodebudget.h"
#include "render/pdf/pdfboxes.h"
#include "render/raster/jpegwriter.h"
#include "render/raster/pngwriter.h"
#include "render/parallel.h"
#include "render/renderer.h"
#include "render/worker/cancellable.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QScopeGuard>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace LWExport {

std::optional<RasterType> rasterType(QStringView raw)
{
    if (raw == u"jpeg")
        return RasterType::jpeg;
    if (raw == u"png")
        return RasterType::png;
    return std::nullopt;
}

QString rawValue(RasterType type)
{
    return type == RasterType::jpeg ? QStringLiteral("jpeg") : QStringLiteral("png");
}

QString ext(RasterType type)
{
    return type == RasterType::jpeg ? QStringLiteral("jpg") : QStringLiteral("png");
}

QString uti(RasterType type)
{
    return type == RasterType::jpeg ? QStringLiteral("image/jpeg") : QStringLiteral("image/png");
}

namespace {

LWRect exportBox(const LWDocument &doc, bool includeBleed)
{
    return includeBleed ? doc.bleedRect() : doc.trimRect();
}

// Quality 0...1 as libjpeg's 0...100.
int jpegQuality(double quality)
{
    return int(std::lround((std::isfinite(quality) ? std::clamp(quality, 0.0, 1.0) : 0.92) * 100));
}

bool usable(const LWRect &r)
{
    return !r.isNull() && std::isfinite(r.minX()) && std::isfinite(r.minY()) && std::isfinite(r.width()) &&
           std::isfinite(r.height()) && r.width() > 0 && r.height() > 0;
}

} // namespace

double pixelsPerPoint(const LWDocument &doc, double dpi, bool includeBleed)
{
    const LWRect area = exportBox(doc, includeBleed);
    const PixelSize size = pixelSize(doc, dpi, includeBleed);
    if (!usable(area))
        return 0;
    return std::max(double(size.width) / area.width(), double(size.height) / area.height());
}

PixelSize pixelSize(const LWDocument &doc, double dpi, bool includeBleed)
{
    const LWRect box = exportBox(doc, includeBleed);
    if (box.isNull())
        return {};
    return {LWUnits::pixels(box.width(), dpi), LWUnits::pixels(box.height(), dpi)};
}

QList<int> validPages(const LWDocument &doc, const QList<int> &indexes)
{
    QList<int> valid;
    for (int index : indexes)
        if (index >= 0 && index < doc.pages.size())
            valid.append(index);
    return valid;
}

std::optional<QByteArray> pdfData(const LWDocument &doc, const QList<int> &pages, bool includeBleed,
                                  const PageDone &pageDone)
{
    return pdfExport(doc, pages, includeBleed, pageDone).bytes;
}

PdfOutcome pdfExport(const LWDocument &doc, const QList<int> &pages, bool includeBleed, const PageDone &pageDone)
{
    const LWRect box = exportBox(doc, includeBleed);
    if (!usable(box))
        return {std::nullopt, QStringLiteral("The page size can't be exported.")};
    const QList<int> valid = validPages(doc, pages);
    if (valid.isEmpty())
        return {std::nullopt, QStringLiteral("There are no pages to export.")};

    const LWRect trim = doc.trimRect();
    const QRectF media(0, 0, box.width(), box.height());
    // PDF space has its origin at the box's bottom-left corner, y up.
    QRectF trimBox(trim.minX() - box.minX(), box.maxY() - trim.maxY(), trim.width(), trim.height());
    trimBox = trimBox.intersected(media); // a negative bleed must not put the trim past the media
    const PdfPageBoxes boxes{media, media, media, trimBox.isEmpty() ? media : trimBox};

    PdfPageWriter writer(media.size(), {creatorText, doc.name});
    LWRenderOptions options;
    options.tally = std::make_shared<LWPictureTally>();
    int drawn = 0;
    const QString writerFailed = QStringLiteral("The PDF couldn't be made.");
    for (int index : valid) {
        QPainter *p = writer.beginPage();
        if (!p)
            return {std::nullopt, writerFailed};
        p->translate(-box.minX(), -box.minY());
        p->setClipRect(box.toQRectF());
        writer.preparePictures(doc.pages[index].elements);
        LWRenderer::draw(doc.pages[index], doc, *p, options);
        if (writer.outOfMemory())
            return {std::nullopt, notEnoughMemory};
        // Cancel heard in the pictures' work: the page lacks them.
        if (LWDecodeWorkers::Cancellable::heard() || (pageDone && !pageDone(++drawn)))
            return {};
    }
    std::optional<QByteArray> bytes = writer.finish(QList<PdfPageBoxes>(valid.size(), boxes));
    if (!bytes)
        return {std::nullopt, writer.outOfMemory() ? notEnoughMemory : writerFailed};
    return {std::move(bytes), {}, options.tally->undrawn()};
}

int maxRasterSide(RasterType type)
{
    return type == RasterType::jpeg ? std::min(LWJpegWriter::maxSide, LWRenderer::maxSide) : LWRenderer::maxSide;
}

bool rasterFits(const LWDocument &doc, int page, double dpi, bool includeBleed, RasterType type)
{
    const PixelSize size = pixelSize(doc, dpi, includeBleed);
    const int most = maxRasterSide(type);
    return page >= 0 && page < doc.pages.size() && size.width >= 1 && size.height >= 1 && size.width <= most &&
           size.height <= most;
}

namespace {

const QString notDrawn = QStringLiteral("the page couldn't be drawn");
const QString noMemory = QStringLiteral("there isn't enough memory to export this design");
const QString cancelledText = QStringLiteral("the export was cancelled");

// Bands of about this many bitmap bytes: enough rows that the per-band work stays small beside
// the pixels, few enough that the bands and layers in flight are a small part of a large page.
constexpr qsizetype bandBytes = qsizetype(3) << 19; // 1.5 MiB
// Text is drawn again for every band it reaches: wide pages get at least this many rows.
constexpr int minBandRows = 32;
// Bitmap bytes of the bands in flight (a half-transparent element adds a layer as large), so
// that memory does not grow with the number of cores.
constexpr qsizetype inFlightBytes = qsizetype(32) << 20;

std::atomic<int> mostBandRows{0};

// Pages below this many pixels are drawn whole and go to encode(), as every thumbnail does.
constexpr qint64 minBandedPixels = qint64(1) << 20;

// One encoder's state for a banded page: PNG or JPEG.
struct BandEncoder {
    std::optional<LWPngWriter::BandWriter> png;
    std::optional<LWJpegWriter::BandWriter> jpeg;
    struct Encoded {
        LWPngWriter::BandWriter::Deflated png;
        QByteArray jpeg;
    };
    Encoded encode(const QImage &rows, int firstRow, int y0, int y1) const
    {
        if (png)
            return {png->deflate(rows, firstRow, y0, y1), {}};
        return {{}, jpeg->encode(rows, firstRow, y0, y1)};
    }
    bool chunk(const Encoded &band, bool last, QByteArray *out)
    {
        return png ? png->chunk(band.png, out) : jpeg->chunk(band.jpeg, last, out);
    }
};

// The page drawn whole when its pictures together exceed the decode budget: the bitmap is held
// and the elements are drawn onto it one run after another, each run's pictures decoded before
// it and let go after it, so a picture is decoded once for every run that shows it (once, unless
// the same bytes come back in a later run). None when even the bitmap and one element's
// pictures do not fit.
std::optional<QImage> drawnWhole(const LWDocument &doc, int page, const LWRenderer::PrintPage &print,
                                 double pixelsPerPoint, const std::shared_ptr<LWPictureTally> &tally,
                                 const QSet<QByteArray> &leftOut, const LWExportPictures::Cancelled &cancelled)
{
    const qint64 pageBytes = qint64(print.width) * print.height * 4;
    const qint64 limit = LWDecodeBudget::holdLimit();
    if (pageBytes >= limit)
        return std::nullopt;
    QImage image(print.width, print.height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return std::nullopt;
    image.fill(Qt::white);
    const QList<LWElement> &elements = doc.pages[page].elements;
    const int bands = LWRenderer::bandCount(print.width, print.height);
    const int rows = (print.height + bands - 1) / bands;
    const auto paint = [&](int part, const LWRenderOptions &options) {
        LWParallel::forEach(bands, [&](int i) {
            const int top = i * rows, bottom = std::min(print.height, top + rows);
            if (top >= bottom)
                return;
            QImage band(image.bits() + qsizetype(top) * image.bytesPerLine(), image.width(), bottom - top,
                        image.bytesPerLine(), image.format());
            LWRenderer::paintOverRows(band, top, print.height, [&](QPainter &p) { print.paintPart(p, part, options); });
        });
    };
    paint(-1, {});
    for (int from = 0; from < elements.size();) {
        // The longest run from `from` whose pictures fit beside the bitmap (at least one element).
        QHash<QByteArray, qint64> run = LWExportPictures::needs(elements[from], pixelsPerPoint, leftOut);
        qint64 bytes = pageBytes;
        for (const qint64 b : run)
            bytes += b;
        int to = from + 1;
        for (; to < elements.size(); ++to) {
            qint64 more = 0;
            const QHash<QByteArray, qint64> next = LWExportPictures::needs(elements[to], pixelsPerPoint, leftOut);
            for (auto it = next.cbegin(); it != next.cend(); ++it)
                more += std::max<qint64>(0, *it - run.value(it.key(), 0));
            if (bytes + more > limit)
                break;
            for (auto it = next.cbegin(); it != next.cend(); ++it)
                run[it.key()] = std::max(run.value(it.key(), 0), *it);
            bytes += more;
        }
        // A run whose decodes do not fit beside it is tried with half its elements.
        LWExportPictures::Prepared prepared;
        for (;;) {
            QList<const LWElement *> members;
            for (int k = from; k < to; ++k)
                members.append(&elements[k]);
            prepared = LWExportPictures::prepare(members, pixelsPerPoint, pageBytes, leftOut, cancelled);
            if (prepared.pictures || !prepared.overBudget || to - from == 1)
                break;
            to = from + (to - from) / 2;
        }
        if (!prepared.pictures)
            return std::nullopt;
        LWRenderOptions options;
        options.pictures = std::move(prepared.pictures);
        options.tally = tally;
        for (int k = from; k < to; ++k)
            paint(k, options);
        from = to;
    }
    return image;
}

// Bands [first, last) whose pictures the decode budget holds together.
struct BandRun {
    int first = 0, last = 0;
};

// The page's bands split into runs, each as long as what its rows need of the pictures (with the
// room their decodes take) fits the budget; none when one band's alone does not.
std::vector<BandRun> bandRuns(const LWExportPictures::Plan &plan, int rows, int count, int h, double areaTop,
                              double sy)
{
    const qint64 limit = LWDecodeBudget::holdLimit();
    const auto fits = [&](int first, int last) {
        return plan.need(first * rows / sy + areaTop, std::min(h, last * rows) / sy + areaTop) <= limit;
    };
    std::vector<BandRun> runs;
    for (int first = 0; first < count;) {
        if (!fits(first, first + 1))
            return {};
        // Grown by doubling, then narrowed back: the need only grows with the rows.
        int good = first + 1, step = 1;
        for (; good < count; step *= 2) {
            const int next = std::min(count, good + step);
            if (!fits(first, next))
                break;
            good = next;
        }
        for (step /= 2; step >= 1; step /= 2)
            if (const int next = std::min(count, good + step); next > good && fits(first, next))
                good = next;
        runs.push_back({first, good});
        first = good;
    }
    return runs;
}

// The page as JPEG or PNG bytes handed to append in order; empty, or why it stopped.
QString streamRaster(const LWDocument &doc, int page, double dpi, bool includeBleed, RasterType type, double quality,
                     const LWFileAccess::Append &append, const RasterWriteHooks &hooks)
{
    if (!rasterFits(doc, page, dpi, includeBleed, type))
        return notDrawn;
    const auto outOfMemory = [&hooks] {
        if (hooks.reason)
            *hooks.reason = notEnoughMemory;
        return noMemory;
    };
    const PixelSize size = pixelSize(doc, dpi, includeBleed);
    const LWRect area = exportBox(doc, includeBleed);
    // Cancel is heard in every wait on picture work from here on: the header reads that plan the
    // pictures too.
    std::optional<LWDecodeWorkers::Cancellable> listening;
    if (hooks.cancelled)
        listening.emplace(hooks.cancelled);
    // Every picture decoded once, at what the page needs, before any band is drawn.
    LWRenderOptions options;
    options.tally = std::make_shared<LWPictureTally>();
    const QScopeGuard told([&hooks, tally = options.tally] {
        if (hooks.undrawn)
            *hooks.undrawn = tally->undrawn();
    });
    constexpr double everywhere = std::numeric_limits<double>::infinity();
    const double pixelsPerPoint = LWExport::pixelsPerPoint(doc, dpi, includeBleed);
    // A picture it cannot hold even a few rows at a time is drawn as the placeholder and named;
    // the rest of the page is exported.
    LWExportPictures::Plan plan(doc, page, pixelsPerPoint);
    options.tally->leftOut(plan.leftOut());
    const LWExportPictures::Cancelled cancelled = hooks.cancelled;
    LWExportPictures::Prepared prepared = plan.prepare(-everywhere, everywhere, {}, cancelled);
    if (prepared.cancelled || (hooks.cancelled && hooks.cancelled()))
        return cancelledText;
    if (!prepared.pictures && !prepared.overBudget)
        return outOfMemory();
    options.pictures = std::move(prepared.pictures);
    const std::optional<LWRenderer::PrintPage> print =
        LWRenderer::printPage(doc, page, LWRenderer::DPI{dpi}, includeBleed, options);
    if (!print || print->width != size.width || print->height != size.height)
        return notDrawn;
    // Pictures too many to hold at once: a small page is drawn whole first, then encoded from it
    // (failing that, it goes in bands as a large one does).
    std::optional<QImage> whole;
    const bool small = qint64(print->width) * print->height < minBandedPixels;
    if (!options.pictures && small)
        whole = drawnWhole(doc, page, *print, pixelsPerPoint, options.tally, plan.leftOut(), cancelled);
    if (!whole && hooks.cancelled && hooks.cancelled())
        return cancelledText;
    const auto put = [&](const QByteArray &bytes) {
        const int e = append(bytes.constData(), bytes.size());
        return e ? LWFileAccess::systemReason(e) : QString();
    };
    const int w = print->width, h = print->height;
    if (small && (options.pictures || whole)) {
        std::optional<QImage> image = std::move(whole);
        if (!image) {
            image = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
            if (image->isNull())
                return outOfMemory();
            LWRenderer::paintBands(*image, LWRenderer::bandCount(w, h), true, print->paint);
        }
        // White underneath, hence opaque: read as RGB it makes a PNG without an alpha channel.
        image->reinterpretAsFormat(QImage::Format_RGB32);
        const std::optional<QByteArray> bytes = encode(std::move(*image), type, dpi, quality);
        if (!bytes)
            return QStringLiteral("the picture couldn't be encoded");
        if (hooks.cancelled && hooks.cancelled())
            return cancelledText;
        const QString why = put(*bytes);
        if (why.isEmpty() && hooks.progressed)
            hooks.progressed(1, 1);
        return why;
    }

    BandEncoder encoder;
    const int perMetre = int(std::lround(dpi / 0.0254));
    if (type == RasterType::png)
        encoder.png.emplace(w, h, QImage::Format_RGB32, perMetre);
    else
        encoder.jpeg.emplace(w, h, QImage::Format_RGB32, jpegQuality(quality), perMetre);
    const int align = LWJpegWriter::BandWriter::rowAlign;
    static_assert(LWExportPictures::fewestRows % LWJpegWriter::BandWriter::rowAlign == 0);
    int rows = 0, count = 0, window = 0;
    const auto bandsOf = [&](int bandRows) {
        rows = bandRows;
        count = (h + rows - 1) / rows;
        // Up to twice the cores, so that a slow band holds back few finished ones, within the budget.
        window = int(std::clamp<qsizetype>(inFlightBytes / (qsizetype(w) * 4 * rows), 2, 2 * LWParallel::workers()));
    };
    int bandRows = int(std::clamp<qsizetype>(bandBytes / (qsizetype(w) * 4), minBandRows, 1024)) / align * align;
    if (const int most = mostBandRows.load(); most >= align)
        bandRows = std::min(bandRows, most / align * align);
    bandsOf(bandRows);
    // Pictures too many to hold at once: the bands go a few rows of pictures at a time, each
    // picture decoded before the first band that shows it and kept until the last; failing that
    // (one band's pictures alone are too many), the page is drawn whole first.
    const double sy = double(h) / area.height();
    // Failing both, each picture is decoded for the rows of each run that show it, anew for each.
    std::vector<BandRun> runs{{0, count}};
    if (!options.pictures) {
        runs = bandRuns(plan, rows, count, h, area.minY(), sy);
        if (runs.empty() && !small)
            whole = drawnWhole(doc, page, *print, pixelsPerPoint, options.tally, plan.leftOut(), cancelled);
        if (!whole && hooks.cancelled && hooks.cancelled())
            return cancelledText;
        if (runs.empty() && !whole) {
            // Thinner bands where one band's rows of a picture are still too many (a small page
            // is one band), down to the fewest rows the plan counted on.
            plan.setByRows(true);
            while ((runs = bandRuns(plan, rows, count, h, area.minY(), sy)).empty() &&
                   rows > LWExportPictures::fewestRows)
                bandsOf(std::max(LWExportPictures::fewestRows, rows / 2 / align * align));
            if (runs.empty())
                return outOfMemory();
        }
        if (whole)
            runs = {{0, count}};
    }
    const auto rowsOf = [&](const BandRun &run) {
        return std::pair{run.first * rows / sy + area.minY(), std::min(h, run.last * rows) / sy + area.minY()};
    };
    std::vector<BandEncoder::Encoded> pending(static_cast<size_t>(window));
    std::vector<char> made(static_cast<size_t>(window), 0);
    QString why;
    if (encoder.png && !(why = put(encoder.png->head())).isEmpty())
        return why;
    const LWRenderer::PrintPage *drawing = &*print;
    std::optional<LWRenderer::PrintPage> runPrint;
    QHash<QByteArray, LWExportPictures::Picture> carried;
    bool complete = true;
    for (const BandRun &run : runs) {
        if (hooks.cancelled && hooks.cancelled())
            return cancelledText;
        if (!options.pictures && !whole) {
            const auto [top, bottom] = rowsOf(run);
            runPrint.reset();
            LWExportPictures::Prepared prepared = plan.prepare(top, bottom, carried, cancelled);
            carried.clear();
            if (prepared.cancelled)
                return cancelledText;
            if (!prepared.pictures)
                return outOfMemory();
            options.pictures = std::move(prepared.pictures);
            runPrint = LWRenderer::printPage(doc, page, LWRenderer::DPI{dpi}, includeBleed, options);
            if (!runPrint)
                return notDrawn;
            drawing = &*runPrint;
        }
        complete = LWParallel::ordered(
            run.last - run.first, window,
            [&, first = run.first](int j) {
                const int i = first + j;
                // Each band is drawn once: rows drawn again for the one above could differ from it
                // where a band's clip rounds (a turned picture's edge), and the PNG filter and
                // compressor would then refer to bytes the decoder does not have.
                const int y0 = i * rows, y1 = std::min(h, y0 + rows);
                if (whole) {
                    made[size_t(i % window)] = 1;
                    const QImage band(whole->constBits() + qsizetype(y0) * whole->bytesPerLine(), w, y1 - y0,
                                      whole->bytesPerLine(), QImage::Format_RGB32);
                    pending[size_t(i % window)] = encoder.encode(band, y0, y0, y1);
                    return;
                }
                QImage band(w, y1 - y0, QImage::Format_ARGB32_Premultiplied);
                made[size_t(i % window)] = !band.isNull();
                if (band.isNull())
                    return; // an empty slot fails the band when it is taken
                LWRenderer::paintRows(band, y0, h, true, drawing->paint);
                band.reinterpretAsFormat(QImage::Format_RGB32);
                pending[size_t(i % window)] = encoder.encode(band, y0, y0, y1);
            },
            [&, first = run.first](int j) {
                const int i = first + j;
                BandEncoder::Encoded band = std::move(pending[size_t(i % window)]);
                pending[size_t(i % window)] = {};
                if (hooks.cancelled && hooks.cancelled()) {
                    why = cancelledText;
                    return false;
                }
                QByteArray bytes;
                if (!made[size_t(i % window)]) {
                    why = outOfMemory();
                    return false;
                }
                if (!encoder.chunk(band, i + 1 == count, &bytes)) {
                    why = QStringLiteral("a band of the page couldn't be drawn or encoded");
                    return false;
                }
                why = put(bytes);
                if (why.isEmpty() && hooks.progressed)
                    hooks.progressed(i + 1, count);
                return why.isEmpty();
            });
        if (!complete)
            return why;
        if (runs.size() > 1 && !whole) {
            // What the next rows show again is kept; the rest and the budget's hold are let go.
            const std::size_t next = std::size_t(&run - runs.data()) + 1;
            if (next < runs.size()) {
                const auto [top, bottom] = rowsOf(runs[next]);
                carried = plan.carried(options.pictures->held(), top, bottom);
            }
            options.pictures.reset();
            runPrint.reset();
        }
    }
    return encoder.png ? put(encoder.png->tail()) : QString();
}

} // namespace

int setMostBandRows(int rows) { return mostBandRows.exchange(std::max(0, rows)); }

std::optional<QByteArray> rasterData(const LWDocument &doc, int page, double dpi, bool includeBleed,
                                     RasterType type, double quality)
{
    QByteArray bytes;
    const QString why = streamRaster(
        doc, page, dpi, includeBleed, type, quality,
        [&](const char *data, qsizetype size) {
            bytes.append(data, size);
            return 0;
        },
        RasterWriteHooks{});
    if (!why.isEmpty())
        return std::nullopt;
    return bytes;
}

QString writeRaster(const LWDocument &doc, int page, double dpi, bool includeBleed, RasterType type, double quality,
                    const QString &path, const RasterWriteHooks &hooks)
{
    LWFileAccess::Replacement replacement;
    if (QString why = prepareRaster(doc, page, dpi, includeBleed, type, quality, path, replacement, hooks);
        !why.isEmpty())
        return why;
    return replacement.commit();
}

QString prepareRaster(const LWDocument &doc, int page, double dpi, bool includeBleed, RasterType type, double quality,
                      const QString &path, LWFileAccess::Replacement &out, const RasterWriteHooks &hooks)
{
    // Checked first so that a page that cannot be drawn leaves even the earlier file's folder alone.
    if (!rasterFits(doc, page, dpi, includeBleed, type))
        return notDrawn;
    return out.prepare(
        path,
        LWFileAccess::Contents([&](const LWFileAccess::Append &append) {
            return streamRaster(doc, page, dpi, includeBleed, type, quality, append, hooks);
        }),
        hooks.probe);
}

std::optional<QByteArray> encode(QImage image, RasterType type, double dpi, double quality)
{
    if (image.isNull() || !std::isfinite(dpi) || dpi <= 0 || dpi > 65535)
        return std::nullopt;
    // PNG keeps dots per metre (pHYs), JPEG dots per inch (JFIF): 300 dpi is 11811 px/m and
    // reads back as 300.
    const int perMetre = int(std::lround(dpi / 0.0254));
    const int jpegQuality = LWExport::jpegQuality(quality);
    // Large page bitmaps go to the parallel writers; they decode to what Qt's writers make.
    if (type == RasterType::png && LWPngWriter::handles(image))
        return LWPngWriter::encode(image, perMetre);
    // Below a megapixel Qt's JPEG is as quick and has no restart markers.
    if (type == RasterType::jpeg && qint64(image.width()) * image.height() >= qint64(1) << 20 &&
        LWJpegWriter::handles(image))
        return LWJpegWriter::encode(image, jpegQuality, perMetre);
    image.setDotsPerMeterX(perMetre);
    image.setDotsPerMeterY(perMetre);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return std::nullopt;
    QImageWriter writer(&buffer,
                        type == RasterType::jpeg ? QByteArrayLiteral("jpeg") : QByteArrayLiteral("png"));
    if (type == RasterType::jpeg)
        writer.setQuality(jpegQuality);
    if (!writer.write(image))
        return std::nullopt;
    return bytes;
}

} // namespace LWExport
