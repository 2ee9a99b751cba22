#pragma once
#include "model/element.h"
#include "model/enums.h"
#include "model/page.h"
#include "model/rect.h"
#include "model/units.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

class LWJsonIn;

LW_ENUM(LWDocKind, businessCard, flyer, custom);

// A named page size offered when a design is started. Never written to a file.
struct LWSizePreset {
    QString id; // stored in LWDocument::sizeID
    QString name;
    LWDocKind kind = LWDocKind::custom;
    double width = 0, height = 0, safe = 0; // points
    QString detail;                          // the size as shown under the name

    static const LWSizePreset usCard, euCard, letter, a4, halfLetter, tabloid;
    static const QList<LWSizePreset> &all(); // the six, in the order above
    // Exact, case-sensitive id match.
    [[nodiscard]] static std::optional<LWSizePreset> named(const QString &id);

    friend bool operator==(const LWSizePreset &, const LWSizePreset &) = default;
};

inline const LWSizePreset LWSizePreset::usCard{QStringLiteral("us-card"), QStringLiteral("US Business Card"),
                                               LWDocKind::businessCard, 252, 144, 9, QStringLiteral("3.5 \u00D7 2 in")};
inline const LWSizePreset LWSizePreset::euCard{QStringLiteral("eu-card"), QStringLiteral("EU Business Card"),
                                               LWDocKind::businessCard, 85 * LWUnits::ptPerMM, 55 * LWUnits::ptPerMM,
                                               3 * LWUnits::ptPerMM, QStringLiteral("85 \u00D7 55 mm")};
inline const LWSizePreset LWSizePreset::letter{QStringLiteral("letter"), QStringLiteral("Letter Flyer"),
                                               LWDocKind::flyer, 612, 792, 18, QStringLiteral("8.5 \u00D7 11 in")};
inline const LWSizePreset LWSizePreset::a4{QStringLiteral("a4"), QStringLiteral("A4 Flyer"), LWDocKind::flyer,
                                           210 * LWUnits::ptPerMM, 297 * LWUnits::ptPerMM, 6 * LWUnits::ptPerMM,
                                           QStringLiteral("210 \u00D7 297 mm")};
inline const LWSizePreset LWSizePreset::halfLetter{QStringLiteral("half-letter"), QStringLiteral("Half-Letter Flyer"),
                                                   LWDocKind::flyer, 396, 612, 9, QStringLiteral("5.5 \u00D7 8.5 in")};
inline const LWSizePreset LWSizePreset::tabloid{QStringLiteral("tabloid"), QStringLiteral("Tabloid Poster"),
                                                LWDocKind::flyer, 792, 1224, 18, QStringLiteral("11 \u00D7 17 in")};

// One design. A plain value: copies share pages, element lists and picture bytes until
// written, so an undo snapshot is a plain copy. Lengths are points, times seconds since 1970.
struct LWDocument {
    static inline const QString formatName = QStringLiteral("VELK Leafwrighter design");
    // The page sizes the program makes, in points (a half inch to 36 inches a side).
    static constexpr double minSide = 36, maxSide = 2592;

    QString format;
    qint64 version = 1;
    QUuid id;
    QString name;
    LWDocKind kind = LWDocKind::custom;
    QString sizeID;
    double width = 0, height = 0; // trim size
    double bleed = 0, safe = 0;   // on every side
    QList<LWPage> pages;
    QList<LWGuide> guides;
    std::optional<QString> templateID;
    double created = 0, modified = 0;

    // A new design; landscape none keeps the preset's orientation.
    static LWDocument blank(const LWSizePreset &preset, std::optional<bool> landscape,
                            const QString &name = QStringLiteral("Untitled"));
    // A new design of a custom size; width and height are used as given.
    static LWDocument blank(LWDocKind kind, const QString &sizeID, double width, double height, double safe,
                            const QString &name);

    LWRect trimRect() const { return {0, 0, width, height}; }
    LWRect bleedRect() const { return trimRect().insetBy(-bleed, -bleed); }
    LWRect safeRect() const { return trimRect().insetBy(safe, safe); } // null when the margin exceeds the size
    QString sizeText() const; // "85 × 55 mm" for eu-card and a4, else inches
    QList<LWElement> allElements() const; // every page's elements, flattened, in order

    QJsonObject toJson() const;
    static LWDocument fromJson(const LWJsonIn &in);
    friend bool operator==(const LWDocument &, const LWDocument &) = default;
};
