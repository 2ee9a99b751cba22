#pragma once
#include "model/rect.h"

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

struct LWDocument;
struct LWElement;

// The print check: findings about a design that would print badly. Nothing here changes the
// design or keeps state; every call may run on any thread.
namespace LWExport {

struct Issue {
    // Ordered by severity; the raw values are fixed.
    enum class Level { info = 0, warning = 1, problem = 2 };
    static std::optional<Level> levelFromRaw(int raw);

    QUuid id = QUuid::createUuid(); // new for every issue; takes no part in equality
    Level level = Level::info;
    int page = 0; // index into the document's pages
    std::optional<QUuid> elementID;
    QString message;

    Issue() = default;
    Issue(Level level, int page, std::optional<QUuid> elementID, QString message);

    friend bool operator==(const Issue &a, const Issue &b)
    {
        return a.level == b.level && a.page == b.page && a.elementID == b.elementID && a.message == b.message;
    }
};

inline size_t qHash(Issue::Level level, size_t seed = 0) noexcept { return ::qHash(int(level), seed); }

// Every finding of every page, in the order found: pages, then elements back to front (each
// followed by its members), then the order of the checks. Not sorted by level. A picture that
// would print as the missing-picture art (unreadable, too large to draw) or only in part is a
// problem; it decides by a decode the picture cache keeps (LWImageCache::drawn).
[[nodiscard]] QList<Issue> preflight(const LWDocument &doc);

// Pixels of the picture per printed inch along its width; none without a decodable picture,
// with crops that leave nothing visible, or with a frame of no width or height.
[[nodiscard]] std::optional<double> effectiveDPI(const LWElement &element);

// Page area of a text's non-empty lines (textInk) or of its glyph outlines (glyphInk), before
// the element's rotation; none without a text record or without any such rectangle.
[[nodiscard]] std::optional<LWRect> textInk(const LWElement &element);
[[nodiscard]] std::optional<LWRect> glyphInk(const LWElement &element);

} // namespace LWExport
