#include "editor/imagepicker.h"

#include "editor/editor.h"
#include "model/file/fileaccess.h"
#include "model/file/json.h"
#include "model/image.h"

#include "render/pictures/picturekey.h"
#include "render/pictures/formats/pictureformat.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFutureWatcher>
#include <QImageWriter>
#include <QPointer>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

namespace LWImagePicker {

QStringList patterns()
{
    QStringList out;
    for (const QString &s : LWPictureFormat::suffixes())
        out << QStringLiteral("*.") + s << QStringLiteral("*.") + s.toUpper();
    return out;
}

QString nameFilter() { return QStringLiteral("Pictures (%1)").arg(patterns().join(QLatin1Char(' '))); }

bool readsType(const QString &mimeType) { return LWPictureFormat::isPictureType(mimeType); }

namespace {

// Set once reading has ended; loads stop at their next chunk.
std::atomic_bool readsEnded = false;

// Reads asked and not yet handed on (main thread).
int loading = 0;

// Where the message of a picture whose design was closed goes.
std::function<void(const QString &)> closedNotice;

// The reading pool, and the hold tests keep it under. Ended while the application object still
// exists, before the picture cache and the readers the reads use go away.
class Reads : public QObject {
public:
    explicit Reads(QObject *parent) : QObject(parent)
    {
        // Its own threads, so a slow disk never holds up the renderer's share of the global pool.
        pool.setMaxThreadCount(2);
        readsEnded = false;
    }
    ~Reads() override { end(); }

    void end()
    {
        {
            const std::lock_guard lock(mutex);
            readsEnded = true;
        }
        released.notify_all();
        pool.clear();
        pool.waitForDone();
    }
    void hold(bool on)
    {
        {
            const std::lock_guard lock(mutex);
            held = on;
        }
        released.notify_all();
    }
    // On the loading thread, before a read: false when reading has ended meanwhile.
    bool mayRead()
    {
        std::unique_lock lock(mutex);
        released.wait(lock, [this] { return !held || readsEnded; });
        return !readsEnded;
    }
    static bool ended() { return readsEnded; }

    QThreadPool pool;

private:
    std::mutex mutex;
    std::condition_variable released;
    bool held = false;
};

Reads &reads()
{
    static QPointer<Reads> running;
    if (!running) {
        running = new Reads(QCoreApplication::instance());
        if (QCoreApplication::instance())
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, running, &Reads::end);
    }
    return *running;
}

// The head of the file is enough to tell a picture from anything else, so nothing larger is
// reserved or read for a file that is not one.
bool looksLikePicture(QIODevice &file)
{
    return LWPictureFormat::sniff(file.peek(64 * 1024)) != LWPictureFormat::Format::none;
}

// Probes the bytes off the main thread, and learns their key there, so that the page view asks
// for the picture at the size it shows it at once (showing the frame with a busy sign until it
// comes).
Loaded prepared(QByteArray bytes)
{
    const std::optional<LWImageProperties> props = LWImageProperties::read(bytes);
    if (!props)
        return {Loaded::Outcome::unreadable, {}, {}, {}};
    (void)LWPictureKey::of(bytes);
    return {Loaded::Outcome::picture, std::move(bytes), *props, LWJson::uuidText(QUuid::createUuid())};
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
        if (Reads::ended())
            return {};
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

bool place(LWEditor &editor, const Loaded &loaded, const LWPictureTarget &target)
{
    switch (loaded.outcome) {
    case Loaded::Outcome::picture:
        return editor.placeImage(loaded.bytes, loaded.props, target, loaded.assetID);
    case Loaded::Outcome::unreadable:
        editor.setMessage(LWEditor::unreadablePictureMessage);
        return false;
    case Loaded::Outcome::silent:
        break;
    }
    return false;
}

namespace {

// Places once no press on the page lasts: a gesture and the picture are two steps, never mixed.
void deliver(const QPointer<LWEditor> &editor, const Loaded &loaded, const LWPictureTarget &target,
             const std::function<void()> &placed)
{
    if (Reads::ended())
        return;
    if (!editor) {
        if (loaded.outcome != Loaded::Outcome::silent && closedNotice)
            closedNotice(designClosedMessage);
        return;
    }
    if (!editor->pressing()) {
        if (place(*editor, loaded, target) && placed)
            placed();
        return;
    }
    auto *waiting = new QObject(editor);
    QObject::connect(editor, &LWEditor::pressingChanged, waiting, [waiting, editor, loaded, target, placed] {
        if (editor->pressing())
            return;
        QObject::disconnect(editor, nullptr, waiting, nullptr);
        waiting->deleteLater();
        // After the release's own handling, whose step comes first.
        QMetaObject::invokeMethod(
            &reads(), [editor, loaded, target, placed] { deliver(editor, loaded, target, placed); }, Qt::QueuedConnection);
    });
}

} // namespace

void placeLater(LWEditor &editor, std::function<Loaded()> load, const LWPictureTarget &aimed,
                std::function<void()> placed)
{
    Reads &r = reads();
    if (Reads::ended())
        return;
    LWPictureTarget target = aimed;
    if (!target.selection)
        target.selection = editor.selection(); // the user acts now
    // The watcher outlives a closed design, to say why its picture was not placed.
    auto *watcher = new QFutureWatcher<Loaded>(&r);
    ++loading;
    QObject::connect(watcher, &QObject::destroyed, [] { --loading; });
    QObject::connect(watcher, &QFutureWatcherBase::finished, &r,
                     [watcher, editor = QPointer<LWEditor>(&editor), target, placed = std::move(placed)] {
                         watcher->deleteLater();
                         if (watcher->future().resultCount() > 0)
                             deliver(editor, watcher->result(), target, placed);
                     });
    watcher->setFuture(QtConcurrent::run(&r.pool, [&r, load = std::move(load)] {
        return r.mayRead() ? load() : Loaded{};
    }));
}

void placeFile(LWEditor &editor, const QString &path, const LWPictureTarget &target, Opener open)
{
    placeLater(editor, [path, open = std::move(open)] { return loadFile(path, open); }, target);
}

void setClosedNotice(std::function<void(const QString &)> notice) { closedNotice = std::move(notice); }

void holdReads(bool held) { reads().hold(held); }

int readsLoading() { return loading; }

} // namespace LWImagePicker
