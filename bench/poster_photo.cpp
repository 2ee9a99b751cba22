// Writes the 36 x 24 in poster with one photo in a 25.6 x 19.2 in frame (fill) as a design file,
// and the photo itself beside it, for bench/poster_vs_decode.sh:
//   lw_poster_photo jpeg200|heic48|png127|phone12|flyer12|empty OUT.velkfolio PHOTO [DEGREES]
// jpeg200: a 200-megapixel JPEG (16320 x 12240); heic48: a 48-megapixel HEIC grid (8000 x 6000);
// png127: a 127-megapixel PNG (13000 x 9750); phone12: a 12-megapixel phone JPEG (4032 x 3024)
// in a 21.67 x 16.25 in frame; flyer12: a Letter flyer of twelve distinct phone JPEGs (PHOTO is not
// written); empty: the poster without a photo (PHOTO is not
// written). DEGREES turns the frame.
#include "model/document.h"
#include "model/file/documentio.h"
#include "support/bigphotos.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QGuiApplication>
#include <cstdio>

namespace {

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(90); // a fast zlib level
    writer.write(image);
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: lw_poster_photo jpeg200|heic48|png127|phone12|flyer12|empty OUT.velkfolio PHOTO [DEGREES]\n");
        return 2;
    }
    LWDocument doc = LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 2592, 1728, 9,
                                       QStringLiteral("Poster"));
    if (args[0] == QLatin1String("flyer12")) {
        doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Twelve photos"));
        for (int i = 0; i < 12; ++i) {
            LWElement e = LWElement::makePhoto(LWRect(18 + (i % 3) * 196, 18 + (i / 3) * 190, 186, 180));
            e.image->data = LWBigPhotos::jpeg(4032, 3024, true) + QByteArray::number(i); // distinct bytes
            doc.pages[0].elements.append(e);
        }
    } else if (args[0] != QLatin1String("empty")) {
        const QByteArray photo = args[0] == QLatin1String("jpeg200") ? LWBigPhotos::jpeg(16320, 12240, true)
                                 : args[0] == QLatin1String("png127")  ? png(LWBigPhotos::quarterImage(13000, 9750))
                                 : args[0] == QLatin1String("phone12") ? LWBigPhotos::jpeg(4032, 3024, true)
                                                                       : LWBigPhotos::heicGrid(8000, 6000, 512);
        const bool phone = args[0] == QLatin1String("phone12");
        LWElement e = LWElement::makePhoto(phone ? LWRect(516, 279, 1560, 1170) : LWRect(374.4, 172.8, 1843.2, 1382.4));
        e.image->data = photo;
        e.rotation = args.value(3).toDouble();
        doc.pages[0].elements.append(e);
        QFile out(args.value(2));
        if (!out.open(QIODevice::WriteOnly) || out.write(photo) != photo.size())
            return 1;
    }
    const auto bytes = LWDocumentIO::encode(doc);
    QFile out(args[1]);
    return bytes && out.open(QIODevice::WriteOnly) && out.write(bytes.value()) == bytes.value().size() ? 0 : 1;
}
