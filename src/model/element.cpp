#include "model/element.h"

#include "model/file/json.h"

#include <algorithm>
#include <cmath>

namespace {
const QPointF kLineStart(0, 0.5), kLineEnd(1, 0.5);

void renewIds(LWElement &e)
{
    e.id = QUuid::createUuid();
    if (e.children)
        for (LWElement &c : *e.children)
            renewIds(c);
}

void appendFlattened(const LWElement &e, QList<LWElement> &out)
{
    out.append(e);
    if (e.children)
        for (const LWElement &c : *e.children)
            appendFlattened(c, out);
}
} // namespace

LWElement::LWElement(Kind kind_, QString name_, const LWRect &frame_)
    : id(QUuid::createUuid()), name(std::move(name_)), kind(kind_), frame(frame_)
{
}

LWElement LWElement::makeShape(LWShapeKind shape, const LWRect &frame, const LWFill &fill,
                               const std::optional<LWStroke> &stroke, double radius, const std::optional<QString> &name)
{
    QString n;
    if (name) {
        n = *name;
    } else {
        n = LWEnum::text(shape);
        if (!n.isEmpty())
            n[0] = n[0].toUpper();
    }
    LWElement e(Kind::shape, n, frame);
    e.shape = shape;
    e.fill = fill;
    e.stroke = stroke;
    e.cornerRadius = radius;
    if (shape == LWShapeKind::star)
        e.sides = 5;
    if (shape == LWShapeKind::line) {
        e.points = QList<QPointF>{kLineStart, kLineEnd};
        e.fill = LWFill::none();
    }
    return e;
}

LWElement LWElement::makeLine(QPointF from, QPointF to, const LWStroke &stroke, const QString &name)
{
    const LWRect frame(std::min(from.x(), to.x()), std::min(from.y(), to.y()), std::fabs(to.x() - from.x()),
                       std::fabs(to.y() - from.y()));
    // A zero extent puts the point on the frame's middle rather than dividing by zero.
    auto unit = [&](QPointF p) {
        return QPointF(frame.w == 0 ? 0.5 : (p.x() - frame.x) / frame.w,
                       frame.h == 0 ? 0.5 : (p.y() - frame.y) / frame.h);
    };
    LWElement e(Kind::shape, name, frame);
    e.shape = LWShapeKind::line;
    e.points = QList<QPointF>{unit(from), unit(to)};
    e.stroke = stroke;
    return e;
}

LWElement LWElement::makePath(const QList<QPointF> &points, const LWRect &rect, const LWFill &fill, bool smooth,
                              const std::optional<QList<qint64>> &corners, const QString &name)
{
    LWElement e(Kind::shape, name, rect);
    e.shape = LWShapeKind::path;
    e.points = points;
    e.smooth = smooth;
    e.corners = corners;
    e.fill = fill;
    return e;
}

LWElement LWElement::makeText(const LWText &text, const LWRect &frame, const std::optional<QString> &name)
{
    LWElement e(Kind::text, name ? *name : LWText::leadingCharacters(text.string, 24), frame);
    e.text = text;
    return e;
}

LWElement LWElement::makeIcon(const QString &icon, const LWRect &frame, const LWFill &fill)
{
    LWElement e(Kind::icon, QStringLiteral("Icon: ") + icon, frame);
    e.icon = icon;
    e.fill = fill;
    return e;
}

LWElement LWElement::makePhoto(const LWRect &frame, LWMask mask, double radius, const QString &name)
{
    LWElement e(Kind::image, name, frame);
    e.image = LWImage::empty(mask);
    e.cornerRadius = radius;
    return e;
}

std::pair<QPointF, QPointF> LWElement::lineEnds() const
{
    QPointF a = kLineStart, b = kLineEnd;
    if (points) {
        a = points->isEmpty() ? QPointF(0, 0) : points->at(0);
        b = points->size() < 2 ? kLineEnd : points->at(1);
    }
    auto place = [this](QPointF p) {
        return QPointF(frame.minX() + p.x() * frame.width(), frame.minY() + p.y() * frame.height());
    };
    return {place(a), place(b)};
}

QList<LWElement> LWElement::flattened() const
{
    QList<LWElement> out;
    appendFlattened(*this, out);
    return out;
}

void LWElement::offset(double dx, double dy)
{
    frame = frame.offsetBy(dx, dy);
    if (children)
        for (LWElement &c : *children)
            c.offset(dx, dy);
}

void LWElement::setFrame(const LWRect &r, MemberText memberText)
{
    const LWRect old = frame;
    frame = r;
    if (!children)
        return;
    constexpr double tiny = 0.0001;
    if (old.width() <= tiny && old.height() <= tiny)
        return;
    const double sx = old.width() > tiny ? r.width() / old.width() : 1;
    const double sy = old.height() > tiny ? r.height() / old.height() : 1;
    const bool scaleText = memberText == MemberText::scaleOnUniform && std::fabs(sx - sy) < 0.001 &&
                           std::fabs(sx - 1) > 0.001;
    for (LWElement &c : *children) {
        const LWRect cf = c.frame;
        c.setFrame({r.minX() + (cf.minX() - old.minX()) * sx, r.minY() + (cf.minY() - old.minY()) * sy,
                    cf.width() * sx, cf.height() * sy},
                   memberText);
        if (scaleText && c.kind == Kind::text && c.text)
            c.text->size *= sx;
    }
}

bool operator==(const LWElement &, const LWElement &) = default;

LWElement LWElement::duplicated() const
{
    LWElement copy = *this;
    renewIds(copy);
    return copy;
}

int LWElement::drawnSides() const
{
    return sides < 4 ? 3 : int(std::min<qint64>(sides, maxVertices));
}

qsizetype LWElement::drawnPointCount() const
{
    return points ? std::min<qsizetype>(points->size(), maxVertices) : 0;
}

QJsonObject LWElement::toJson() const
{
    QJsonObject o{{"id", LWJson::to(id)},
                  {"name", name},
                  {"kind", LWJson::to(kind)},
                  {"frame", LWJson::to(frame)},
                  {"rotation", rotation},
                  {"opacity", opacity},
                  {"locked", locked},
                  {"hidden", hidden},
                  {"shape", LWJson::to(shape)},
                  {"cornerRadius", cornerRadius},
                  {"sides", LWJson::to(sides)},
                  {"innerRatio", innerRatio},
                  {"smooth", smooth},
                  {"fill", fill.toJson()}};
    LWJson::putOptional(o, "points", points);
    LWJson::putOptional(o, "corners", corners);
    LWJson::putOptional(o, "stroke", stroke);
    LWJson::putOptional(o, "text", text);
    LWJson::putOptional(o, "image", image);
    LWJson::putOptional(o, "icon", icon);
    LWJson::putOptional(o, "children", children);
    return o;
}

LWElement LWElement::fromJson(const LWJsonIn &in)
{
    LWElement e;
    e.id = in.get<QUuid>("id");
    e.name = in.get<QString>("name");
    e.kind = in.get<Kind>("kind");
    e.frame = in.get<LWRect>("frame");
    e.rotation = in.get<double>("rotation");
    e.opacity = in.get<double>("opacity");
    e.locked = in.get<bool>("locked");
    e.hidden = in.get<bool>("hidden");
    e.shape = in.get<LWShapeKind>("shape");
    e.cornerRadius = in.get<double>("cornerRadius");
    e.sides = in.get<qint64>("sides");
    e.innerRatio = in.get<double>("innerRatio");
    e.points = in.opt<QList<QPointF>>("points");
    e.smooth = in.get<bool>("smooth");
    e.corners = in.opt<QList<qint64>>("corners");
    e.fill = in.get<LWFill>("fill");
    e.stroke = in.opt<LWStroke>("stroke");
    e.text = in.opt<LWText>("text");
    e.image = in.opt<LWImage>("image");
    e.icon = in.opt<QString>("icon");
    e.children = in.opt<QList<LWElement>>("children");
    return e;
}
