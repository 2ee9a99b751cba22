#include "model/file/documentio.h"

#include "model/file/fileaccess.h"
#include "model/file/json.h"
#include "model/file/recent.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <utility>

namespace {

QString fileName(const QString &path) { return QFileInfo(path).fileName(); }

// Whether a file whose first bytes are `head` (all of it when shorter than headBytes) may be a
// design: a JSON object, so its first non-blank byte is "{", and no JSON text holds a raw
// control character anywhere.
bool mayStartDesign(QByteArrayView head, bool whole)
{
    if (head.startsWith("\xEF\xBB\xBF")) // the parser accepts a byte-order mark
        head = head.sliced(3);
    bool opened = false;
    for (const char c : head) {
        const bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
        if (uchar(c) < 0x20 && !blank)
            return false;
        if (!opened && !blank) {
            if (c != '{')
                return false;
            opened = true;
        }
    }
    return opened || whole;
}

// Reads the head first and refuses a file it shows to be no design without reading on; then at
// most maxFileSize + 1 bytes, so a file that keeps growing cannot exhaust memory. `path` names
// the file in messages: `f` was opened from a descriptor and has no name.
LWDocumentIO::Result<QByteArray> readBounded(QFile &f, const QString &path)
{
    const qint64 cap = LWDocumentIO::maxFileSize;
    QByteArray bytes;
    char chunk[65536];
    bool checked = false;
    for (;;) {
        const qint64 n = f.read(chunk, sizeof chunk);
        if (n < 0)
            return LWDocumentIO::SystemError{
                QStringLiteral("The file \"%1\" couldn't be read: %2").arg(fileName(path), f.errorString())};
        if (!checked && (n == 0 || bytes.size() + n >= LWDocumentIO::headBytes)) {
            const QByteArray head = bytes + QByteArray::fromRawData(chunk, int(n));
            if (!mayStartDesign(QByteArrayView(head).first(std::min<qsizetype>(head.size(), LWDocumentIO::headBytes)), n == 0))
                return LWDocumentIO::IOError::notADesign();
            checked = true;
            if (!f.isSequential() && f.size() > cap)
                return LWDocumentIO::IOError::unreadable(QStringLiteral("the file is larger than 1 GiB"));
            if (!f.isSequential())
                bytes.reserve(f.size());
        }
        if (n == 0)
            break;
        if (bytes.size() + n > cap)
            return LWDocumentIO::IOError::unreadable(QStringLiteral("the file is larger than 1 GiB"));
        bytes.append(chunk, n);
    }
    return bytes;
}

// What the limits refuse in a JSON text, found in one pass without parsing it.
struct Excess {
    enum class Kind { none, values, text, allText };
    Kind kind = Kind::none;
    QString key; // text: the key whose value it is, when it has one
    // A clause for "couldn't be opened: " and "couldn't be written: ".
    QString clause() const
    {
        if (kind == Kind::allText)
            return QStringLiteral("its texts together are longer than %1 MiB").arg(LWDocumentIO::maxAllTextBytes >> 20);
        const QString limit = QStringLiteral("%1 MiB").arg(LWDocumentIO::maxTextBytes >> 20);
        return key.isEmpty() ? QStringLiteral("it holds a text longer than ") + limit
                             : QStringLiteral("its \"%1\" is a text longer than %2").arg(key, limit);
    }
};

// The limits for texts as the reader holds them.
LWJson::TextLimits textLimits() { return {LWDocumentIO::maxTextBytes, LWDocumentIO::maxAllTextBytes, {}, {}}; }

// What the reader's text limits refused, as an excess.
Excess passed(const LWJson::TextLimits &limits)
{
    using Passed = LWJson::TextLimits::Passed;
    if (limits.passed == Passed::none)
        return {};
    return {limits.passed == Passed::one ? Excess::Kind::text : Excess::Kind::allText, limits.key};
}

// Counts the values of a JSON text roughly (commas and opening brackets outside strings) and stops
// past the limit: the parser needs some 20 bytes per value and the reader about ten times that,
// so such a text must be refused before it is parsed. With `texts`, for a text written here
// (whose pictures' places hold Base64 unchecked), the bytes of its texts are held to the reader's
// limits as well: whatever is written can be read back.
Excess excess(const QByteArray &bytes, bool texts = false)
{
    qint64 count = 0, allText = 0;
    const char *const begin = bytes.constData();
    const char *p = begin;
    const char *const end = p + bytes.size();
    while (p < end) {
        const char c = *p++;
        if (c == '"') {
            // Skip the string: its end is the first quote not escaped by an odd run of backslashes.
            const char *const open = p - 1;
            for (;;) {
                const char *q = static_cast<const char *>(std::memchr(p, '"', size_t(end - p)));
                if (!q)
                    return {};
                const char *s = q;
                while (s > open + 1 && s[-1] == '\\')
                    --s;
                p = q + 1;
                if ((q - s) % 2 == 0)
                    break;
            }
            const qsizetype length = p - open - 2;
            if (!texts || LWJson::keyBefore(bytes, open - begin) == QLatin1String(LWJson::pictureKey))
                continue;
            if (length > LWDocumentIO::maxTextBytes)
                return {Excess::Kind::text, LWJson::keyBefore(bytes, open - begin)};
            if ((allText += length) > LWDocumentIO::maxAllTextBytes)
                return {Excess::Kind::allText, {}};
        } else if ((c == ',' || c == '[' || c == '{') && ++count > LWDocumentIO::maxValues) {
            return {Excess::Kind::values, {}};
        }
    }
    return {};
}

// A view: a copy of the text would be detached, and so doubled, by the loop.
bool startsLikeObject(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) // the parser accepts a byte-order mark
        bytes = bytes.sliced(3);
    for (const char c : bytes) {
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return c == '{';
    }
    return false;
}

// The parser refuses containers nested more than 1024 deep. A top-level element object sits
// at depth 5 (document, pages, page, elements, element), each group level adds two (children,
// element), and an element's own containers reach two below it (frame pairs, fill colour):
// hence LWDocumentIO::maxGroupLevels.
using LWDocumentIO::maxGroupLevels;

bool nestedTooDeep(const QList<LWElement> &elements, int level)
{
    if (level >= maxGroupLevels)
        return !elements.isEmpty();
    for (const LWElement &e : elements)
        if (e.children && nestedTooDeep(*e.children, level + 1))
            return true;
    return false;
}

// The bytes of a checked value: refused rather than written as something that could not be
// read back.
// `value` is made inside the scope that lets pictures skip their UTF-16 Base64 text.
LWDocumentIO::Result<QByteArray> encodeChecked(const std::function<QJsonValue()> &makeValue, bool nestedDeep,
                                               const QString &failed)
{
    LWJson::BytesScope pictures;
    using LWDocumentIO::SystemError;
    if (nestedDeep)
        return SystemError{failed + QStringLiteral("groups are nested more than %1 deep").arg(maxGroupLevels)};
    QString error;
    std::optional<QByteArray> bytes = LWJson::write(makeValue(), &error);
    if (!bytes)
        return SystemError{failed + error};
    if (bytes->size() > LWDocumentIO::maxFileSize)
        return SystemError{failed + QStringLiteral("it would be larger than 1 GiB")};
    const Excess over = excess(*bytes, true);
    if (over.kind == Excess::Kind::values)
        return SystemError{failed + QStringLiteral("it would hold more than %1 values").arg(LWDocumentIO::maxValues)};
    if (over.kind != Excess::Kind::none)
        return SystemError{failed + over.clause()};
    return std::move(*bytes);
}

// Why the page cannot be shown or made (a size outside what the program makes, a bleed or safe
// margin that is not a finite length under half the page), or nothing. NaN fails every test.
QString pageSizeFault(const LWDocument &doc)
{
    const auto number = [](double v) { return QString::number(v, 'g', 10); };
    const auto side = [](double v) { return v >= LWDocument::minSide && v <= LWDocument::maxSide; };
    if (!side(doc.width) || !side(doc.height))
        return QStringLiteral("the page size %1 × %2 pt lies outside %3 to %4 pt")
            .arg(number(doc.width), number(doc.height), number(LWDocument::minSide), number(LWDocument::maxSide));
    const double half = std::min(doc.width, doc.height) / 2;
    for (const auto &[name, v] : {std::pair{QStringLiteral("bleed"), doc.bleed}, {QStringLiteral("safe margin"), doc.safe}})
        if (!(v >= 0 && v < half))
            return QStringLiteral("the %1 of %2 pt is not a length under half the page").arg(name, number(v));
    return {};
}

// Runs a read, turning the reader's failures into the read-side verdict.
template <class Read> auto guarded(const Read &read) -> decltype(read())
{
    using LWDocumentIO::IOError;
    try {
        return read();
    } catch (const LWJsonError &e) {
        // A message may quote the data's own text, which can be any length; the path cannot.
        if (e.message().size() <= 300)
            return IOError::unreadable(e.description());
        return IOError::unreadable(LWJsonError(e.path(), e.message().left(300) + QChar(0x2026)).description());
    } catch (const std::bad_alloc &) {
        return IOError::unreadable(QStringLiteral("there is not enough memory to read it"));
    }
}

} // namespace

namespace LWDocumentIO {

QString IOError::errorDescription() const
{
    switch (kind) {
    case Kind::newerVersion:
        return QStringLiteral("This design was saved by a newer version of VELK Leafwrighter (format %1). "
                              "Please update the app.")
            .arg(version);
    case Kind::unreadable:
        return QStringLiteral("The design couldn't be opened: ") + detail;
    case Kind::notADesign:
        break;
    }
    return QStringLiteral("This file isn't an VELK Leafwrighter design.");
}

Result<QByteArray> encode(const LWDocument &doc)
{
    bool deep = false;
    for (const LWPage &page : doc.pages)
        deep = deep || nestedTooDeep(page.elements, 0);
    return encodeChecked([&] { return QJsonValue(doc.toJson()); }, deep,
                         QStringLiteral("The design couldn't be written: "));
}

Result<QByteArray> encodeElements(const QList<LWElement> &elements)
{
    return encodeChecked([&] { return LWJson::to(elements); }, nestedTooDeep(elements, 0),
                         QStringLiteral("The items couldn't be copied: "));
}

Result<QList<LWElement>> decodeElements(const QByteArray &bytes)
{
    if (bytes.size() > maxFileSize)
        return IOError::unreadable(QStringLiteral("the data is larger than 1 GiB"));
    const Excess over = excess(bytes);
    if (over.kind == Excess::Kind::values)
        return IOError::unreadable(QStringLiteral("the data holds more than %1 values").arg(maxValues));
    if (over.kind != Excess::Kind::none)
        return IOError::unreadable(over.clause());
    return guarded([&]() -> Result<QList<LWElement>> {
        LWJson::TextLimits limits = textLimits();
        const std::optional<LWJson::Parsed> parsed = LWJson::parseWithBlobs(bytes, &limits);
        if (const Excess texts = passed(limits); texts.kind != Excess::Kind::none)
            return IOError::unreadable(texts.clause());
        if (!parsed || !parsed->value.isArray())
            return IOError::notADesign();
        QList<LWElement> elements = LWJsonIn(*parsed).as<QList<LWElement>>();
        if (nestedTooDeep(elements, 0))
            return IOError::unreadable(QStringLiteral("groups are nested more than %1 deep").arg(maxGroupLevels));
        return elements;
    });
}

Result<LWDocument> decode(const QByteArray &bytes)
{
    if (bytes.size() > maxFileSize)
        return IOError::unreadable(QStringLiteral("the file is larger than 1 GiB"));
    if (const Excess over = excess(bytes); over.kind != Excess::Kind::none) {
        if (!startsLikeObject(bytes)) // not an object: no design whatever follows
            return IOError::notADesign();
        if (over.kind == Excess::Kind::values)
            return IOError::unreadable(QStringLiteral("the file holds more than %1 values").arg(maxValues));
        return IOError::unreadable(over.clause());
    }
    return guarded([&]() -> Result<LWDocument> {
        LWJson::TextLimits limits = textLimits();
        const std::optional<LWJson::Parsed> parsed = LWJson::parseWithBlobs(bytes, &limits);
        if (const Excess texts = passed(limits); texts.kind != Excess::Kind::none)
            return startsLikeObject(bytes) ? Result<LWDocument>(IOError::unreadable(texts.clause())) : IOError::notADesign();
        if (!parsed || !parsed->value.isObject())
            return IOError::notADesign();
        const QJsonObject top = parsed->value.toObject();
        const QJsonValue format = top.value(QLatin1String("format"));
        if (!format.isString() || format.toString() != LWDocument::formatName)
            return IOError::notADesign();

        // Only a whole number is a version here; anything else is left to the full read.
        const QJsonValue version = top.value(QLatin1String("version"));
        if (version.isDouble()) {
            try {
                const qint64 v = LWJsonIn(version).integer();
                if (v >= 2)
                    return IOError::newerVersion(v);
            } catch (const LWJsonError &) {
            }
        }
        LWDocument doc = LWDocument::fromJson(LWJsonIn(*parsed));
        if (QString wrong = pageSizeFault(doc); !wrong.isEmpty())
            return IOError::unreadable(wrong);
        return doc;
    });
}

Result<std::monostate> save(const LWDocument &doc, const QUrl &url)
{
    Result<QByteArray> bytes = encode(doc);
    if (!bytes)
        return std::get<SystemError>(bytes.error());

    const QString path = url.toLocalFile();
    auto failed = [&](const QString &why) {
        return SystemError{QStringLiteral("The file \"%1\" couldn't be saved: %2").arg(fileName(path), why)};
    };
    if (path.isEmpty())
        return failed(QStringLiteral("\"%1\" is not a file location").arg(url.toDisplayString()));

    if (const QString why = LWFileAccess::replaceFile(path, bytes.value()); !why.isEmpty())
        return failed(why);

    LWRecent::add(url);
    return std::monostate{};
}

Result<LWDocument> open(const QUrl &url)
{
    const QString path = url.toLocalFile();
    auto failed = [&](const QString &why) {
        return SystemError{QStringLiteral("The file \"%1\" couldn't be opened: %2").arg(fileName(path), why)};
    };
    if (path.isEmpty())
        return failed(QStringLiteral("\"%1\" is not a file location").arg(url.toDisplayString()));
    QFile f;
    if (const QString why = LWFileAccess::openRegular(f, path); !why.isEmpty())
        return failed(why);
    Result<QByteArray> bytes = readBounded(f, path);
    if (!bytes) {
        if (const IOError *e = bytes.ioError())
            return *e;
        return std::get<SystemError>(bytes.error());
    }
    Result<LWDocument> doc = decode(bytes.value());
    if (doc)
        LWRecent::add(url);
    return doc;
}

} // namespace LWDocumentIO
