#pragma once
#include <QPointF>
#include <QString>
#include <QStringList>
#include <optional>

class LWEditor;

// Pictures chosen as files. The modal chooser itself (`choose`) lives with the widgets, in
// editor/widgets/imagepickerdialog.h; this part needs none. Main thread only.
namespace LWImagePicker {

// Larger files are refused with the unreadable-picture message instead of read into memory.
inline constexpr qint64 maxFileSize = 209'715'200; // 200 MiB

inline const QString message = QStringLiteral(
    "Choose a photo or logo (JPEG, PNG, HEIC, TIFF). For sharp prints use a picture with plenty of pixels.");

// Name patterns of every format the picture reader takes, HEIF included, each in lower and
// upper case ("*.heic", "*.HEIC"), so the chooser offers camera files whatever its matching.
[[nodiscard]] QStringList patterns();
[[nodiscard]] QString nameFilter(); // "Pictures (*.bmp *.BMP ...)"

// Reads the ordinary file at `path` and hands it to placeImage at `at` (none: the page centre
// or the selected picture). A file that cannot be opened or read is passed over in silence; one
// over maxFileSize, found so before or while reading, or whose first 64 KiB are no picture format
// the reader knows, gets the unreadable-picture message before anything more is read. True when
// a picture was placed.
[[nodiscard]] bool placeFile(LWEditor &editor, const QString &path, std::optional<QPointF> at = std::nullopt);

} // namespace LWImagePicker
