#pragma once
// How far two pictures of the same drawing are apart.
#include <QImage>
#include <algorithm>
#include <cstdlib>

// The largest difference of any colour channel of any pixel; -1 when the sizes differ.
inline int lwWorstDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int i = 0; i < x.width(); ++i)
            worst = std::max({worst, std::abs(qRed(p[i]) - qRed(q[i])), std::abs(qGreen(p[i]) - qGreen(q[i])),
                              std::abs(qBlue(p[i]) - qBlue(q[i]))});
    }
    return worst;
}

// How many pixels differ by more than `levels` in some colour channel; -1 when the sizes differ.
inline qint64 lwPixelsOff(const QImage &a, const QImage &b, int levels)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    qint64 off = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int i = 0; i < x.width(); ++i)
            off += std::max({std::abs(qRed(p[i]) - qRed(q[i])), std::abs(qGreen(p[i]) - qGreen(q[i])),
                             std::abs(qBlue(p[i]) - qBlue(q[i]))}) > levels;
    }
    return off;
}

