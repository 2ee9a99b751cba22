#pragma once
#include "model/rect.h"

#include <QList>
#include <QPainterPath>
#include <QString>
#include <QStringList>
#include <optional>

// The built-in vector icons. Each outline lives in a 100 x 100 design box (y down) and is one
// path filled with the non-zero rule; strokes are already turned into filled outline. Outlines
// are built once per process and cached (the cache only grows). Thread-safe.
namespace LWIcons {

// One catalogue row. id is a lower-case ASCII word, unique; keywords are lower-case search
// words separated by single spaces.
struct Info {
    QString id;
    QString title;
    QString keywords;

    friend bool operator==(const Info &, const Info &) = default;
};

// The rows in their fixed order: the order of names() and of the picker.
const QList<Info> &catalog();

// The ids in catalogue order.
QStringList names();

// The title of the row with this id (exact, case-sensitive match); the id itself when no row has it.
QString title(const QString &id);

// The id's outline in the design box, the shared cached object; none for an id not in the
// catalogue (never cached). Treat it as read-only; to draw it, place a copy with path(id, in).
[[nodiscard]] std::optional<QPainterPath> path(const QString &id);

// A new copy of the outline scaled by min(width, height) / 100 with the box centre on the
// rect's centre (the icon spans the shorter side and stays centred along the longer one).
// None for an id not in the catalogue.
[[nodiscard]] std::optional<QPainterPath> path(const QString &id, const LWRect &in);

} // namespace LWIcons
