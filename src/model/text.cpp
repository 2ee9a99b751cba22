#include "model/text.h"

#include "model/json.h"

#include <QTextBoundaryFinder>

LWText::LWText(QString string_, QString font, double size_, const LWColor &color_, double tracking_, double leading_,
               LWTextAlign align_, LWVAlign vAlign_, bool underline_, bool uppercase_, bool placeholder_)
    : string(std::move(string_)), fontName(std::move(font)), size(size_), color(color_), tracking(tracking_),
      leading(leading_), align(align_), vAlign(vAlign_), underline(underline_), uppercase(uppercase_),
      placeholder(placeholder_)
{
}

QString LWText::leadingCharacters(const QString &s, int n)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    qsizetype end = 0;
    for (int i = 0; i < n; ++i) {
        const qsizetype p = finder.toNextBoundary();
        if (p < 0)
            break;
        end = p;
    }
    return s.left(end);
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
