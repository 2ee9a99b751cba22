#include "editor/imagepicker.h"

#include "editor/editor.h"
#include "model/file/fileaccess.h"

#include "render/pictures/heif.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>

namespace LWImagePicker {

QStringList patterns()
{
    QStringList suffixes{QStringLiteral("heic"), QStringLiteral("heif")};
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        suffixes.append(QString::fromLatin1(format).toLower());
    suffixes.sort();
    suffixes.removeDuplicates();
    QStringList out;
    for (const QString &s : std::as_const(suffixes))
        out << QStringLiteral("*.") + s << QStringLiteral("*.") + s.toUpper();
    return out;
}

QString nameFilter() { return QStringLiteral("Pictures (%1)").arg(patterns().join(QLatin1Char(' '))); }

namespace {

// The head of the file is enough to tell a picture from anything else, so nothing larger is
// reserved or read for a file that is not one.
bool looksLikePicture(QFile &file)
{
    const QByteArray head = file.peek(64 * 1024);
    if (LWHeif::isHeif(head))
        return true;
    QBuffer buffer;
    buffer.setData(head);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).canRead();
}

} // namespace

bool placeFile(LWEditor &editor, const QString &path, std::optional<QPointF> at)
{
    QFile file;
    if (!LWFileAccess::openRegular(file, path).isEmpty())
        return false;
    const auto refuse = [&] {
        editor.setMessage(LWEditor::unreadablePictureMessage);
        return false;
    };
    if (file.size() > maxFileSize || !looksLikePicture(file))
        return refuse();
    // Bounded while reading too: the file may grow after its size was taken.
    QByteArray bytes;
    bytes.reserve(file.size());
    constexpr qint64 chunk = qint64(1) << 20;
    for (;;) {
        const qsizetype had = bytes.size();
        const qint64 want = std::min(chunk, maxFileSize + 1 - had);
        bytes.resize(had + want);
        const qint64 n = file.read(bytes.data() + had, want);
        if (n < 0)
            return false;
        bytes.resize(had + n);
        if (bytes.size() > maxFileSize)
            return refuse();
        if (n == 0)
            break;
    }
    return editor.placeImage(bytes, at);
}

} // namespace LWImagePicker
