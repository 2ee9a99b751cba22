#pragma once
#include <QColor>
#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdlib>

// The widget and its children alone on a transparent image (grab() would paint the window
// background first).
inline QImage snapshot(QWidget &w)
{
    QImage img(w.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    w.render(&img, {}, {}, QWidget::DrawChildren);
    return img;
}

// The bounding box of every pixel with any alpha, in device pixels; empty for a clear image.
inline QRect inkBox(const QImage &img)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) > 0)
                box |= QRect(x, y, 1, 1);
    return box;
}

// The sum of the channel differences.
inline int distance(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// `over` drawn at `alpha` on an opaque colour.
inline QColor composite(const QColor &under, const QColor &over, double alpha)
{
    const auto mix = [&](double u, double o) { return u * (1 - alpha) + o * alpha; };
    return QColor::fromRgbF(mix(under.redF(), over.redF()), mix(under.greenF(), over.greenF()),
                            mix(under.blueF(), over.blueF()));
}

// Each channel within `tolerance`.
inline void expectNear(const QColor &got, const QColor &want, const char *where = "", int tolerance = 2)
{
    SCOPED_TRACE(where);
    EXPECT_NEAR(got.red(), want.red(), tolerance);
    EXPECT_NEAR(got.green(), want.green(), tolerance);
    EXPECT_NEAR(got.blue(), want.blue(), tolerance);
}
