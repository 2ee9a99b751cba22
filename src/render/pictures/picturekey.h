#pragma once
#include <QByteArray>
#include <optional>

// What the picture tables and the PDF's image objects know a picture by: a digest of its bytes
// and their length, so that frames showing the same bytes share one decode and one image object
// whatever their asset ids. The digest of a large buffer is remembered for the buffer (records
// share their bytes) while anything else holds it, whatever its size, so asking again costs a
// look-up, not a pass over the bytes. Thread-safe.
namespace LWPictureKey {

[[nodiscard]] QByteArray of(const QByteArray &bytes);
// The key when it costs no pass over a large buffer (small, or remembered); none otherwise.
[[nodiscard]] std::optional<QByteArray> ifKnown(const QByteArray &bytes);

} // namespace LWPictureKey
