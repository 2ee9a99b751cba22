#pragma once
#include <QList>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>
#include <string_view>

// One mechanism for every stored enumeration: LW_ENUM declares the cases once, and their case
// names are their stored texts (case-sensitive, no fallback), in declaration order.
template <class E> struct LWEnumInfo;

namespace LWEnumDetail {
constexpr size_t countNames(std::string_view list)
{
    size_t n = 1;
    for (char c : list)
        n += c == ',';
    return n;
}
template <size_t N> constexpr std::array<std::string_view, N> splitNames(std::string_view list)
{
    std::array<std::string_view, N> out{};
    size_t i = 0, start = 0;
    auto trim = [](std::string_view s) {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\n'))
            s.remove_prefix(1);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\n'))
            s.remove_suffix(1);
        return s;
    };
    for (size_t p = 0; p <= list.size(); ++p) {
        if (p == list.size() || list[p] == ',') {
            out[i++] = trim(list.substr(start, p - start));
            start = p + 1;
        }
    }
    return out;
}
} // namespace LWEnumDetail

template <class E>
concept LWStoredEnum = requires { LWEnumInfo<E>::names; };

#define LW_ENUM(Name, ...)                                                                                   \
    enum class Name { __VA_ARGS__ };                                                                         \
    template <> struct LWEnumInfo<Name> {                                                                    \
        static constexpr std::string_view list = #__VA_ARGS__;                                               \
        static constexpr auto names =                                                                        \
            LWEnumDetail::splitNames<LWEnumDetail::countNames(#__VA_ARGS__)>(#__VA_ARGS__);                  \
    }

namespace LWEnum {
template <LWStoredEnum E> QString text(E e)
{
    const auto &names = LWEnumInfo<E>::names;
    const auto i = size_t(e);
    if (i >= names.size())
        return {};
    return QString::fromLatin1(names[i].data(), qsizetype(names[i].size()));
}

template <LWStoredEnum E> std::optional<E> fromText(QStringView text)
{
    const auto &names = LWEnumInfo<E>::names;
    for (size_t i = 0; i < names.size(); ++i)
        if (text == QLatin1StringView(names[i].data(), qsizetype(names[i].size())))
            return E(i);
    return std::nullopt;
}

template <LWStoredEnum E> QList<E> allCases()
{
    QList<E> out;
    for (size_t i = 0; i < LWEnumInfo<E>::names.size(); ++i)
        out.append(E(i));
    return out;
}
} // namespace LWEnum
