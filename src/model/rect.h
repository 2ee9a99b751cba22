#pragma once
#include <QPointF>
#include <QRectF>
#include <limits>

// A rectangle with the platform-neutral rules the model relies on (QRectF's differ):
// getters are standardised (a negative size counts from the other edge), the null rectangle
// comes from an empty intersection or an over-large inset and is ignored by union, while a
// zero-size rectangle is not; point containment is half-open (min <= p < max).
struct LWRect {
    double x = 0, y = 0, w = 0, h = 0;

    constexpr LWRect() = default;
    constexpr LWRect(double x_, double y_, double w_, double h_) : x(x_), y(y_), w(w_), h(h_) {}
    static constexpr LWRect null()
    {
        return {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(), 0, 0};
    }
    static LWRect fromQRectF(const QRectF &r) { return {r.x(), r.y(), r.width(), r.height()}; }

    bool isNull() const;
    bool isEmpty() const; // null, or zero width or height
    LWRect standardized() const;

    double minX() const { return w < 0 ? x + w : x; }
    double maxX() const { return w < 0 ? x : x + w; }
    double minY() const { return h < 0 ? y + h : y; }
    double maxY() const { return h < 0 ? y : y + h; }
    double midX() const { return x + w / 2; }
    double midY() const { return y + h / 2; }
    double width() const { return w < 0 ? -w : w; }
    double height() const { return h < 0 ? -h : h; }
    QPointF origin() const { return {x, y}; }
    QPointF center() const { return {midX(), midY()}; }

    LWRect united(const LWRect &o) const;
    LWRect intersected(const LWRect &o) const; // null when they do not overlap
    bool intersects(const LWRect &o) const;    // a positive-area overlap
    LWRect insetBy(double dx, double dy) const; // null when the inset exceeds the size
    LWRect offsetBy(double dx, double dy) const { return isNull() ? *this : LWRect{x + dx, y + dy, w, h}; }
    bool contains(const QPointF &p) const;
    bool contains(const LWRect &o) const;
    QRectF toQRectF() const
    {
        const LWRect s = standardized();
        return {s.x, s.y, s.w, s.h};
    }

    friend bool operator==(const LWRect &, const LWRect &) = default;
};
