#pragma once
#include "model/element.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>

// The system pasteboard as copy and paste see it. Main thread only.
class LWPasteboard {
public:
    virtual ~LWPasteboard() = default;
    // Replaces the whole contents at once: the bytes under each type, and plain text when given.
    virtual void write(const QList<std::pair<QString, QByteArray>> &data, const std::optional<QString> &text) = 0;
    virtual void clear() = 0;
    // The types it holds data for, in the order offered.
    [[nodiscard]] virtual QStringList types() const = 0;
    // The raw bytes held under the type (pictures too: never decoded here), or none.
    [[nodiscard]] virtual std::optional<QByteArray> data(const QString &type) const = 0;
    [[nodiscard]] virtual std::optional<QString> text() const = 0;
};

// What copy stores and paste reads, shared by every editor of the process. Main thread only.
namespace LWClipboard {

inline const QString pasteboardType = QStringLiteral("application/x-velk-leafwrighter-elements+json");
inline const QString pngType = QStringLiteral("image/png");
inline const QString tiffType = QStringLiteral("image/tiff");
// Pictures paste takes, best first; any other "image/" type follows in the order offered.
inline const QStringList pictureTypes = {pngType,
                                         tiffType,
                                         QStringLiteral("image/jpeg"),
                                         QStringLiteral("image/webp"),
                                         QStringLiteral("image/heic"),
                                         QStringLiteral("image/heif"),
                                         QStringLiteral("image/avif")};

// The last copied or pasted items; empty at start.
extern QList<LWElement> elements;

// The process-wide pasteboard: unless replaced, the system clipboard of the running
// QGuiApplication (one QMimeData per write), made on first use. Without a QGuiApplication it
// holds nothing and writes go nowhere. The reference stays valid until the next setPasteboard.
LWPasteboard &pasteboard();
void setPasteboard(std::shared_ptr<LWPasteboard> board);
// The system clipboard wrapper, for putting it back after a test.
[[nodiscard]] std::shared_ptr<LWPasteboard> makeSystemPasteboard();

} // namespace LWClipboard
