#pragma once
// Picture-heavy pages and the process's peak memory, for the export tests and benchmarks.
#include "model/document.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <cstring>

namespace LWPicturePages {

// `count` files of the same pixels with different bytes: a JPEG reader stops at its end marker
// and a PNG reader at IEND, so what follows makes each file another picture to the program.
inline QList<QByteArray> variants(const QByteArray &file, int count)
{
    QList<QByteArray> out;
    for (int i = 0; i < count; ++i)
        out.append(file + QByteArray::number(i));
    return out;
}

// The pictures in `columns` x `rows` cells filling a Letter page, each filling its cell.
inline LWDocument grid(const QList<QByteArray> &pictures, int columns, int rows)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Pictures"));
    const double w = 612.0 / columns, h = 792.0 / rows;
    for (int i = 0; i < pictures.size(); ++i) {
        LWElement e = LWElement::makePhoto(LWRect((i % columns) * w, (i / columns) * h, w, h));
        e.image->data = pictures[i];
        doc.pages[0].elements.append(e);
    }
    return doc;
}

// A line of /proc/self/status in KiB ("VmRSS:", "VmHWM:"); -1 when it cannot be read.
inline qint64 statusKB(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(std::strlen(key))).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Lowers the process's peak resident size to its present one (Linux).
inline bool resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

} // namespace LWPicturePages
