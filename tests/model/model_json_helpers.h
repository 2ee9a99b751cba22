#pragma once
#include "model/file/json.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

// Writes a record through the canonical writer and reads it back with the strict reader.
template <class T> T roundTrip(const T &value)
{
    const auto bytes = LWJson::write(value.toJson());
    EXPECT_TRUE(bytes.has_value());
    const auto parsed = LWJson::parse(bytes.value_or(QByteArray()));
    EXPECT_TRUE(parsed.has_value());
    return T::fromJson(LWJsonIn(parsed.value_or(QJsonValue())));
}

// The path named by the reading error of a JSON object, or "no error".
template <class T> QString readError(const QJsonObject &o)
{
    try {
        (void)T::fromJson(LWJsonIn(o));
    } catch (const LWJsonError &e) {
        return e.path();
    }
    return QStringLiteral("no error");
}
