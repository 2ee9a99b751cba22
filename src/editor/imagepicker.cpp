#include "editor/imagepicker.h"

#include "editor/editor.h"
#include "model/file/fileaccess.h"
#include "model/file/json.h"
#include "model/image.h"

#include "render/pictures/heif.h"
#include "render/pictures/imagecache.h"

#include <QBuffer>
#include <QFile>
#include <QFutureWatcher>
#include <QImageReader>
#include <QImageWriter>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

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

bool readsType(const QString &mimeType)
{
    const QString type = mimeType.toLower();
    if (type == QLatin1String("image/heic") || type == QLatin1String("image/heif"))
        return true;
    return QImageReader::supportedMimeTypes().contains(type.toLatin1());
}

namespace {

// Its own threads, so a slow disk never holds up the renderer's share of the global pool.
QThreadPool &loadingPool()
{
    static QThreadPool pool;
    static const bool sized = [] {
        pool.setMaxThreadCount(2);
        return true;
    }();
    (void)sized;
    return pool;
}

// The head of the file is enough to tell a picture from anything else, so nothing larger is
// reserved or read for a file that is not one.
bool looksLikePicture(QIODevice &file)
{
    const QByteArray head = file.peek(64 * 1024);
    if (LWHeif::isHeif(head))
        return true;
    QBuffer buffer;
    buffer.setData(head);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).canRead();
}

// Probes the bytes and decodes the canvas's preview, so the main thread does neither.
Loaded prepared(QByteArray bytes)
{
    const std::optional<LWImageProperties> props = LWImageProperties::read(bytes);
    if (!props)
        return {Loaded::Outcome::unreadable, {}, {}, {}};
    LWImage picture = LWImage::empty(LWMask::none);
    picture.assetID = LWJson::uuidText(QUuid::createUuid());
    picture.data = bytes;
    (void)LWImageCache::image(picture, true); // a failure shows as the renderer's stand-in
    return {Loaded::Outcome::picture, std::move(bytes), *props, picture.assetID};
}

std::unique_ptr<QIODevice> openFile(const QString &path)
{
    auto file = std::make_unique<QFile>();
    if (!LWFileAccess::openRegular(*file, path).isEmpty())
        return nullptr;
    return file;
}

} // namespace

Loaded loadFile(const QString &path, const Opener &open)
{
    const std::unique_ptr<QIODevice> file = open ? open(path) : openFile(path);
    if (!file)
        return {};
    const Loaded unreadable{Loaded::Outcome::unreadable, {}, {}, {}};
    if (file->size() > maxFileSize || !looksLikePicture(*file))
        return unreadable;
    // Bounded while reading too: the file may grow after its size was taken.
    QByteArray bytes;
    bytes.reserve(file->size());
    constexpr qint64 chunk = qint64(1) << 20;
    for (;;) {
        const qsizetype had = bytes.size();
        const qint64 want = std::min(chunk, maxFileSize + 1 - had);
        bytes.resize(had + want);
        const qint64 n = file->read(bytes.data() + had, want);
        if (n < 0)
            return {};
        bytes.resize(had + n);
        if (bytes.size() > maxFileSize)
            return unreadable;
        if (n == 0)
            break;
    }
    return prepared(std::move(bytes));
}

Loaded loadData(const QList<QByteArray> &candidates, const QImage &image)
{
    for (const QByteArray &bytes : candidates)
        if (LWImageProperties::read(bytes))
            return prepared(bytes);
    if (image.isNull())
        return candidates.isEmpty() ? Loaded{} : prepared(candidates.constFirst()); // its message
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return prepared(std::move(png));
}

bool place(LWEditor &editor, const Loaded &loaded, std::optional<QPointF> at)
{
    switch (loaded.outcome) {
    case Loaded::Outcome::picture:
        return editor.placeImage(loaded.bytes, loaded.props, at, loaded.assetID);
    case Loaded::Outcome::unreadable:
        editor.setMessage(LWEditor::unreadablePictureMessage);
        return false;
    case Loaded::Outcome::silent:
        break;
    }
    return false;
}

void placeLater(LWEditor &editor, std::function<Loaded()> load, std::optional<QPointF> at,
                std::function<void()> placed)
{
    // The watcher dies with the editor, and with it the hand-over of a late result.
    auto *watcher = new QFutureWatcher<Loaded>(&editor);
    QObject::connect(watcher, &QFutureWatcherBase::finished, &editor, [watcher, &editor, at, placed] {
        watcher->deleteLater();
        if (watcher->future().resultCount() > 0 && place(editor, watcher->result(), at) && placed)
            placed();
    });
    watcher->setFuture(QtConcurrent::run(&loadingPool(), std::move(load)));
}

void placeFile(LWEditor &editor, const QString &path, std::optional<QPointF> at, Opener open)
{
    placeLater(editor, [path, open = std::move(open)] { return loadFile(path, open); }, at);
}

} // namespace LWImagePicker
