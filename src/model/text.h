#pragma once
#include "model/color.h"
#include "model/style.h"

#include <QJsonObject>
#include <QString>

class LWJsonIn;

// The text run of a text element with every typographic setting of its box.
// Every field is required in the file; nothing takes a default on reading.
struct LWText {
    QString string;   // as typed, line breaks included; `uppercase` never rewrites it
    QString fontName; // PostScript name, resolved by the font registry
    double size = 12; // points
    LWColor color = LWColor::black;
    double tracking = 0; // thousandths of the size added to every advance
    double leading = 1;  // factor of the natural line height
    LWTextAlign align = LWTextAlign::left;
    LWVAlign vAlign = LWVAlign::top;
    bool underline = false;
    bool uppercase = false;
    bool placeholder = false; // still a template's sample text

    LWText() = default;
    LWText(QString string, QString font, double size, const LWColor &color, double tracking = 0, double leading = 1,
           LWTextAlign align = LWTextAlign::left, LWVAlign vAlign = LWVAlign::top, bool underline = false,
           bool uppercase = false, bool placeholder = false);

    // The first n user-perceived characters of s (all of s when shorter), never splitting one:
    // the default name of a text element.
    static QString leadingCharacters(const QString &s, int n);

    QJsonObject toJson() const;
    static LWText fromJson(const LWJsonIn &in); // throws LWJsonError
    friend bool operator==(const LWText &, const LWText &) = default;
};
