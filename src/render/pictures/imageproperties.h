#pragma once
#include <QByteArray>
#include <optional>

// What the editor needs to know of a picture file before placing it, read from the file's
// header without decoding pixels: the stored pixel size and the orientation tag, as a decode
// worker reads them (LWPictureDecoder::header, remembered by the bytes). Thread-safe.
struct LWImageProperties {
    // As stored, before any orientation turn; a reader may give a side of 0 or less (a top-down
    // BMP reports its height negative, a header that does not parse gives -1): callers decide.
    int width = -1;
    int height = -1;
    // The EXIF orientation, 1 to 8; 5 to 8 are turned by a quarter. HEIF sizes already carry
    // the file's own turn and always report 1.
    int orientation = 1;

    bool quarterTurned() const { return orientation >= 5; }

    // None when the bytes are none of the formats the program takes (LWPictureFormat), their
    // format's reader cannot read them, or (HEIF) their coded images exceed what they declare or
    // the bounds of a decode (LWHeifContainer).
    [[nodiscard]] static std::optional<LWImageProperties> read(const QByteArray &bytes);
};
