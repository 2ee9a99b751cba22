#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The sample content of one trade: every text a card or flyer template places.
// A plain aggregate; brace-initialise the fields in declaration order.
struct LWContent {
    // An event's date as printed: "JUN", "07", "Saturday".
    struct Date {
        QString month;   // three capital letters
        QString day;     // two digits
        QString weekday; // a word (or "Every Saturday")
        friend bool operator==(const Date &, const Date &) = default;
    };
    // One price-list or schedule row.
    struct Item {
        QString name;
        QString price;
        friend bool operator==(const Item &, const Item &) = default;
    };

    QString id;           // lower-case key ("contractor")
    QString category;     // display category of the trade's templates
    QString business;     // business name; also a card document's name
    QString tagline;
    QString person;       // contact person
    QString title;        // the person's job title
    QString phone;
    QString icon;         // LWIcons name of the main icon
    QString icon2;        // LWIcons name of a second icon
    QStringList palettes; // two palette keys, first choice first
    QStringList fonts;    // four font-pair keys
    QString headline;     // flyer headline; also a flyer document's name
    QString sub;          // flyer line under the headline
    QStringList bullets;  // four short lines
    QString offer;        // large offer text
    QString offerNote;    // small line qualifying the offer
    std::optional<Date> date; // set only for event trades
    QString time;         // opening hours or event time
    QString place;        // address or venue
    QString cta;          // call to action
    QList<Item> items;    // six rows

    // Local part from the person's first word (letters only, lower case), "hello" when that
    // leaves nothing, at the placeholder domain.
    QString email() const;
    // The placeholder web address, the same for every trade.
    QString web() const;
    // The placeholder street address, the same for every trade.
    QString address() const;
    // Up to two upper-case initials of the business name, skipping "and", "of", "the" and words
    // not starting with a letter; empty when no word qualifies.
    QString initials() const;

    friend bool operator==(const LWContent &, const LWContent &) = default;
};
