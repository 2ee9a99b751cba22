#include "diagnostics/selftestaids.h"

#include "render/export.h"
#include "render/pdf/pdffile.h"
#include "render/renderer.h"

#include <QColor>
#include <QPainter>
#include <QSet>
#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace LWSelfTest {

namespace {

// Big-endian reads; callers check the bounds.
quint32 be32(QByteArrayView b, qint64 at)
{
    return quint32(uchar(b[at])) << 24 | quint32(uchar(b[at + 1])) << 16 | quint32(uchar(b[at + 2])) << 8 |
           quint32(uchar(b[at + 3]));
}
quint32 be16(QByteArrayView b, qint64 at) { return quint32(uchar(b[at])) << 8 | quint32(uchar(b[at + 1])); }

bool startsWith(QByteArrayView b, qint64 at, QByteArrayView what)
{
    return at >= 0 && at + what.size() <= b.size() && std::memcmp(b.data() + at, what.data(), size_t(what.size())) == 0;
}

// IHDR must come first; pHYs, when there is one, comes before the first IDAT.
std::optional<ImageInfo> pngInfo(QByteArrayView b)
{
    if (!startsWith(b, 0, "\x89PNG\r\n\x1a\n") || b.size() < 8 + 8 + 13 || be32(b, 8) != 13 ||
        !startsWith(b, 12, "IHDR"))
        return std::nullopt;
    const quint32 w = be32(b, 16), h = be32(b, 20);
    if (w == 0 || h == 0 || w > INT_MAX || h > INT_MAX)
        return std::nullopt;
    ImageInfo info{int(w), int(h), 0};
    for (qint64 at = 8 + 12 + 13; at + 8 <= b.size();) {
        const qint64 length = be32(b, at);
        if (startsWith(b, at + 4, "IDAT") || startsWith(b, at + 4, "IEND") || at + 12 + length > b.size())
            break;
        if (startsWith(b, at + 4, "pHYs") && length == 9) {
            if (uchar(b[at + 16]) == 1) // pixels per metre; 0 states only the aspect ratio
                info.dpi = be32(b, at + 8) * 0.0254;
            break;
        }
        at += 12 + length;
    }
    return info;
}

bool isFrameHeader(uchar marker) // SOF0 ... SOF15 but DHT, JPG and DAC
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the marker segments up to the frame header; a JFIF APP0 before it gives the density.
std::optional<ImageInfo> jpegInfo(QByteArrayView b)
{
    if (!startsWith(b, 0, "\xFF\xD8"))
        return std::nullopt;
    double dpi = 0;
    qint64 at = 2;
    while (at < b.size()) {
        if (uchar(b[at]) != 0xFF)
            return std::nullopt;
        while (at < b.size() && uchar(b[at]) == 0xFF) // fill bytes
            ++at;
        if (at >= b.size())
            return std::nullopt;
        const uchar marker = uchar(b[at++]);
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) // no length
            continue;
        if (marker == 0xD9 || marker == 0xDA || at + 2 > b.size()) // image data before any frame
            return std::nullopt;
        const qint64 length = be16(b, at);
        if (length < 2 || at + length > b.size())
            return std::nullopt;
        const qint64 body = at + 2, size = length - 2;
        if (marker == 0xE0 && size >= 14 && startsWith(b, body, QByteArrayView("JFIF\0", 5))) {
            const uchar units = uchar(b[body + 7]);
            const double density = be16(b, body + 8);
            dpi = units == 1 ? density : units == 2 ? density * 2.54 : 0;
        } else if (isFrameHeader(marker)) {
            if (size < 5)
                return std::nullopt;
            const int h = int(be16(b, body + 1)), w = int(be16(b, body + 3));
            if (w == 0 || h == 0)
                return std::nullopt;
            return ImageInfo{w, h, dpi};
        }
        at += length;
    }
    return std::nullopt;
}

} // namespace

QList<PageBoxes> pdfPages(const QByteArray &pdf)
{
    QList<PageBoxes> pages;
    for (const LWPdfFile::StoredBoxes &stored : LWPdfFile::pageBoxes(pdf)) {
        const QRectF media = stored.media.value_or(QRectF());
        pages.append({media, stored.trim.value_or(stored.crop.value_or(media))});
    }
    return pages;
}

std::optional<ImageInfo> imageInfo(QByteArrayView bytes)
{
    if (auto png = pngInfo(bytes))
        return png;
    return jpegInfo(bytes);
}

bool close(double a, double b, double tolerance) { return std::abs(a - b) <= tolerance; }

Pixels::Pixels(const QImage &image) : m_image(image.convertToFormat(QImage::Format_RGBA8888)) {}

Sample pixel(const Pixels &image, int x, int y)
{
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return {};
    const uchar *p = image.image().constScanLine(y) + qsizetype(x) * 4;
    return {p[0] / 255.0, p[1] / 255.0, p[2] / 255.0};
}

bool isDark(Sample s) { return s.r + s.g + s.b < 1.2; }

bool isWhite(Sample s) { return s.r > 0.96 && s.g > 0.96 && s.b > 0.96; }

bool darkNear(const Pixels &image, int x, int y)
{
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            // Near an edge the edge pixels are read again; an empty image reads black.
            const int column = std::min(std::max(x + dx, 0), image.width() - 1);
            const int row = std::min(std::max(y + dy, 0), image.height() - 1);
            const Sample s = pixel(image, column, row);
            if (s.r + s.g + s.b < 1.5)
                return true;
        }
    }
    return false;
}

int distinctColors(const Pixels &image, int step)
{
    step = std::max(step, 1);
    QSet<int> keys;
    for (int y = 0; y < image.height(); y += step) {
        for (int x = 0; x < image.width(); x += step) {
            const Sample s = pixel(image, x, y);
            keys.insert(int(s.r * 15) * 256 + int(s.g * 15) * 16 + int(s.b * 15));
        }
    }
    return int(keys.size());
}

qint64 fingerprint(QByteArrayView bytes)
{
    std::uint64_t h = 14695981039346656037ull;
    for (char c : bytes) {
        h ^= uchar(c);
        h *= 1099511628211ull;
    }
    return std::bit_cast<qint64>(h);
}

qint64 fingerprint(const QImage &image)
{
    return fingerprint(QByteArrayView(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes()));
}

std::unique_ptr<LWEditor> editor(LWDocument doc)
{
    auto ed = std::make_unique<LWEditor>(std::move(doc));
    ed->setUsePasteboard(false);
    return ed;
}

QByteArray samplePNG(int w, int h)
{
    std::optional<QImage> image = LWRenderer::bitmap(w, h, true, [w, h](QPainter &p) {
        p.fillRect(QRect(0, 0, w / 2, h), QColor::fromRgbF(0.9f, 0.2f, 0.2f));
        p.fillRect(QRect(w / 2, 0, w - w / 2, h), QColor::fromRgbF(0.1f, 0.3f, 0.9f));
    });
    if (!image)
        return {};
    return LWExport::encode(std::move(*image), LWExport::RasterType::png, 300).value_or(QByteArray());
}

} // namespace LWSelfTest
