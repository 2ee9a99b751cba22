#include "render/text/fontink.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPainterPath>
#include <QRawFont>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {

qint32 s16(const QByteArray &t, qsizetype at)
{
    return at >= 0 && at + 2 <= t.size() ? qFromBigEndian<qint16>(t.constData() + at) : 0;
}
quint32 u16(const QByteArray &t, qsizetype at)
{
    return at >= 0 && at + 2 <= t.size() ? qFromBigEndian<quint16>(t.constData() + at) : 0;
}
quint32 u32(const QByteArray &t, qsizetype at)
{
    return at >= 0 && at + 4 <= t.size() ? qFromBigEndian<quint32>(t.constData() + at) : 0;
}

// Highest and lowest ink in font units, from each TrueType glyph's own bounding box header;
// false when the face has no usable glyf and loca tables.
bool glyfExtent(const QRawFont &font, int glyphs, qint32 &top, qint32 &bottom)
{
    const QByteArray head = font.fontTable("head"), loca = font.fontTable("loca"), glyf = font.fontTable("glyf");
    if (head.size() < 54 || loca.isEmpty() || glyf.isEmpty())
        return false;
    const bool longOffsets = s16(head, 50) != 0;
    const auto offset = [&](int i) -> qsizetype {
        return longOffsets ? qsizetype(u32(loca, qsizetype(i) * 4)) : qsizetype(u16(loca, qsizetype(i) * 2)) * 2;
    };
    const int stored = int(loca.size() / (longOffsets ? 4 : 2)) - 1;
    bool any = false;
    for (int i = 0; i < std::min(glyphs, stored); ++i) {
        const qsizetype at = offset(i);
        if (offset(i + 1) <= at || at + 10 > glyf.size())
            continue; // no outline
        top = any ? std::max(top, s16(glyf, at + 8)) : s16(glyf, at + 8);
        bottom = any ? std::min(bottom, s16(glyf, at + 4)) : s16(glyf, at + 4);
        any = true;
    }
    return true;
}

LWFontInk::Reach measure(const QRawFont &font)
{
    const double em = std::max(font.unitsPerEm(), 1.0), pixels = std::max(font.pixelSize(), 1e-3);
    LWFontInk::Reach reach{font.ascent() / pixels, font.descent() / pixels};
    const int glyphs = int(u16(font.fontTable("maxp"), 4));
    qint32 top = 0, bottom = 0;
    if (glyfExtent(font, glyphs, top, bottom)) {
        reach.above = std::max(reach.above, top / em);
        reach.below = std::max(reach.below, -bottom / em);
        return reach;
    }
    // Other outlines (CFF) store no box per glyph: measure each outline once.
    for (int i = 0; i < glyphs; ++i) {
        const QRectF box = font.pathForGlyph(quint32(i)).boundingRect();
        if (box.isEmpty())
            continue;
        reach.above = std::max(reach.above, -box.top() / pixels);
        reach.below = std::max(reach.below, box.bottom() / pixels);
    }
    return reach;
}

} // namespace

namespace LWFontInk {

Reach reach(const QRawFont &font)
{
    if (!font.isValid())
        return {};
    // The face's identity: its names and its whole 'head' table (which holds the file's checksum
    // and dates), so that two files under one name keep apart.
    const QByteArray key = font.familyName().toUtf8() + '\n' + font.styleName().toUtf8() + '\n' + font.fontTable("head");
    static QMutex mutex;
    static QHash<QByteArray, Reach> known;
    {
        QMutexLocker locker(&mutex);
        if (auto it = known.constFind(key); it != known.constEnd())
            return *it;
    }
    const Reach measured = measure(font);
    QMutexLocker locker(&mutex);
    known.insert(key, measured);
    return measured;
}

} // namespace LWFontInk
