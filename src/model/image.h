#pragma once
#include "model/style.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

class LWJsonIn;

// The picture of a photo frame. The encoded bytes live in the record (implicitly shared, so
// copies of a document share one buffer); decoded images live in the picture cache under
// assetID, which therefore must change whenever the bytes do.
struct LWImage {
    QString assetID;
    std::optional<QByteArray> data; // absent for an empty frame
    LWImageFit fit = LWImageFit::fill;
    // Fractions of the picture cut away before fitting; taken as stored, never checked.
    double cropL = 0, cropT = 0, cropR = 0, cropB = 0;
    LWMask mask = LWMask::none;

    // An empty frame with a new upper-case UUID text as assetID, fit fill and no crops.
    static LWImage empty(LWMask mask = LWMask::none);

    QJsonObject toJson() const; // "data" as base64, left out when absent
    static LWImage fromJson(const LWJsonIn &in);
    // Bytes shared by two copies are equal without reading them (an edit compares its page).
    friend bool operator==(const LWImage &a, const LWImage &b);
};
