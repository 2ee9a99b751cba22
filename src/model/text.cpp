#include "model/text.h"

#include "model/file/json.h"

#include <QTextBoundaryFinder>

#include <algorithm>

LWText::LWText(QString string_, QString font, double size_, const LWColor &color_, double tracking_, double leading_,
               LWTextAlign align_, LWVAlign vAlign_, bool underline_, bool uppercase_, bool placeholder_)
    : string(std::move(string_)), fontName(std::move(font)), size(size_), color(color_), tracking(tracking_),
      leading(leading_), align(align_), vAlign(vAlign_), underline(underline_), uppercase(uppercase_),
      placeholder(placeholder_)
{
}

namespace {

bool regionalIndicatorAt(const QString &s, qsizetype i)
{
    if (i < 0 || i + 1 >= s.size() || !s[i].isHighSurrogate() || !s[i + 1].isLowSurrogate())
        return false;
    const char32_t c = QChar::surrogateToUcs4(s[i], s[i + 1]);
    return c >= 0x1F1E6 && c <= 0x1F1FF;
}

// Where each user-perceived character ends. Qt 6.4 loses the pairing of regional indicators
// after an emoji (a grinning face then a flag gives three characters): inside a run of them a character
// ends after every second one, whatever Qt says.
QList<qsizetype> characterEnds(const QString &s)
{
    QList<qsizetype> ends;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    for (qsizetype p = finder.toNextBoundary(); p >= 0; p = finder.toNextBoundary())
        if (!(regionalIndicatorAt(s, p - 2) && regionalIndicatorAt(s, p)))
            ends.append(p);
    for (qsizetype i = 0; i < s.size();) {
        if (!regionalIndicatorAt(s, i)) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (regionalIndicatorAt(s, end))
            end += 2;
        for (qsizetype k = i + 4; k < end; k += 4)
            ends.append(k);
        i = end;
    }
    std::sort(ends.begin(), ends.end());
    return ends;
}

} // namespace

QString LWText::leadingCharacters(const QString &s, int n)
{
    if (n <= 0)
        return {};
    const QList<qsizetype> ends = characterEnds(s);
    return n <= ends.size() ? s.left(ends[n - 1]) : s;
}

QJsonObject LWText::toJson() const
{
    return {{"string", string},
            {"fontName", fontName},
            {"size", size},
            {"color", color.toJson()},
            {"tracking", tracking},
            {"leading", leading},
            {"align", LWJson::to(align)},
            {"vAlign", LWJson::to(vAlign)},
            {"underline", underline},
            {"uppercase", uppercase},
            {"placeholder", placeholder}};
}

LWText LWText::fromJson(const LWJsonIn &in)
{
    LWText t;
    t.string = in.get<QString>("string");
    t.fontName = in.get<QString>("fontName");
    t.size = in.get<double>("size");
    t.color = in.get<LWColor>("color");
    t.tracking = in.get<double>("tracking");
    t.leading = in.get<double>("leading");
    t.align = in.get<LWTextAlign>("align");
    t.vAlign = in.get<LWVAlign>("vAlign");
    t.underline = in.get<bool>("underline");
    t.uppercase = in.get<bool>("uppercase");
    t.placeholder = in.get<bool>("placeholder");
    return t;
}
