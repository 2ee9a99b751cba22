#pragma once
#include <QImage>
#include <QRect>
#include <QSize>
#include <optional>

// One scaling of a whole image to another size, each target pixel the average of the source area
// it covers (as smooth scaling down does), computed for any window of the target on its own: a
// window's pixels are those of the whole scaling, whichever window is asked and whichever source
// pixels beyond its reach are missing, so parts of a picture made apart join without a seam.
// Thread-safe; large windows are made on all cores.
namespace LWImageScale {

// The source pixels that the target pixels `held` read when `from` is scaled to `to`.
[[nodiscard]] QRect reach(QSize from, QSize to, const QRect &held);

// Bytes scaled() allocates beside its result (row buffers).
[[nodiscard]] qint64 scratch(QSize from, QSize to, const QRect &held);

// The pixels `held` of `from` scaled to `to`, made from `source`, whose pixel (0, 0) is pixel
// `at` of the whole source and which covers reach(from, to, held). RGB32 when the source has no
// alpha channel, else ARGB32 premultiplied, whatever its format. None when the source does not
// cover the reach or memory ran short.
[[nodiscard]] std::optional<QImage> scaled(const QImage &source, QPoint at, QSize from, QSize to, const QRect &held);

} // namespace LWImageScale
