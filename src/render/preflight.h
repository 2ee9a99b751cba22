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
    bool checking = false; // an info: a picture still being checked (preflightSoon), not a finding

    Issue() = default;
    Issue(Level level, int page, std::optional<QUuid> elementID, QString message);

    friend bool operator==(const Issue &a, const Issue &b)
    {
        return a.level == b.level && a.page == b.page && a.elementID == b.elementID && a.message == b.message;
    }
};

inline size_t qHash(Issue::Level level, size_t seed = 0) noexcept { return ::qHash(int(level), seed); }

// The JPEG and PNG export the check foresees: at `dpi`, with the bleed or without.
struct RasterPlan {
    double dpi = 300;
    bool bleed = true;
    // As the export sheet is set: its stored resolution and bleed. Main thread only.
    [[nodiscard]] static RasterPlan stored();
};

// Every finding of every page, in the order found: pages, then elements back to front (each
// followed by its members), then the order of the checks. Not sorted by level. A picture that
// would print as the missing-picture art (unreadable, too large to draw) or only in part is a
// problem; it decides by a decode the picture cache keeps (LWImageCache::drawn). With `raster`,
// so is a picture that export leaves out for want of room (LWRasterForecast), by its own plan.
[[nodiscard]] QList<Issue> preflight(const LWDocument &doc, std::optional<RasterPlan> raster = std::nullopt);

// The same check for the interface thread, which never waits for a picture: one whose outcome
// the picture cache (LWImageCache::checkSoon) or the export's plan (LWRasterForecast::leftOutSoon)
// does not know yet is asked for beside it and listed as being checked instead (an info with
// `checking` set). Ask again when LWPictureQueue's `finished` comes.
[[nodiscard]] QList<Issue> preflightSoon(const LWDocument &doc,
                                         std::optional<RasterPlan> raster = RasterPlan::stored());
// Whether any of the findings is a picture still being checked.
[[nodiscard]] bool checking(const QList<Issue> &issues);

// What the check knows of one picture element of the page now, without waiting (the inspector's
// read-out).
struct PictureSoon {
    bool checking = false;
    // Why it would not print whole: "is too large to draw, so a placeholder would print in its
    // place. …", to follow the picture's name; none when it prints whole or is still checked.
    std::optional<QString> undrawn;
    bool drawable = true; // false: only the missing-picture art would print in any export
    std::optional<double> dpi; // as effectiveDPI, for a drawable picture
};
[[nodiscard]] PictureSoon pictureSoon(const LWDocument &doc, int page, const LWElement &element,
                                      std::optional<RasterPlan> raster = RasterPlan::stored(), int priority = 1);

// Pixels of the picture per printed inch along its width; none without a decodable picture,
// with crops that leave nothing visible, or with a frame of no width or height.
[[nodiscard]] std::optional<double> effectiveDPI(const LWElement &element);

// Page area of a text's non-empty lines (textInk) or of its glyph outlines (glyphInk), before
// the element's rotation; none without a text record or without any such rectangle.
[[nodiscard]] std::optional<LWRect> textInk(const LWElement &element);
[[nodiscard]] std::optional<LWRect> glyphInk(const LWElement &element);

} // namespace LWExport
