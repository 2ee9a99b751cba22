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

// Reads at most maxFileSize + 1 bytes, so a file that keeps growing cannot exhaust memory.
// `path` names the file in messages: `f` was opened from a descriptor and has no name.
LWDocumentIO::Result<QByteArray> readBounded(QFile &f, const QString &path)
{
    const qint64 cap = LWDocumentIO::maxFileSize;
    if (!f.isSequential() && f.size() > cap)
        return LWDocumentIO::IOError::unreadable(QStringLiteral("the file is larger than 1 GiB"));
    QByteArray bytes;
    if (!f.isSequential())
        bytes.reserve(f.size());
    char chunk[65536];
    for (;;) {
        const qint64 n = f.read(chunk, sizeof chunk);
        if (n < 0)
            return LWDocumentIO::SystemError{
                QStringLiteral("The file \"%1\" couldn't be read: %2").arg(fileName(path), f.errorString())};
        if (n == 0)
            break;
        if (bytes.size() + n > cap)
            return LWDocumentIO::IOError::unreadable(QStringLiteral("the file is larger than 1 GiB"));
        bytes.append(chunk, n);
    }
    return bytes;
}

// Counts the values of a JSON text roughly (commas and opening brackets outside strings)
// and stops past `limit`. The parser needs some 20 bytes per value and the reader about ten
// times that, so a text of tiny values must be refused before it is parsed.
bool tooManyValues(const QByteArray &bytes, qint64 limit)
{
    qint64 count = 0;
    const char *p = bytes.constData();
    const char *const end = p + bytes.size();
    while (p < end) {
        const char c = *p++;
        if (c == '"') {
            // Skip the string: its end is the first quote not escaped by an odd run of backslashes.
            for (;;) {
                const char *q = static_cast<const char *>(std::memchr(p, '"', size_t(end - p)));
                if (!q)
                    return false;
                const char *s = q;
                while (s > p && s[-1] == '\\')
                    --s;
                p = q + 1;
                if ((q - s) % 2 == 0)
                    break;
            }
        } else if ((c == ',' || c == '[' || c == '{') && ++count > limit) {
            return true;
        }
    }
    return false;
}

bool startsLikeObject(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) // the parser accepts a byte-order mark
        bytes.remove(0, 3);
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
    if (tooManyValues(*bytes, LWDocumentIO::maxValues))
        return SystemError{failed + QStringLiteral("it would hold more than %1 values").arg(LWDocumentIO::maxValues)};
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
    if (tooManyValues(bytes, maxValues))
        return IOError::unreadable(QStringLiteral("the data holds more than %1 values").arg(maxValues));
    return guarded([&]() -> Result<QList<LWElement>> {
        const std::optional<LWJson::Parsed> parsed = LWJson::parseWithBlobs(bytes);
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
    if (tooManyValues(bytes, maxValues)) {
        if (!startsLikeObject(bytes)) // not an object: no design whatever follows
            return IOError::notADesign();
        return IOError::unreadable(QStringLiteral("the file holds more than %1 values").arg(maxValues));
    }
    return guarded([&]() -> Result<LWDocument> {
        const std::optional<LWJson::Parsed> parsed = LWJson::parseWithBlobs(bytes);
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
