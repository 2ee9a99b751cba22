#pragma once
#include <QByteArray>
#include <QSet>
#include <optional>

struct LWDocument;

// What a JPEG or PNG export of a page will draw as the missing-picture art because it cannot hold
// the picture (LWExportPictures::Plan::leftOut), foreseen for the print check by the export's
// own plan. Pictures are named by their bytes' key (LWPictureKey).
namespace LWRasterForecast {

// The pictures the page's export at `dpi` leaves out. Waits for the pictures' headers; any thread.
[[nodiscard]] QSet<QByteArray> leftOut(const LWDocument &doc, int page, double dpi, bool bleed);

// The same for the interface thread, which never waits: none while it is worked out beside the
// caller (LWPictureQueue, at `priority`; ask again at its `finished`). The answer is kept for the
// same pictures, frames, page, resolution and budget.
[[nodiscard]] std::optional<QSet<QByteArray>> leftOutSoon(const LWDocument &doc, int page, double dpi, bool bleed,
                                                          int priority = 1);

} // namespace LWRasterForecast
