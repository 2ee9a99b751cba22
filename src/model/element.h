#pragma once
#include "model/enums.h"
#include "model/image.h"
#include "model/rect.h"
#include "model/style.h"
#include "model/text.h"

#include <QJsonObject>
#include <QList>
#include <QPointF>
#include <QString>
#include <QUuid>
#include <optional>
#include <utility>

class LWJsonIn;

LW_ENUM(LWElementKind, shape, text, image, icon, group);

// One item on a page, in page points (origin top-left of the trim, y down). A plain value:
// copies share their implicitly shared containers until one side writes. Fields a kind does
// not use keep their values and are written all the same.
struct LWElement {
    using Kind = LWElementKind;

    // Geometry never builds more than this many sides/star points or path vertices, whatever
    // a file stores, so a hand-edited file cannot make drawing hang.
    static constexpr int maxVertices = 1000;

    QUuid id; // null only in a default-constructed element
    QString name;
    Kind kind = Kind::shape;
    LWRect frame; // before rotation
    double rotation = 0; // degrees about the frame's centre, clockwise on screen
    double opacity = 1;
    bool locked = false;
    bool hidden = false;
    LWShapeKind shape = LWShapeKind::rectangle;
    double cornerRadius = 0;
    qint64 sides = 6; // polygon sides or star points, as stored
    double innerRatio = 0.45;
    std::optional<QList<QPointF>> points; // unit coordinates of the frame
    bool smooth = false;
    std::optional<QList<qint64>> corners; // indices into points that stay sharp
    LWFill fill = LWFill::none();
    std::optional<LWStroke> stroke;
    std::optional<LWText> text;
    std::optional<LWImage> image;
    std::optional<QString> icon;
    std::optional<QList<LWElement>> children; // group members, back to front

    LWElement() = default; // null id; new elements come from the constructor below or a factory
    LWElement(Kind kind, QString name, const LWRect &frame); // fresh id, defaults

    // Factories (each gives a fresh id).
    static LWElement makeShape(LWShapeKind shape, const LWRect &frame, const LWFill &fill,
                               const std::optional<LWStroke> &stroke, double radius = 0,
                               const std::optional<QString> &name = std::nullopt);
    static LWElement makeLine(QPointF from, QPointF to, const LWStroke &stroke, const QString &name = QStringLiteral("Line"));
    static LWElement makePath(const QList<QPointF> &points, const LWRect &rect, const LWFill &fill, bool smooth,
                              const std::optional<QList<qint64>> &corners, const QString &name = QStringLiteral("Shape"));
    // Named by the first 24 user-perceived characters of the string when no name is given.
    static LWElement makeText(const LWText &text, const LWRect &frame, const std::optional<QString> &name = std::nullopt);
    static LWElement makeIcon(const QString &icon, const LWRect &frame, const LWFill &fill);
    static LWElement makePhoto(const LWRect &frame, LWMask mask = LWMask::none, double radius = 0,
                               const QString &name = QStringLiteral("Photo frame"));

    bool isLine() const { return kind == Kind::shape && shape == LWShapeKind::line; }
    // The two ends in page points, before rotation, from the first two points. No points at all
    // is a horizontal line through the middle; a missing first point is (0, 0), a missing
    // second one (1, 0.5).
    std::pair<QPointF, QPointF> lineEnds() const;
    // The element, then all descendants depth first, members in drawing order.
    QList<LWElement> flattened() const;
    void offset(double dx, double dy); // moves the whole subtree
    // Members follow proportionally. A uniform re-framing also scales member text, unless the
    // caller scales all type itself (a page resize) and asks to keep it.
    enum class MemberText { scaleOnUniform, keep };
    void setFrame(const LWRect &r, MemberText memberText = MemberText::scaleOnUniform);
    LWElement duplicated() const;      // new ids for the whole subtree

    // What geometry may build from the stored counts: sides at least 3 (less than 4 counts
    // as 3) and at most maxVertices; at most maxVertices path points.
    int drawnSides() const;
    qsizetype drawnPointCount() const;

    QJsonObject toJson() const;
    static LWElement fromJson(const LWJsonIn &in);
    // Declared here, defaulted in element.cpp: QList's comparison of the recursive member
    // needs to see a non-deleted operator while this type is still incomplete.
    friend bool operator==(const LWElement &, const LWElement &);
};
