#pragma once
// The design of a new user's report: a Letter flyer holding two phone-sized photos (4000 x 3000
// JPEGs of about 10 MB each, as a camera writes them), each filling half the page.
#include "model/document.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <random>

namespace LWBenchPhotos {

// A camera-like photo: JPEG, or (png) the same pixels as a PNG, which goes into a PDF as pixels.
inline QByteArray photo(unsigned seed, bool png = false, QSize size = QSize(4000, 3000))
{
    QImage img(size, QImage::Format_RGB32);
    std::mt19937 rng(seed);
    for (int y = 0; y < img.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const unsigned n = rng();
            const int g = int(n & 127) - 64; // sensor grain: what makes camera files large
            row[x] = qRgb(std::clamp(x / 16 + g, 0, 255), std::clamp(y / 12 + int((n >> 7) & 127) - 64, 0, 255),
                          std::clamp(128 + int((n >> 14) & 127) - 64, 0, 255));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, png ? "png" : "jpeg");
    writer.setQuality(png ? 90 : 94); // for PNG: a fast zlib level
    writer.write(img);
    return bytes;
}

inline LWDocument twoPhotoFlyer(bool png = false)
{
    static QByteArray made[2][2]; // [png][which], made on first use
    for (unsigned i = 0; i < 2; ++i)
        if (made[png][i].isEmpty())
            made[png][i] = photo(i + 1, png);
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Two photos"));
    LWElement top = LWElement::makePhoto(LWRect(36, 36, 540, 360));
    top.image->data = made[png][0];
    LWElement bottom = LWElement::makePhoto(LWRect(36, 410, 540, 360));
    bottom.image->data = made[png][1];
    doc.pages[0].elements = {top, bottom};
    return doc;
}

} // namespace LWBenchPhotos
