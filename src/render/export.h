#pragma once
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

struct LWDocument;

// Page export: print PDF with exact page boxes, JPEG and PNG with their resolution. Every call
// returns bytes or none and writes no file; nothing is kept between calls, any thread may call.
namespace LWExport {

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

// One PDF page per valid index, in the argument's order (repeats repeat), each of the trim or,
// with includeBleed, the bleed rectangle, clipped to it; Media = Crop = Bleed box, TrimBox the
// trim. Creator creatorText, Title the document's name. Invalid indexes are skipped; with none
// left the result is none (a PDF without pages is refused by many readers).
[[nodiscard]] std::optional<QByteArray> pdfData(const LWDocument &doc, const QList<int> &pages,
                                                bool includeBleed);

// One page as JPEG or PNG of exactly pixelSize pixels, opaque white underneath. None for an index
// out of range, a size below one pixel or above the renderer's bitmap cap, or a failed encode.
[[nodiscard]] std::optional<QByteArray> rasterData(const LWDocument &doc, int page, double dpi,
                                                   bool includeBleed, RasterType type, double quality = 0.92);

// The image as JPEG (quality 0...1, clamped) or PNG (quality ignored) with dpi written into the
// file (JFIF density, pHYs). Pixels go in unchanged: an alpha channel stays in a PNG. Pass an
// rvalue to spare a copy. None when dpi is not in (0, 65535], the image is null or writing fails.
[[nodiscard]] std::optional<QByteArray> encode(QImage image, RasterType type, double dpi,
                                               double quality = 0.92);

// The raster export's size: the box's points / 72 x dpi, each rounded half away from zero.
PixelSize pixelSize(const LWDocument &doc, double dpi, bool includeBleed);

} // namespace LWExport
