#pragma once
#include "model/element.h"
#include "templates/content.h"
#include "templates/fontpair.h"
#include "templates/palette.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <array>
#include <optional>

// Options of LWKit's `text` and `textUp` (`textUp` ignores `sample`: its text is always sample text).
struct LWTextOptions {
    LWTextAlign align = LWTextAlign::left;
    double track = 0; // thousandths of an em
    double lead = 1.0;
    bool upper = false;
    std::optional<QString> name = std::nullopt; // none: the first 28 characters of the string
    bool sample = true;
};

// The toolbox of every card and flyer layout: one trade's content, a palette, a font pair and the
// page size at the layout's base width, with element builders and text fitting. Everything it
// makes is a new element; it keeps no state, so any thread may use it. Lengths are page points
// (origin at the trim's top-left, y down); the bleed lies at negative coordinates and past w, h.
//
// Text is measured only with LWTextLayout, so every text box is exactly as tall as the renderer
// draws its text at the box's width.
struct LWKit {
    enum class Contact { phone, email, web, address };
    static constexpr std::array<Contact, 4> allContacts{Contact::phone, Contact::email, Contact::web,
                                                        Contact::address};

    using TextOptions = LWTextOptions;
    // One line of a centeredLines block.
    struct Line {
        QString text;
        QString font;
        double size = 0;
        LWColor color;
        QString name;
    };
    // Elements of a block builder and the bottom y of its last text.
    struct Block {
        QList<LWElement> elements;
        double bottom = 0;
    };

    LWContent c;
    LWPalette pal;
    LWFontPair fonts;
    double w = 0; // trim width at the base width: 252 for cards, 612 for flyers
    double h = 0; // trim height at the same scale
    static constexpr double bleed = 9;

    LWKit(LWContent c, LWPalette pal, LWFontPair fonts, double w, double h);

    // Text builders. The box's height is the measured height of the text at width w.
    LWElement text(const QString &s, const QString &font, double size, const LWColor &color, double x,
                   double y, double w, const TextOptions &o = {}) const;
    // Built like `text` and moved so that its bottom edge lies on `bottom`: it grows upwards.
    LWElement textUp(const QString &s, const QString &font, double size, const LWColor &color, double x,
                     double bottom, double w, const TextOptions &o = {}) const;
    // Centred lines stacked from `top`, `gap` apart.
    Block centeredLines(const QList<Line> &lines, double top, double x, double w, double gap,
                        double track = 0) const;
    // An icon and a text per item, `cols` per row (fewer than 1 counts as 1), columns colW + 20
    // apart; a row starts rowGap below the lowest text so far. An empty list ends at y.
    Block bullets(const QStringList &items, double x, double y, double colW, int cols, double size,
                  const LWColor &color, const LWColor &mark, double rowGap,
                  const QString &iconName = QStringLiteral("check")) const;
    // An icon and a text per contact row; font none uses fonts.body. With iconRight the text is
    // right-aligned and comes before its icon.
    Block contacts(double x, double y, double w, double size, const LWColor &color, const LWColor &iconColor,
                   double gap, const QList<Contact> &items = {allContacts.begin(), allContacts.end()},
                   const std::optional<QString> &font = std::nullopt, bool iconRight = false) const;
    QString contactText(Contact kind) const;
    QString contactIcon(Contact kind) const;
    QString contactName(Contact kind) const;

    // Shape builders.
    LWElement rect(const LWRect &r, const LWFill &fill, double radius = 0,
                   const std::optional<LWStroke> &stroke = std::nullopt,
                   const QString &name = QStringLiteral("Shape")) const;
    LWElement oval(const LWRect &r, const LWFill &fill, const std::optional<LWStroke> &stroke = std::nullopt,
                   const QString &name = QStringLiteral("Circle")) const;
    LWElement icon(const QString &name, const LWRect &r, const LWColor &color) const;
    LWElement line(QPointF from, QPointF to, const LWColor &color, double width, double dash = 0,
                   const QString &name = QStringLiteral("Rule")) const;
    // A straight-edged closed path through page points, framed by their bounding box. No point
    // gives an empty path that draws nothing.
    LWElement poly(const QList<QPointF> &points, const LWFill &fill,
                   const QString &name = QStringLiteral("Shape")) const;
    // A smooth closed path through unit points of r; the listed corners stay sharp.
    LWElement wave(const LWRect &r, const QList<QPointF> &unitPoints, const QList<qint64> &corners,
                   const LWFill &fill, const QString &name = QStringLiteral("Wave")) const;
    LWElement photo(const LWRect &r, LWMask mask = LWMask::none, double radius = 0) const;

    // Values.
    LWRect full() const; // the bleed rectangle
    LWFill gradPrimary() const;
    LWFill gradPrimarySide() const;
    double lineHeight(const QString &font, double size) const;
    // The advance of the string's first line, trailing spaces included; 0 for no line.
    double width(const QString &s, const QString &font, double size, double track = 0) const;
    // Font sizes that fit `width`, at most maxSize: the whole string on one line; every word on
    // its own; fitLine unless that is below 60 % of maxSize, then fitSize. One layout per string
    // or word at size 100 and one division, no search.
    double fitLine(const QString &s, const QString &font, double maxSize, double width) const;
    double fitSize(const QString &s, const QString &font, double maxSize, double width) const;
    double fitOffer(const QString &s, const QString &font, double maxSize, double width) const;
    bool isEventLike() const { return c.date.has_value(); }
    // Heading of the content's price list.
    QString menuTitle() const;
};
