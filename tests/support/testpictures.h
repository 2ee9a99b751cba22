#pragma once
// Picture files made in the test: Qt's writers, an EXIF orientation tag, and HEIC through the
// libheif encoder (tests that use `heic` link libheif).
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>
#include <QImageWriter>
#include <QPainter>
#include <QtEndian>
#include <gtest/gtest.h>

#include <libheif/heif.h>

namespace LWTestPictures {

inline QByteArray encode(const QImage &img, const char *format, int quality = -1,
                         QImageIOHandler::Transformations turn = QImageIOHandler::TransformationNone,
                         bool progressive = false)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QImageWriter w(&buf, format);
    if (quality >= 0)
        w.setQuality(quality);
    if (turn != QImageIOHandler::TransformationNone)
        w.setTransformation(turn);
    w.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(w.write(img)) << format << ": " << qPrintable(w.errorString());
    return bytes;
}

// Left half red, right half blue, so a quarter turn shows which way it went.
// Pixels no encoder makes much smaller (the same for a given `seed`).
inline QImage noise(int w, int h, quint32 seed = 1)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<quint32 *>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = 0xff000000u | ((seed = seed * 1664525u + 1013904223u) >> 8);
    }
    return img;
}

inline QImage twoTone(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::red);
    QPainter p(&img);
    p.fillRect(w / 2, 0, w - w / 2, h, Qt::blue);
    return img;
}

inline QImage plain(int w, int h, QColor colour)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

// A photo of its own colour whose left quarter is black and white stripes `stripe` pixels wide,
// which a view drawing it from a small decode shows grey.
inline QImage stripedPhoto(int w, int h, QColor colour, int stripe = 4)
{
    QImage img = plain(w, h, colour);
    QPainter p(&img);
    for (int x = 0; x < w / 4; x += 2 * stripe)
        p.fillRect(x, 0, stripe, h, Qt::black), p.fillRect(x + stripe, 0, stripe, h, Qt::white);
    return img;
}

// A JPEG with an EXIF APP1 segment holding only the orientation tag (1 to 8), placed after the
// JFIF header. Qt's writer turns the pixels instead of writing the tag.
inline QByteArray oriented(const QByteArray &jpeg, int orientation)
{
    QByteArray exif("\xff\xe1\x00\x22" "Exif\0\0" // APP1, length 34
                    "MM\0\x2a\0\0\0\x08"          // big-endian TIFF, first IFD at 8
                    "\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0" // one entry: Orientation SHORT
                    "\0\0\0\0",                   // no next IFD
                    36);
    exif[29] = char(orientation);
    EXPECT_EQ(jpeg.mid(2, 2), QByteArray("\xff\xe0")); // JFIF APP0
    return QByteArray(jpeg).insert(4 + qFromBigEndian<quint16>(jpeg.constData() + 4), exif);
}

// A quarter turn clockwise (orientation 6), as a phone stores a portrait.
inline QByteArray turnedQuarter(const QByteArray &jpeg) { return oriented(jpeg, 6); }

// A HEIC (or AVIF, by `codec`) of the image, 8 or 10 bits per channel, with the container's orientation set (libheif
// writes it as rotation/mirror boxes and stores the pixels turned the other way); `subsampling` is the encoder's
// subsampling ("420", "422", "444"; none: its default).
inline QByteArray heic(const QImage &source, heif_orientation orientation = heif_orientation_normal, int bits = 8,
                       heif_compression_format codec = heif_compression_HEVC, const char *subsampling = nullptr)
{
    const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    const int w = rgb.width(), h = rgb.height();
    heif_context *ctx = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    heif_image *img = nullptr;
    QByteArray out;
    auto check = [](heif_error e) {
        EXPECT_EQ(e.code, heif_error_Ok) << e.message;
        return e.code == heif_error_Ok;
    };
    const heif_chroma chroma = bits > 8 ? heif_chroma_interleaved_RRGGBB_LE : heif_chroma_interleaved_RGB;
    if (check(heif_context_get_encoder_for_format(ctx, codec, &encoder)) &&
        check(heif_image_create(w, h, heif_colorspace_RGB, chroma, &img)) &&
        check(heif_image_add_plane(img, heif_channel_interleaved, w, h, bits))) {
        heif_encoder_set_lossy_quality(encoder, 90);
        if (subsampling)
            check(heif_encoder_set_parameter_string(encoder, "chroma", subsampling));
        int stride = 0;
        uint8_t *plane = heif_image_get_plane(img, heif_channel_interleaved, &stride);
        for (int y = 0; y < h; ++y) {
            const uchar *src = rgb.constScanLine(y);
            uint8_t *dst = plane + qsizetype(y) * stride;
            for (int i = 0; i < w * 3; ++i) {
                if (bits > 8)
                    qToLittleEndian<quint16>(quint16(src[i] << (bits - 8)), dst + 2 * i);
                else
                    dst[i] = src[i];
            }
        }
        heif_encoding_options *options = heif_encoding_options_alloc();
        options->image_orientation = orientation;
        heif_writer writer{1, [](heif_context *, const void *data, size_t size, void *to) {
                               static_cast<QByteArray *>(to)->append(static_cast<const char *>(data), qsizetype(size));
                               return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                           }};
        if (check(heif_context_encode_image(ctx, img, encoder, options, nullptr)))
            check(heif_context_write(ctx, &writer, &out));
        heif_encoding_options_free(options);
    }
    if (img)
        heif_image_release(img);
    if (encoder)
        heif_encoder_release(encoder);
    heif_context_free(ctx);
    return out;
}

// The chroma a HEIF's primary image is stored in (heif_chroma_420, heif_chroma_444 ...).
inline heif_chroma storedChroma(const QByteArray &bytes)
{
    heif_context *ctx = heif_context_alloc();
    heif_image_handle *handle = nullptr;
    heif_image *img = nullptr;
    heif_chroma chroma = heif_chroma_undefined;
    // Decoded as stored: no conversion asked for.
    if (heif_context_read_from_memory(ctx, bytes.constData(), size_t(bytes.size()), nullptr).code == heif_error_Ok &&
        heif_context_get_primary_image_handle(ctx, &handle).code == heif_error_Ok &&
        heif_decode_image(handle, &img, heif_colorspace_undefined, heif_chroma_undefined, nullptr).code == heif_error_Ok)
        chroma = heif_image_get_chroma_format(img);
    if (img)
        heif_image_release(img);
    if (handle)
        heif_image_handle_release(handle);
    heif_context_free(ctx);
    return chroma;
}

// A BMP stored top-down (negative height in the header), which Qt reports as w x -h.
inline QByteArray topDownBmp(int w, int h)
{
    QByteArray bmp = encode(plain(w, h, Qt::green), "bmp");
    qToLittleEndian<qint32>(-h, bmp.data() + 22);
    return bmp;
}

// A GIF (Qt writes none) of the left half red, the right half blue: a clear code before every
// other pixel keeps each code three bits wide, so no compression is needed.
inline QByteArray twoToneGif(int w, int h)
{
    QByteArray gif("GIF89a");
    char le[2];
    for (const int side : {w, h}) {
        qToLittleEndian<quint16>(quint16(side), le);
        gif.append(le, 2);
    }
    gif.append("\x80\0\0" "\xff\0\0" "\0\0\xff" ",\0\0\0\0", 14);
    for (const int side : {w, h}) {
        qToLittleEndian<quint16>(quint16(side), le);
        gif.append(le, 2);
    }
    gif.append("\0\x02", 2); // no local palette; LZW of two-bit codes
    QByteArray data;
    quint32 bits = 0;
    int count = 0;
    auto put = [&](int code) {
        bits |= quint32(code) << count;
        count += 3;
        for (; count >= 8; count -= 8, bits >>= 8)
            data.append(char(bits & 0xff));
    };
    for (int i = 0; i < w * h; ++i) {
        if (i % 2 == 0)
            put(4); // clear
        put(i % w < w / 2 ? 0 : 1);
    }
    put(5); // end
    if (count > 0)
        data.append(char(bits & 0xff));
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        gif.append(char(block.size()));
        gif.append(block);
    }
    return gif + QByteArray("\0;", 2);
}

inline bool reddish(QRgb c) { return qRed(c) > 200 && qBlue(c) < 60 && qGreen(c) < 60; }
inline bool bluish(QRgb c) { return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60; }

} // namespace LWTestPictures
