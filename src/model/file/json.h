#pragma once
#include "model/enums.h"
#include "model/rect.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPointF>
#include <QString>
#include <QUuid>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>

// The JSON base of the design file.
//
// Writing: records build QJsonValues with LWJson::to(...) and LWJson::write turns them into the
// canonical bytes: compact, keys ascending at every depth, "/" escaped, non-ASCII as raw UTF-8,
// shortest round-trip doubles (integral values below 2^53 as integers). NaN or infinity fails.
//
// Reading: LWJsonIn is a value with its path ("pages[0].elements[2].frame"); its strict getters
// throw LWJsonError naming that path. Decoders catch it at their boundary.

class LWJsonError : public std::runtime_error {
public:
    LWJsonError(QString path, QString message);
    const QString &path() const { return m_path; }
    const QString &message() const { return m_message; }
    QString description() const; // human-readable, names the path
private:
    QString m_path, m_message;
};

namespace LWJson {
// Canonical bytes; nothing when a number is NaN or infinite (error says where).
[[nodiscard]] std::optional<QByteArray> write(const QJsonValue &value, QString *error = nullptr);
// Parses any JSON text; nothing when it is not JSON.
[[nodiscard]] std::optional<QJsonValue> parse(const QByteArray &bytes);

// Long strings that are strict Base64 (pictures), decoded while the text is scanned and kept out
// of the parsed tree, which holds a short stand-in string for each; LWJsonIn resolves them.
struct Blobs;
struct Parsed {
    QJsonValue value;
    std::shared_ptr<const Blobs> blobs;
};
// Texts refused before the parser holds them (it holds each twice over as UTF-16): any one longer
// than `one` bytes as written, or all together longer than `all`. A picture's bytes (strict
// Base64 under pictureKey) are no text.
struct TextLimits {
    qint64 one = 0, all = 0;
    // Which limit was passed, and the key whose value the text is (when it is an object member).
    enum class Passed { none, one, all } passed = Passed::none;
    QString key;
};
inline constexpr char pictureKey[] = "data";
// As parse (the same texts refused, at the same places), without turning pictures into UTF-16.
// With `limits`, nothing as well when a limit was passed (the limits say which).
[[nodiscard]] std::optional<Parsed> parseWithBlobs(const QByteArray &bytes, TextLimits *limits = nullptr);
// The key before the string whose opening quote is at `quote` in a JSON text, when the string is
// an object's member and the key is short; else empty.
[[nodiscard]] QString keyBefore(QByteArrayView text, qsizetype quote);

// While one lives on this thread, to(QByteArray) keeps the bytes aside under a stand-in string
// and write() puts their Base64 straight into its output. Values made in the scope are for
// write() in the scope only.
class BytesScope {
public:
    BytesScope();
    ~BytesScope();
    BytesScope(const BytesScope &) = delete;
    BytesScope &operator=(const BytesScope &) = delete;

    struct State;
private:
    std::unique_ptr<State> m_state;
    State *m_outer;
};

QString uuidText(const QUuid &id); // 36 characters, upper case

QJsonValue to(double v);
QJsonValue to(qint64 v);
inline QJsonValue to(int v) { return to(qint64(v)); }
QJsonValue to(bool v);
QJsonValue to(const QString &v);
QJsonValue to(const QUuid &v);
QJsonValue to(const QByteArray &bytes); // base64
QJsonValue to(const LWRect &r);         // [[x,y],[w,h]]
QJsonValue to(const QPointF &p);        // [x,y]
template <LWStoredEnum E> QJsonValue to(E e) { return QJsonValue(LWEnum::text(e)); }
template <class T>
    requires requires(const T &t) { t.toJson(); }
QJsonValue to(const T &record)
{
    return record.toJson();
}
template <class T> QJsonValue to(const QList<T> &list)
{
    QJsonArray a;
    for (const T &item : list)
        a.append(to(item));
    return a;
}

// Inserts an optional field only when it holds a value.
template <class T> void putOptional(QJsonObject &o, const char *key, const std::optional<T> &v)
{
    if (v)
        o.insert(QLatin1String(key), to(*v));
}
} // namespace LWJson

class LWJsonIn {
public:
    explicit LWJsonIn(QJsonValue value, QString path = {});
    explicit LWJsonIn(const LWJson::Parsed &parsed);

    QString path() const; // spelled out on demand: most values never need it
    const QJsonValue &raw() const { return m_value; }
    bool isNull() const { return m_value.isNull() || m_value.isUndefined(); }

    double number() const;
    qint64 integer() const; // a whole number within the 64-bit range
    bool boolean() const;
    QString string() const;
    QUuid uuid() const;       // 36-character hyphenated form, either letter case
    QByteArray base64() const; // standard alphabet with padding, nothing else
    LWRect rect() const;
    QPointF point() const;
    QList<LWJsonIn> array() const;
    template <LWStoredEnum E> E enumeration() const
    {
        const QString s = string();
        if (auto e = LWEnum::fromText<E>(s))
            return *e;
        fail(QStringLiteral("\"%1\" is not a valid value").arg(s));
    }

    // Members of an object: required (present, not null) or optional (absent or null = nothing).
    // The key is kept, not copied: pass a string literal.
    LWJsonIn operator[](const char *key) const;
    std::optional<LWJsonIn> optional(const char *key) const;

    template <class T> T as() const;
    template <class T> T get(const char *key) const { return (*this)[key].as<T>(); }
    template <class T> std::optional<T> opt(const char *key) const
    {
        if (auto v = optional(key))
            return v->as<T>();
        return std::nullopt;
    }

    [[noreturn]] void fail(const QString &message) const;

private:
    LWJsonIn(QJsonValue value, QString parentPath, const char *key, qsizetype index);
    LWJsonIn child(QJsonValue value, QString parentPath, const char *key, qsizetype index) const;
    QJsonObject object() const;
    qsizetype blobIndex() const; // -1 unless the value stands in for a blob
    QJsonValue m_value;
    std::shared_ptr<const LWJson::Blobs> m_blobs;
    QString m_parent;              // the parent's path (shared, not copied)
    const char *m_key = nullptr;   // this value's key in its parent object, or
    qsizetype m_index = -1;        // its index in its parent array
};

template <class T> struct LWIsQList : std::false_type {};
template <class T> struct LWIsQList<QList<T>> : std::true_type {
    using Item = T;
};

template <class T> T LWJsonIn::as() const
{
    if constexpr (std::is_same_v<T, double>)
        return number();
    else if constexpr (std::is_same_v<T, qint64>)
        return integer();
    else if constexpr (std::is_same_v<T, int>) {
        const qint64 v = integer();
        if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
            fail(QStringLiteral("number %1 is out of range").arg(v));
        return int(v);
    } else if constexpr (std::is_same_v<T, bool>)
        return boolean();
    else if constexpr (std::is_same_v<T, QString>)
        return string();
    else if constexpr (std::is_same_v<T, QUuid>)
        return uuid();
    else if constexpr (std::is_same_v<T, QByteArray>)
        return base64();
    else if constexpr (std::is_same_v<T, LWRect>)
        return rect();
    else if constexpr (std::is_same_v<T, QPointF>)
        return point();
    else if constexpr (LWStoredEnum<T>)
        return enumeration<T>();
    else if constexpr (LWIsQList<T>::value) {
        T out;
        const auto items = array();
        out.reserve(items.size());
        for (const LWJsonIn &item : items)
            out.append(item.as<typename LWIsQList<T>::Item>());
        return out;
    } else
        return T::fromJson(*this);
}
