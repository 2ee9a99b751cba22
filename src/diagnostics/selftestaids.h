#pragma once
#include "editor/editor.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QRectF>
#include <memory>
#include <optional>

// The self-test's measuring aids. They never print and never count; unreadable input gives a
// neutral result (empty list, none, black, false, 0).
namespace LWSelfTest {

struct Sample { // channels 0...1 (byte / 255)
    double r = 0, g = 0, b = 0;
};
struct PageBoxes { // PDF points, from the lower-left corner
    QRectF media, trim;
};
struct ImageInfo {
    int w = 0, h = 0;
    double dpi = 0; // horizontal; 0 when the file states none
};

// Page boxes in page order, with the PDF defaults: no trim box means the crop box, no crop box
// the media box; a page without a media box gives an empty one. Empty for bytes that are no PDF.
[[nodiscard]] QList<PageBoxes> pdfPages(const QByteArray &pdf);
// Pixel size and stated DPI read from a PNG (IHDR, pHYs in pixels per metre) or JPEG (SOFn,
// JFIF density) header; none for other or broken bytes.
[[nodiscard]] std::optional<ImageInfo> imageInfo(QByteArrayView bytes);

// |a - b| <= tolerance.
[[nodiscard]] bool close(double a, double b, double tolerance = 0.01);

// One RGBA8888 copy of a bitmap, made once and read by the pixel aids. Rows from the top.
class Pixels {
public:
    explicit Pixels(const QImage &image);
    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    const QImage &image() const { return m_image; }

private:
    QImage m_image;
};

// The colour at (x, y), alpha ignored; black outside the image.
[[nodiscard]] Sample pixel(const Pixels &image, int x, int y);
[[nodiscard]] bool isDark(Sample s);  // r + g + b < 1.2
[[nodiscard]] bool isWhite(Sample s); // every channel > 0.96
// Some pixel of the 3 x 3 block around (x, y), clamped into the image, has r + g + b < 1.5.
[[nodiscard]] bool darkNear(const Pixels &image, int x, int y);
// Distinct colours, each channel cut to 4 bits, sampled every `step` pixels from (0, 0) on both
// axes. A step below 1 counts as 1.
[[nodiscard]] int distinctColors(const Pixels &image, int step = 7);

// 64-bit FNV-1a of the bytes, as a signed number. Only for comparing with other fingerprints.
[[nodiscard]] qint64 fingerprint(QByteArrayView bytes);
// ... of the image's pixel bytes as stored (format and row padding included).
[[nodiscard]] qint64 fingerprint(const QImage &image);

// An editor for the design, without a file, that never touches the system clipboard.
[[nodiscard]] std::unique_ptr<LWEditor> editor(LWDocument doc);
// A w x h PNG stating 300 DPI: red (0.9, 0.2, 0.2) left half, blue (0.1, 0.3, 0.9) right half.
// Sizes must be positive.
[[nodiscard]] QByteArray samplePNG(int w, int h);

} // namespace LWSelfTest
