#pragma once
#include "render/pictures/imageproperties.h"

#include <QByteArray>
#include <QImage>
#include <QIODevice>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class LWEditor;
struct LWPictureTarget;

// Pictures from files and drags. Reading and probing run on a loading thread, which queues the
// preview's decode beside the window (the page view shows a busy sign until it comes); only the
// placing itself (LWEditor::placeImage) runs on the main thread, once the bytes
// are ready. The modal chooser (`choose`) lives with the widgets, in
// editor/widgets/imagepickerdialog.h; this part needs none.
namespace LWImagePicker {

// Larger files are refused with the unreadable-picture message instead of read into memory.
inline constexpr qint64 maxFileSize = 209'715'200; // 200 MiB

inline const QString message = QStringLiteral(
    "Choose a photo or logo (JPEG, PNG, HEIC, TIFF). For sharp prints use a picture with plenty of pixels.");

// Name patterns of every format the program takes (LWPictureFormat), each in lower and upper
// case ("*.heic", "*.HEIC"), so the chooser offers camera files whatever its matching.
[[nodiscard]] QStringList patterns();
[[nodiscard]] QString nameFilter(); // "Pictures (*.bmp *.BMP ...)"
// Whether a drag's MIME type names a format the program takes ("image/png", "image/heic").
[[nodiscard]] bool readsType(const QString &mimeType);

// Opens a file for reading, on the loading thread; null when it cannot be opened. The default
// opens ordinary files only (LWFileAccess::openRegular); tests pass slow readers.
using Opener = std::function<std::unique_ptr<QIODevice>(const QString &path)>;

// What a load gives: a picture ready to place, bytes that are no picture (the unreadable-picture
// message), or nothing to say (a file that cannot be opened or read).
struct Loaded {
    enum class Outcome { picture, unreadable, silent };
    Outcome outcome = Outcome::silent;
    QByteArray bytes;
    LWImageProperties props;
    QString assetID; // its preview is queued for the picture cache under this id
};

// The loading thread's work; any thread. A file over maxFileSize, found so before or while
// reading, or whose first 64 KiB start with no signature of a format the program takes, is
// unreadable before anything more is read.
[[nodiscard]] Loaded loadFile(const QString &path, const Opener &open = {});
// Picture data from a drag: the first candidate the reader takes, else `image` as PNG.
[[nodiscard]] Loaded loadData(const QList<QByteArray> &candidates, const QImage &image);

// Runs `load` on the loading thread and hands its result to the editor for `target`, aimed when
// the user acted (now, when it names no selection); returns at once. A result that arrives during a press on the page waits for
// its end. A result for an editor deleted meanwhile places nothing and goes to the closed
// notice; one arriving while the program quits places nothing. `placed` runs once the picture
// was placed.
void placeLater(LWEditor &editor, std::function<Loaded()> load, const LWPictureTarget &target,
                std::function<void()> placed = {});
// placeLater of loadFile(path, open).
void placeFile(LWEditor &editor, const QString &path, const LWPictureTarget &target, Opener open = {});
// The main thread's part: places a picture, shows the message for an unreadable one. True when
// a picture was placed.
bool place(LWEditor &editor, const Loaded &loaded, const LWPictureTarget &target);

inline const QString designClosedMessage = QStringLiteral("Picture not placed: its design was closed.");
// Where designClosedMessage goes (the application's notice); none: nowhere. Main thread.
void setClosedNotice(std::function<void(const QString &)> notice);

// When the application quits or is destroyed, reads not yet started are dropped, running ones
// stop at their next chunk and are waited for, and nothing read is placed afterwards.
// Tests: while held, every read waits before it starts until released (or the reading ends).
void holdReads(bool held);
// Tests: reads asked whose loading has not yet ended and been handed on (main thread).
[[nodiscard]] int readsLoading();

} // namespace LWImagePicker
