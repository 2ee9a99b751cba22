#pragma once
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringView>
#include "model/file/fileaccess.h"
#include "render/picturetally.h"

#include <cstdint>
#include <functional>
#include <optional>

struct LWDocument;

// Page export: print PDF with exact page boxes, JPEG and PNG with their resolution. Every call
// but writeRaster returns bytes or none and writes no file; nothing is kept between calls, any
// thread may call.
namespace LWExport {

// Why an export that ran out of memory stopped, for the alert.
inline const QString notEnoughMemory = QStringLiteral("There isn't enough memory to export this design.");

// The Creator of every PDF the system writes.
inline const QString creatorText = QStringLiteral("VELK Leafwrighter \u2014 Velkmoor");

enum class RasterType { jpeg, png };

// Exactly "jpeg" or "png", case-sensitive; "JPEG" and "jpg" are none.
[[nodiscard]] std::optional<RasterType> rasterType(QStringView raw);
QString rawValue(RasterType type); // "jpeg", "png"
QString ext(RasterType type);      // file extension without the dot: "jpg", "png"
QString uti(RasterType type);      // the format's type identifier (MIME type here)

struct PixelSize {
    std::int64_t width = 0, height = 0;
    friend bool operator==(const PixelSize &, const PixelSize &) = default;
};

// The indexes that name a page of the document, in the argument's order.
QList<int> validPages(const LWDocument &doc, const QList<int> &indexes);

// Told after each page of a PDF is drawn, with the number drawn so far; false stops the export,
// which then gives none. Called on the exporting thread.
using PageDone = std::function<bool(int drawn)>;

// One PDF page per valid index, in the argument's order (repeats repeat), each of the trim or,
// with includeBleed, the bleed rectangle, clipped to it; Media = Crop = Bleed box, TrimBox the
// trim. Creator creatorText, Title the document's name. Invalid indexes are skipped; with none
// left the result is none (a PDF without pages is refused by many readers), and when pageDone stops it.
[[nodiscard]] std::optional<QByteArray> pdfData(const LWDocument &doc, const QList<int> &pages,
                                                bool includeBleed, const PageDone &pageDone = {});
// pdfData, with why there are no bytes: a full sentence for the alert (memory, no page to
// export, the PDF writer failing); empty when pageDone stopped it. Each picture is decoded
// once, compressed for the file and let go at once, so memory holds no more than one decoded
// picture however many the pages show; pictures with the same bytes are one image object.
// With bytes, the pictures it could not draw whole (placeholder art, or only in part).
struct PdfOutcome {
    std::optional<QByteArray> bytes;
    QString reason;
    QList<LWPictureTally::Undrawn> undrawn;
};
[[nodiscard]] PdfOutcome pdfExport(const LWDocument &doc, const QList<int> &pages, bool includeBleed,
                                   const PageDone &pageDone = {});

// One page as JPEG or PNG of exactly pixelSize pixels, opaque white underneath, drawn and
// encoded a band at a time like writeRaster, in memory. None when !rasterFits or encoding fails.
[[nodiscard]] std::optional<QByteArray> rasterData(const LWDocument &doc, int page, double dpi,
                                                   bool includeBleed, RasterType type, double quality = 0.92);

// The longest side, in pixels, of a raster export of the type: the format's own limit (JPEG
// 65,500) or the longest side the renderer draws (32,767), whichever is less.
int maxRasterSide(RasterType type);

// Whether the page exists and its raster export at dpi is at least one pixel and no side longer
// than maxRasterSide.
bool rasterFits(const LWDocument &doc, int page, double dpi, bool includeBleed, RasterType type);

struct RasterWriteHooks {
    std::function<bool()> cancelled;   // asked before each picture is decoded, between bands and
                                       // in every wait on picture work (its header reads too);
                                       // true stops the export
    // After each band is in the file: bands written and bands of the page (1 of 1 for a page too
    // small to draw in bands).
    std::function<void(int done, int count)> progressed;
    LWFileAccess::ReplaceProbe probe;  // for tests
    // Given, on failure, a full sentence for the alert when the cause is one the clause alone
    // does not name well (notEnoughMemory).
    QString *reason = nullptr;
    // Given the pictures the page could not draw whole (placeholder art, or only in part).
    QList<LWPictureTally::Undrawn> *undrawn = nullptr;
};

// For tests: the most rows a band of a banded raster export holds (a multiple of 16; 0 for as
// many as the page's width allows). Returns the setting before.
int setMostBandRows(int rows);

// rasterData's file, written to `path` as it is made: bands of rows are drawn and encoded on all
// cores, a few at a time, and appended in order, so neither the page bitmap nor the file is
// ever held whole. The page's pictures are decoded first, each once at the size the page needs
// (LWExportPictures), and held until the page is written; when the decode budget cannot hold
// them, or a band cannot be made, the export stops for want of memory. The file replaces `path` in one step (LWFileAccess::replaceFile) with its DPI;
// on failure or cancelling nothing is written and the earlier file stays. Empty on success,
// else why not, a clause to follow "couldn't be saved: ".
[[nodiscard]] QString writeRaster(const LWDocument &doc, int page, double dpi, bool includeBleed, RasterType type,
                                  double quality, const QString &path, const RasterWriteHooks &hooks = {});
// writeRaster up to the last step: the whole file waits in its temporary in `out` until
// committed (with the other pages of an export by LWFileAccess::Replacement::commitAll).
[[nodiscard]] QString prepareRaster(const LWDocument &doc, int page, double dpi, bool includeBleed, RasterType type,
                                    double quality, const QString &path, LWFileAccess::Replacement &out,
                                    const RasterWriteHooks &hooks = {});

// The image as JPEG (quality 0...1, clamped) or PNG (quality ignored) with dpi written into the
// file (JFIF density, pHYs). Pixels go in unchanged: an alpha channel stays in a PNG. Pass an
// rvalue to spare a copy. None when dpi is not in (0, 65535], the image is null or writing fails.
[[nodiscard]] std::optional<QByteArray> encode(QImage image, RasterType type, double dpi,
                                               double quality = 0.92);

// The raster export's size: the box's points / 72 x dpi, each rounded half away from zero.
PixelSize pixelSize(const LWDocument &doc, double dpi, bool includeBleed);
// Device pixels a point of that export (the larger of the two axes' scales); 0 for a page that
// cannot be exported.
[[nodiscard]] double pixelsPerPoint(const LWDocument &doc, double dpi, bool includeBleed);

} // namespace LWExport
