#pragma once
// A plain PNG picture made in memory, for elements that need picture bytes.
#include <QBuffer>
#include <QByteArray>
#include <QImage>

inline QByteArray lwPngBytes(int width, int height, QColor fill = Qt::darkGreen)
{
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(fill);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes;
}
