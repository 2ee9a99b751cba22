#include "model/file/json.h"

#include <QCborValue>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <cstring>
#include <charconv>
#include <cmath>

LWJsonError::LWJsonError(QString path, QString message)
    : std::runtime_error(QStringLiteral("%1 at \"%2\"").arg(message, path).toStdString()),
      m_path(std::move(path)), m_message(std::move(message))
{
}

QString LWJsonError::description() const
{
    if (m_path.isEmpty())
        return m_message + QStringLiteral(" at the top level");
    return QStringLiteral("%1 at \"%2\"").arg(m_message, m_path);
}

// ---------------------------------------------------------------- writing

struct LWJson::BytesScope::State {
    QString marker; // U+0001 and a random tag: no text of the user's starts with it
    QList<QByteArray> bytes;
};

namespace {

thread_local LWJson::BytesScope::State *currentScope = nullptr;

// Standard Base64 with padding, every solidus escaped, as our files spell picture data.
void appendBase64(QByteArray &out, const QByteArray &bytes)
{
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    const qsizetype start = out.size();
    out.resize(start + (n + 2) / 3 * 8); // each character at most two bytes
    char *w = out.data() + start;
    auto put = [&w](unsigned v) {
        const char c = alphabet[v & 63];
        if (c == '/')
            *w++ = '\\';
        *w++ = c;
    };
    qsizetype i = 0;
    for (; i + 3 <= n; i += 3) {
        const unsigned v = unsigned(p[i]) << 16 | unsigned(p[i + 1]) << 8 | p[i + 2];
        const unsigned a = v >> 18, b = (v >> 12) & 63, c = (v >> 6) & 63, d = v & 63;
        if (a == 63 || b == 63 || c == 63 || d == 63) { // a solidus to escape
            put(a);
            put(b);
            put(c);
            put(d);
            continue;
        }
        w[0] = alphabet[a];
        w[1] = alphabet[b];
        w[2] = alphabet[c];
        w[3] = alphabet[d];
        w += 4;
    }
    if (i < n) {
        const unsigned v = unsigned(p[i]) << 16 | (i + 1 < n ? unsigned(p[i + 1]) << 8 : 0u);
        put(v >> 18);
        put(v >> 12);
        if (i + 1 < n)
            put(v >> 6);
        else
            *w++ = '=';
        *w++ = '=';
    }
    out.truncate(w - out.constData());
}

struct Writer {
    QByteArray out;
    QString error;
    // The path is only spelled out on failure; keep its pieces on a stack meanwhile.
    struct Segment {
        QString key;
        qsizetype index = -1;
    };
    QList<Segment> stack;

    QString path() const
    {
        QString p;
        for (const Segment &s : stack) {
            if (s.index >= 0)
                p += QStringLiteral("[%1]").arg(s.index);
            else
                p += p.isEmpty() ? s.key : QLatin1Char('.') + s.key;
        }
        return p;
    }

    bool number(const QJsonValue &v)
    {
        const double d = v.toDouble();
        char buf[40];
        if (std::fabs(d) >= 9007199254740992.0 && std::fabs(d) <= 9223372036854775808.0) {
            // Only here can a stored integer differ from its double; ask the slow way.
            const QCborValue cbor = QCborValue::fromJsonValue(v);
            if (cbor.isInteger()) {
                out += QByteArray::number(cbor.toInteger());
                return true;
            }
        }
        if (!std::isfinite(d)) {
            error = QStringLiteral("the number at \"%1\" is not finite").arg(path());
            return false;
        }
        if (d == 0) {
            out += std::signbit(d) ? "-0" : "0";
        } else if (std::fabs(d) < 9007199254740992.0 && std::trunc(d) == d) {
            const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(d));
            out.append(buf, r.ptr - buf);
        } else {
            const auto r = std::to_chars(buf, buf + sizeof buf, d); // shortest round-trip form
            out.append(buf, r.ptr - buf);
        }
        return true;
    }

    void string(QStringView s)
    {
        if (currentScope && s.startsWith(currentScope->marker)) {
            bool ok = false;
            const qsizetype i = s.mid(currentScope->marker.size()).toLongLong(&ok);
            if (ok && i >= 0 && i < currentScope->bytes.size()) {
                out += '"';
                appendBase64(out, currentScope->bytes[i]);
                out += '"';
                return;
            }
        }
        // UTF-16 straight to escaped UTF-8 through a raw pointer: no intermediate copy and no
        // per-byte append, which matters for the base64 of pictures. Worst case 6 bytes a unit.
        out += '"';
        const char16_t *p = s.utf16();
        const char16_t *const end = p + s.size();
        while (p < end) {
            const qsizetype chunk = std::min<qsizetype>(end - p, 4096);
            const char16_t *const stop = p + chunk;
            const qsizetype start = out.size();
            out.resize(start + chunk * 6 + 4); // + 4: a pair may straddle the chunk's end
            char *w = out.data() + start;
            while (p < stop) {
                const char16_t c = *p++;
                if (c < 0x80) {
                    const char *esc = nullptr;
                    switch (c) {
                    case '"': esc = "\\\""; break;
                    case '\\': esc = "\\\\"; break;
                    case '/': esc = "\\/"; break;
                    case '\b': esc = "\\b"; break;
                    case '\f': esc = "\\f"; break;
                    case '\n': esc = "\\n"; break;
                    case '\r': esc = "\\r"; break;
                    case '\t': esc = "\\t"; break;
                    default:
                        if (c < 0x20) {
                            w += std::snprintf(w, 7, "\\u%04x", unsigned(c));
                            continue;
                        }
                        *w++ = char(c);
                        continue;
                    }
                    *w++ = esc[0];
                    *w++ = esc[1];
                    continue;
                }
                char32_t cp = c;
                if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p))
                    cp = QChar::surrogateToUcs4(c, *p++);
                else if (QChar::isSurrogate(c))
                    cp = 0xFFFD; // a lone surrogate has no UTF-8 form
                if (cp < 0x800) {
                    *w++ = char(0xC0 | (cp >> 6));
                } else if (cp < 0x10000) {
                    *w++ = char(0xE0 | (cp >> 12));
                    *w++ = char(0x80 | ((cp >> 6) & 0x3F));
                } else {
                    *w++ = char(0xF0 | (cp >> 18));
                    *w++ = char(0x80 | ((cp >> 12) & 0x3F));
                    *w++ = char(0x80 | ((cp >> 6) & 0x3F));
                }
                *w++ = char(0x80 | (cp & 0x3F));
            }
            out.truncate(w - out.constData());
        }
        out += '"';
    }

    // UTF-8 byte order, which UTF-16 order matches except for surrogates.
    static bool keyLess(QStringView a, QStringView b)
    {
        const qsizetype n = std::min(a.size(), b.size());
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t x = a[i].unicode(), y = b[i].unicode();
            if (x != y) {
                auto order = [](char16_t c) -> int { return c >= 0xE000 ? c - 0x800 : c >= 0xD800 ? c + 0x2000 : c; };
                return order(x) < order(y);
            }
        }
        return a.size() < b.size();
    }

    bool value(const QJsonValue &v)
    {
        switch (v.type()) {
        case QJsonValue::Null:
        case QJsonValue::Undefined:
            out += "null";
            return true;
        case QJsonValue::Bool:
            out += v.toBool() ? "true" : "false";
            return true;
        case QJsonValue::Double:
            return number(v);
        case QJsonValue::String:
            string(v.toString());
            return true;
        case QJsonValue::Array: {
            const QJsonArray a = v.toArray();
            out += '[';
            for (qsizetype i = 0; i < a.size(); ++i) {
                if (i)
                    out += ',';
                stack.append({{}, i});
                if (!value(a.at(i)))
                    return false;
                stack.removeLast();
            }
            out += ']';
            return true;
        }
        case QJsonValue::Object: {
            const QJsonObject o = v.toObject();
            QVarLengthArray<QJsonObject::const_iterator, 32> items;
            for (auto it = o.constBegin(); it != o.constEnd(); ++it)
                items.append(it);
            auto less = [](const auto &a, const auto &b) { return keyLess(a.key(), b.key()); };
            if (!std::is_sorted(items.begin(), items.end(), less))
                std::sort(items.begin(), items.end(), less);
            out += '{';
            bool first = true;
            for (const auto &it : items) {
                if (!first)
                    out += ',';
                first = false;
                const QString key = it.key();
                string(key);
                out += ':';
                stack.append({key, -1});
                if (!value(it.value()))
                    return false;
                stack.removeLast();
            }
            out += '}';
            return true;
        }
        }
        return false;
    }
};

} // namespace

namespace LWJson {

std::optional<QByteArray> write(const QJsonValue &value, QString *error)
{
    Writer w;
    if (!w.value(value)) {
        if (error)
            *error = w.error;
        return std::nullopt;
    }
    return std::move(w.out);
}

} // namespace LWJson

struct LWJson::Blobs {
    QByteArray source; // the text they came from (shared, not copied)
    struct Blob {
        qsizetype begin = 0, end = 0; // the string's characters in source, between the quotes
        QByteArray bytes;             // decoded
    };
    QList<Blob> blobs;
};

namespace {

// Strings shorter than this stay in the parsed tree.
constexpr qsizetype minBlobChars = 1024;

constexpr uchar notBase64 = 0xFF, padding = 0xFE, escape = 0xFD;
constexpr auto base64Table = [] {
    std::array<uchar, 256> t{};
    t.fill(notBase64);
    for (int i = 0; i < 26; ++i) {
        t[size_t('A' + i)] = uchar(i);
        t[size_t('a' + i)] = uchar(26 + i);
    }
    for (int i = 0; i < 10; ++i)
        t[size_t('0' + i)] = uchar(52 + i);
    t[size_t('+')] = 62;
    t[size_t('/')] = 63;
    t[size_t('=')] = padding;
    t[size_t('\\')] = escape;
    return t;
}();

// Decodes a string's characters as written (a solidus may be escaped) if they are strict Base64:
// standard alphabet, length a multiple of four, "=" only as the last one or two. Decodes to what
// QByteArray::fromBase64 makes of the unescaped text.
bool decodeBase64(const uchar *p, const uchar *const end, QByteArray &out)
{
    out.resize((end - p) / 4 * 3 + 3);
    auto *w = reinterpret_cast<uchar *>(out.data());
    quint32 acc = 0;
    int k = 0; // characters of the current group so far
    while (p < end) {
        if (k == 0) {
            while (end - p >= 4) {
                const quint32 a = base64Table[p[0]], b = base64Table[p[1]], c = base64Table[p[2]],
                              d = base64Table[p[3]];
                if ((a | b | c | d) >= 64)
                    break;
                const quint32 v = a << 18 | b << 12 | c << 6 | d;
                w[0] = uchar(v >> 16);
                w[1] = uchar(v >> 8);
                w[2] = uchar(v);
                w += 3;
                p += 4;
            }
            if (p == end)
                break;
        }
        uchar v = base64Table[*p++];
        if (v == escape) {
            if (p == end || *p != '/')
                return false;
            ++p;
            v = 63;
        }
        if (v < 64) {
            acc = acc << 6 | v;
            if (++k == 4) {
                w[0] = uchar(acc >> 16);
                w[1] = uchar(acc >> 8);
                w[2] = uchar(acc);
                w += 3;
                k = 0;
                acc = 0;
            }
            continue;
        }
        if (v != padding)
            return false;
        if (k == 3 && p == end) {
            w[0] = uchar(acc >> 10);
            w[1] = uchar(acc >> 2);
            w += 2;
        } else if (k == 2 && end - p == 1 && *p == '=') {
            w[0] = uchar(acc >> 4);
            w += 1;
        } else {
            return false;
        }
        k = 0;
        p = end;
    }
    if (k != 0)
        return false;
    out.truncate(w - reinterpret_cast<uchar *>(out.data()));
    return true;
}

// Whether a string's characters as written (a solidus may be escaped) are strict Base64, as
// decodeBase64 takes them.
bool isStrictBase64(QByteArrayView written)
{
    const auto *p = reinterpret_cast<const uchar *>(written.data());
    const auto *const end = p + written.size();
    qsizetype k = 0; // characters so far, escapes counted once
    while (p < end) {
        while (end - p >= 8 && (base64Table[p[0]] | base64Table[p[1]] | base64Table[p[2]] | base64Table[p[3]] |
                                base64Table[p[4]] | base64Table[p[5]] | base64Table[p[6]] | base64Table[p[7]]) < 64) {
            p += 8;
            k += 8;
        }
        if (p == end)
            break;
        uchar v = base64Table[*p++];
        if (v == escape) {
            if (p == end || *p++ != '/')
                return false;
            v = 63;
        }
        if (v < 64) {
            ++k;
            continue;
        }
        if (v != padding)
            return false;
        // "=" ends the text: last of a group of three characters, or "==" after two.
        const bool one = k % 4 == 3 && p == end, two = k % 4 == 2 && end - p == 1 && *p == '=';
        return one || two;
    }
    return k % 4 == 0;
}

// The text for Qt's parser. Our files escape every solidus, and Qt's parser builds an escaped
// string one character at a time: far slower for long strings. Inside strings "\/" means "/", so
// those backslashes go. With blobs, each long strict-Base64 string is decoded into a blob and
// written as "\u0001" and its index. Should any other string hold U+0001, it all starts again
// without blobs, so that a stand-in is never confused with a text.
// Anything malformed stays malformed for the parser to refuse, at the same place.
// Whether the string between the quotes `open` and `close` passes a limit. `base64`: it is strict
// Base64, so that under pictureKey it holds a picture's bytes, no text.
bool passes(LWJson::TextLimits &limits, qint64 &allText, const char *begin, const char *open, const char *close,
            bool base64)
{
    using Passed = LWJson::TextLimits::Passed;
    const QByteArrayView before(begin, close - begin);
    if (base64 && LWJson::keyBefore(before, open - begin) == QLatin1String(LWJson::pictureKey))
        return false;
    const qsizetype length = close - open - 1;
    if (length > limits.one) {
        limits.passed = Passed::one;
        limits.key = LWJson::keyBefore(before, open - begin);
        return true;
    }
    if ((allText += length) > limits.all) {
        limits.passed = Passed::all;
        return true;
    }
    return false;
}

QByteArray prepared(const QByteArray &bytes, LWJson::Blobs *blobs, LWJson::TextLimits *limits = nullptr)
{
    if (!blobs && !limits && !bytes.contains("\\/"))
        return bytes;
    qint64 allText = 0;
    QByteArray out(bytes.size(), Qt::Uninitialized);
    const char *const begin = bytes.constData();
    const char *p = begin;
    const char *const end = p + bytes.size();
    char *w = out.data();
    bool spelled = false; // a string holds what a stand-in holds (outside strings it is no JSON)
    while (p < end) {
        const char *quote = static_cast<const char *>(std::memchr(p, '"', size_t(end - p)));
        const char *const stop = quote ? quote + 1 : end;
        std::memcpy(w, p, size_t(stop - p));
        w += stop - p;
        p = stop;
        if (!quote)
            break;
        const char *const open = quote;
        // The string's end: the first quote not escaped by an odd run of backslashes.
        const char *close = p;
        for (;;) {
            close = static_cast<const char *>(std::memchr(close, '"', size_t(end - close)));
            if (!close)
                break;
            const char *s = close;
            while (s > p && s[-1] == '\\')
                --s;
            if ((close - s) % 2 == 0)
                break;
            ++close;
        }
        const char *const last = close ? close : end;
        // An overlong text is refused before its Base64 look-alike would be decoded.
        if (limits && close && close - p > limits->one &&
            LWJson::keyBefore({begin, close - begin}, open - begin) != QLatin1String(LWJson::pictureKey) &&
            passes(*limits, allText, begin, open, close, false))
            return {};
        if (blobs && close && close - p >= minBlobChars) {
            LWJson::Blobs::Blob blob{p - begin, close - begin, {}};
            if (decodeBase64(reinterpret_cast<const uchar *>(p), reinterpret_cast<const uchar *>(close), blob.bytes)) {
                const QByteArray standIn = "\\u0001" + QByteArray::number(blobs->blobs.size());
                std::memcpy(w, standIn.constData(), size_t(standIn.size()));
                w += standIn.size();
                blobs->blobs.append(std::move(blob));
                p = close;
            }
        }
        if (limits && close) {
            // Strict Base64 is only looked for here without blobs, in the rare text that needs it.
            const bool base64 = p == close ||
                                (!blobs && close - p >= minBlobChars && isStrictBase64({p, close - p}));
            if (passes(*limits, allText, begin, open, close, base64))
                return {};
        }
        while (p < last) {
            const char c = *p++;
            if (c == '\\' && p < last) {
                if (*p != '/')
                    *w++ = c;
                if (blobs && *p == 'u' && last - p >= 5 && std::memcmp(p, "u0001", 5) == 0)
                    spelled = true;
                *w++ = *p++;
                continue;
            }
            spelled = spelled || (blobs && c == '\x01');
            *w++ = c;
        }
        if (close) { // the closing quote
            *w++ = '"';
            ++p;
        }
    }
    if (spelled && blobs) { // rare: then without blobs, so that no text reads as a stand-in
        blobs->blobs.clear();
        return prepared(bytes, nullptr, limits);
    }
    out.truncate(w - out.data());
    return out;
}

std::optional<QJsonValue> parsePrepared(const QByteArray &text)
{
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &err);
    if (err.error != QJsonParseError::NoError || doc.isNull())
        return std::nullopt;
    if (doc.isObject())
        return QJsonValue(doc.object());
    return QJsonValue(doc.array());
}

} // namespace

namespace LWJson {

std::optional<QJsonValue> parse(const QByteArray &bytes) { return parsePrepared(prepared(bytes, nullptr)); }

std::optional<Parsed> parseWithBlobs(const QByteArray &bytes, TextLimits *limits)
{
    auto blobs = std::make_shared<Blobs>();
    const QByteArray text = prepared(bytes, blobs.get(), limits);
    if (limits && limits->passed != TextLimits::Passed::none)
        return std::nullopt;
    std::optional<QJsonValue> value = parsePrepared(text);
    if (!value)
        return std::nullopt;
    if (blobs->blobs.isEmpty())
        return Parsed{std::move(*value), nullptr};
    blobs->source = bytes;
    return Parsed{std::move(*value), std::move(blobs)};
}

QString keyBefore(QByteArrayView text, qsizetype quote)
{
    const char *const begin = text.data();
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    const char *p = begin + quote;
    while (p > begin && blank(p[-1]))
        --p;
    if (p == begin || *--p != ':')
        return {};
    while (p > begin && blank(p[-1]))
        --p;
    if (p == begin || p[-1] != '"')
        return {};
    const char *const close = --p;
    while (p > begin && p[-1] != '"' && close - p < 64)
        --p;
    return p > begin && p[-1] == '"' ? QString::fromUtf8(p, close - p) : QString();
}

QString uuidText(const QUuid &id) { return id.toString(QUuid::WithoutBraces).toUpper(); }

QJsonValue to(double v) { return QJsonValue(v); }
QJsonValue to(qint64 v) { return QJsonValue(v); }
QJsonValue to(bool v) { return QJsonValue(v); }
QJsonValue to(const QString &v) { return QJsonValue(v); }
QJsonValue to(const QUuid &v) { return QJsonValue(uuidText(v)); }
QJsonValue to(const QByteArray &bytes)
{
    if (BytesScope::State *scope = currentScope) {
        scope->bytes.append(bytes);
        return QJsonValue(scope->marker + QString::number(scope->bytes.size() - 1));
    }
    return QJsonValue(QString::fromLatin1(bytes.toBase64()));
}

BytesScope::BytesScope() : m_state(std::make_unique<State>()), m_outer(currentScope)
{
    m_state->marker = QChar(1) + QString::number(QRandomGenerator::global()->generate64(), 36) + QChar(':');
    currentScope = m_state.get();
}

BytesScope::~BytesScope() { currentScope = m_outer; }
QJsonValue to(const LWRect &r) { return QJsonArray{QJsonArray{r.x, r.y}, QJsonArray{r.w, r.h}}; }
QJsonValue to(const QPointF &p) { return QJsonArray{p.x(), p.y()}; }

} // namespace LWJson

// ---------------------------------------------------------------- reading

LWJsonIn::LWJsonIn(QJsonValue value, QString path) : m_value(std::move(value)), m_parent(std::move(path)) {}

LWJsonIn::LWJsonIn(const LWJson::Parsed &parsed) : m_value(parsed.value), m_blobs(parsed.blobs) {}

LWJsonIn LWJsonIn::child(QJsonValue value, QString parentPath, const char *key, qsizetype index) const
{
    LWJsonIn in(std::move(value), std::move(parentPath), key, index);
    in.m_blobs = m_blobs;
    return in;
}

qsizetype LWJsonIn::blobIndex() const
{
    if (!m_blobs || !m_value.isString())
        return -1;
    const QString s = m_value.toString();
    if (!s.startsWith(QChar(1)))
        return -1;
    bool ok = false;
    const qsizetype i = s.mid(1).toLongLong(&ok);
    return ok && i >= 0 && i < m_blobs->blobs.size() ? i : -1;
}

LWJsonIn::LWJsonIn(QJsonValue value, QString parentPath, const char *key, qsizetype index)
    : m_value(std::move(value)), m_parent(std::move(parentPath)), m_key(key), m_index(index)
{
}

QString LWJsonIn::path() const
{
    if (m_key)
        return m_parent.isEmpty() ? QString::fromLatin1(m_key) : m_parent + QLatin1Char('.') + QLatin1String(m_key);
    if (m_index >= 0)
        return m_parent + QStringLiteral("[%1]").arg(m_index);
    return m_parent;
}

void LWJsonIn::fail(const QString &message) const { throw LWJsonError(path(), message); }

double LWJsonIn::number() const
{
    if (!m_value.isDouble())
        fail(QStringLiteral("expected a number"));
    return m_value.toDouble();
}

qint64 LWJsonIn::integer() const
{
    if (!m_value.isDouble())
        fail(QStringLiteral("expected a whole number"));
    const QCborValue cbor = QCborValue::fromJsonValue(m_value);
    if (cbor.isInteger())
        return cbor.toInteger();
    const double d = m_value.toDouble();
    if (std::trunc(d) != d || d < -9223372036854775808.0 || d >= 9223372036854775808.0)
        fail(QStringLiteral("expected a whole number in the 64-bit range"));
    return static_cast<qint64>(d);
}

bool LWJsonIn::boolean() const
{
    if (!m_value.isBool())
        fail(QStringLiteral("expected true or false"));
    return m_value.toBool();
}

QString LWJsonIn::string() const
{
    if (!m_value.isString())
        fail(QStringLiteral("expected a string"));
    if (const qsizetype i = blobIndex(); i >= 0) { // its text, as the parser would have made it
        const LWJson::Blobs::Blob &b = m_blobs->blobs[i];
        QByteArray text = m_blobs->source.mid(b.begin, b.end - b.begin);
        text.replace("\\/", "/");
        return QString::fromLatin1(text);
    }
    return m_value.toString();
}

QUuid LWJsonIn::uuid() const
{
    const QString s = string();
    bool ok = s.size() == 36;
    for (qsizetype i = 0; ok && i < s.size(); ++i) {
        const QChar c = s[i];
        if (i == 8 || i == 13 || i == 18 || i == 23)
            ok = c == QLatin1Char('-');
        else
            ok = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
                 (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
    }
    if (!ok)
        fail(QStringLiteral("\"%1\" is not a UUID").arg(s.left(60)));
    return QUuid::fromString(s);
}

QByteArray LWJsonIn::base64() const
{
    if (const qsizetype i = blobIndex(); i >= 0)
        return m_blobs->blobs[i].bytes; // checked and decoded while parsing
    const QString s = string();
    const qsizetype n = s.size();
    bool ok = n % 4 == 0;
    qsizetype padding = 0;
    for (qsizetype i = 0; ok && i < n; ++i) {
        const ushort c = s[i].unicode();
        if (c == '=') {
            ++padding;
            ok = i >= n - 2;
        } else {
            ok = padding == 0 && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                  c == '+' || c == '/');
        }
    }
    if (!ok)
        fail(QStringLiteral("expected Base64 data"));
    return QByteArray::fromBase64(s.toLatin1());
}

QList<LWJsonIn> LWJsonIn::array() const
{
    if (!m_value.isArray())
        fail(QStringLiteral("expected an array"));
    const QJsonArray a = m_value.toArray();
    const QString here = path();
    QList<LWJsonIn> out;
    out.reserve(a.size());
    for (qsizetype i = 0; i < a.size(); ++i)
        out.append(child(a.at(i), here, nullptr, i));
    return out;
}

QPointF LWJsonIn::point() const
{
    const auto items = array();
    if (items.size() != 2)
        fail(QStringLiteral("expected a pair of numbers"));
    return {items[0].number(), items[1].number()};
}

LWRect LWJsonIn::rect() const
{
    const auto items = array();
    if (items.size() != 2)
        fail(QStringLiteral("expected [[x, y], [width, height]]"));
    const QPointF o = items[0].point(), s = items[1].point();
    return {o.x(), o.y(), s.x(), s.y()};
}

QJsonObject LWJsonIn::object() const
{
    if (!m_value.isObject())
        fail(QStringLiteral("expected an object"));
    return m_value.toObject();
}

LWJsonIn LWJsonIn::operator[](const char *key) const
{
    const QJsonObject o = object();
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        LWJsonIn(v, path(), key, -1).fail(QStringLiteral("missing required key"));
    return child(v, path(), key, -1);
}

std::optional<LWJsonIn> LWJsonIn::optional(const char *key) const
{
    const QJsonObject o = object();
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    return child(v, path(), key, -1);
}
