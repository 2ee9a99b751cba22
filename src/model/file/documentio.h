#pragma once
#include "model/document.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <utility>
#include <variant>

// The native design file: one canonical JSON text (LWJson::write) holding an LWDocument.
// The only code that reads or writes design files. No state; main thread (save and open
// update the recent list). Nothing here changes the document or shows anything.
namespace LWDocumentIO {

// Files above this size are refused instead of read into memory.
inline constexpr qint64 maxFileSize = qint64(1) << 30;
// Texts with more JSON values than this are refused before parsing; a design of a thousand
// elements holds about a hundred thousand.
inline constexpr qint64 maxValues = qint64(1) << 22;

// Any one text (a name, a text's words; a picture's Base64 aside) longer than this, in bytes as
// written, and all texts together longer than maxAllTextBytes, are refused before parsing, on
// reading and on writing alike: the reader would hold each twice over as UTF-16.
inline constexpr qint64 maxTextBytes = qint64(1) << 20;
inline constexpr qint64 maxAllTextBytes = qint64(64) << 20;
// A file given to open is refused as no design when its first non-blank byte within this many is
// no "{", or a byte before it is no JSON at all; the rest of it is not read then.
inline constexpr qint64 headBytes = qint64(64) << 10;

// Deepest group nesting (a top-level element counts as level 1) that the parser can read back
// from a design file; element lists for the clipboard keep to it as well.
inline constexpr int maxGroupLevels = (1024 - 5 - 2) / 2 + 1;

// What the read-side checks refuse.
struct IOError {
    enum class Kind { newerVersion, unreadable, notADesign };
    Kind kind = Kind::notADesign;
    qint64 version = 0; // newerVersion: the file's version
    QString detail;     // unreadable: what went wrong, naming where

    static IOError newerVersion(qint64 version) { return {Kind::newerVersion, version, {}}; }
    static IOError unreadable(QString detail) { return {Kind::unreadable, 0, std::move(detail)}; }
    static IOError notADesign() { return {}; }

    QString errorDescription() const; // the sentence shown to the user
    friend bool operator==(const IOError &, const IOError &) = default;
};

// A failure of the file system or the encoder, passed on with its own description.
struct SystemError {
    QString description;
    friend bool operator==(const SystemError &, const SystemError &) = default;
};

using Error = std::variant<IOError, SystemError>;

// A value, or the error that prevented it.
template <class T> class Result {
public:
    Result(T value) : m_v(std::in_place_index<0>, std::move(value)) {}
    Result(IOError e) : m_v(std::in_place_index<1>, std::move(e)) {}
    Result(SystemError e) : m_v(std::in_place_index<1>, std::move(e)) {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }
    // Only when ok().
    const T &value() const & { return std::get<0>(m_v); }
    T &&value() && { return std::get<0>(std::move(m_v)); }
    // Only when !ok().
    const Error &error() const { return std::get<1>(m_v); }
    // The read-side verdict, or null (success, or a file-system / encoder failure).
    const IOError *ioError() const { return ok() ? nullptr : std::get_if<IOError>(&error()); }
    // Empty when ok().
    QString errorDescription() const
    {
        if (ok())
            return {};
        if (const IOError *e = ioError())
            return e->errorDescription();
        return std::get<SystemError>(error()).description;
    }

private:
    std::variant<T, Error> m_v;
};

// The file's bytes; fails (SystemError) on a NaN or infinite number.
[[nodiscard]] Result<QByteArray> encode(const LWDocument &doc);
// A document, or an IOError. Any bytes at all: never crashes, hangs or grows without bound.
// A page the program could not make (a side outside LWDocument::minSide..maxSide, a bleed or
// safe margin that is not a length from 0 to under half the shorter side) is unreadable.
[[nodiscard]] Result<LWDocument> decode(const QByteArray &bytes);
// Elements as the clipboard carries them: one JSON array of element records, as in the file.
// Both sides hold the file's own limits (size, value count, group nesting), so that whatever
// pastes can be saved. Encoding fails (SystemError) on a NaN or infinite number; decoding takes
// any bytes, never crashes, and refuses anything that is no such array.
[[nodiscard]] Result<QByteArray> encodeElements(const QList<LWElement> &elements);
[[nodiscard]] Result<QList<LWElement>> decodeElements(const QByteArray &bytes);
// Encodes, then replaces the file at `url` in one step (an earlier file survives any failure),
// then adds it to the recent designs. Through symbolic links the real file is replaced, keeping
// its owner, permissions and attributes; what LWFileAccess::replaceFile refuses (read-only
// files, files with other hard links, folders that take no new files) fails here too.
// Nothing is written or recorded on failure, and the message names the reason.
[[nodiscard]] Result<std::monostate> save(const LWDocument &doc, const QUrl &url);
// Reads and decodes the file, then adds it to the recent designs; records nothing on failure.
// Only ordinary files (links followed) are read: pipes and devices are refused without waiting.
[[nodiscard]] Result<LWDocument> open(const QUrl &url);

} // namespace LWDocumentIO
