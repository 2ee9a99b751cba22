#include "model/json.h"

#include <QCborValue>
#include <QJsonDocument>
#include <QVarLengthArray>
#include <algorithm>
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

namespace {

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

// Our files escape every solidus, and Qt's parser builds an escaped string one character at a
// time: far slower for the base64 of a picture. Inside strings "\/" means "/", so drop those
// backslashes first. Anything malformed stays malformed for the parser to refuse.
static QByteArray withPlainSolidus(const QByteArray &bytes)
{
    if (!bytes.contains("\\/"))
        return bytes;
    QByteArray out(bytes.size(), Qt::Uninitialized);
    const char *p = bytes.constData();
    const char *const end = p + bytes.size();
    char *w = out.data();
    bool inString = false;
    while (p < end) {
        const char c = *p++;
        if (c == '"') {
            inString = !inString;
        } else if (inString && c == '\\' && p < end) {
            if (*p != '/')
                *w++ = c;
            *w++ = *p++;
            continue;
        }
        *w++ = c;
    }
    out.truncate(w - out.data());
    return out;
}

std::optional<QJsonValue> parse(const QByteArray &bytes)
{
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(withPlainSolidus(bytes), &err);
    if (err.error != QJsonParseError::NoError || doc.isNull())
        return std::nullopt;
    if (doc.isObject())
        return QJsonValue(doc.object());
    return QJsonValue(doc.array());
}

QString uuidText(const QUuid &id) { return id.toString(QUuid::WithoutBraces).toUpper(); }

QJsonValue to(double v) { return QJsonValue(v); }
QJsonValue to(qint64 v) { return QJsonValue(v); }
QJsonValue to(bool v) { return QJsonValue(v); }
QJsonValue to(const QString &v) { return QJsonValue(v); }
QJsonValue to(const QUuid &v) { return QJsonValue(uuidText(v)); }
QJsonValue to(const QByteArray &bytes) { return QJsonValue(QString::fromLatin1(bytes.toBase64())); }
QJsonValue to(const LWRect &r) { return QJsonArray{QJsonArray{r.x, r.y}, QJsonArray{r.w, r.h}}; }
QJsonValue to(const QPointF &p) { return QJsonArray{p.x(), p.y()}; }

} // namespace LWJson

// ---------------------------------------------------------------- reading

LWJsonIn::LWJsonIn(QJsonValue value, QString path) : m_value(std::move(value)), m_parent(std::move(path)) {}

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
        out.append(LWJsonIn(a.at(i), here, nullptr, i));
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
    return LWJsonIn(v, path(), key, -1);
}

std::optional<LWJsonIn> LWJsonIn::optional(const char *key) const
{
    const QJsonObject o = object();
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    return LWJsonIn(v, path(), key, -1);
}
