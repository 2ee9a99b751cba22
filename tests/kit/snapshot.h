#pragma once
#include <QImage>
#include <QWidget>

// The widget and its children alone on a transparent image (grab() would paint the window
// background first).
inline QImage snapshot(QWidget &w)
{
    QImage img(w.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    w.render(&img, {}, {}, QWidget::DrawChildren);
    return img;
}
