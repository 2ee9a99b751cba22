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


// The largest mean difference of the colour channels over a `side` x `side` block (blocks every
// half side across and down): a wrong corner or a dash out of place shows there, however few
// pixels it covers. -1 when the sizes differ.
inline double lwWorstBlock(const QImage &a, const QImage &b, int side = 16)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    double worst = 0;
    const int step = std::max(side / 2, 1);
    for (int top = 0; top + side <= x.height(); top += step)
        for (int left = 0; left + side <= x.width(); left += step) {
            qint64 sum = 0;
            for (int row = top; row < top + side; ++row) {
                const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row)) + left;
                const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row)) + left;
                for (int i = 0; i < side; ++i)
                    sum += std::abs(qRed(p[i]) - qRed(q[i])) + std::abs(qGreen(p[i]) - qGreen(q[i])) +
                           std::abs(qBlue(p[i]) - qBlue(q[i]));
            }
            worst = std::max(worst, double(sum) / (3.0 * side * side));
        }
    return worst;
}
