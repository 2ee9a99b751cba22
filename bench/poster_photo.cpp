// Writes the 36 x 24 in poster with one photo in a 25.6 x 19.2 in frame (fill) as a design file,
// and the photo itself beside it, for bench/poster_vs_decode.sh:
//   lw_poster_photo jpeg200|heic48|png127|empty OUT.velkfolio PHOTO [DEGREES]
// jpeg200: a 200-megapixel JPEG (16320 x 12240); heic48: a 48-megapixel HEIC grid (8000 x 6000);
// png127: a 127-megapixel PNG (13000 x 9750); empty: the poster without a photo (PHOTO is not
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
        std::fprintf(stderr, "usage: lw_poster_photo jpeg200|heic48|png127|empty OUT.velkfolio PHOTO [DEGREES]\n");
        return 2;
    }
    LWDocument doc = LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 2592, 1728, 9,
                                       QStringLiteral("Poster"));
    if (args[0] != QLatin1String("empty")) {
        const QByteArray photo = args[0] == QLatin1String("jpeg200") ? LWBigPhotos::jpeg(16320, 12240, true)
                                 : args[0] == QLatin1String("png127") ? png(LWBigPhotos::quarterImage(13000, 9750))
                                                                       : LWBigPhotos::heicGrid(8000, 6000, 512);
        LWElement e = LWElement::makePhoto(LWRect(374.4, 172.8, 1843.2, 1382.4));
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
