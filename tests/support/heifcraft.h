#pragma once
// HEIF/AVIF containers written in the test around one coded image libheif encoded: a single
// image, a grid or an overlay, each item declaring whatever size the case wants, so a coded
// image may hold more than its container says.
#include <QByteArray>
#include <QList>
#include <QSize>
#include <QtEndian>
#include <gtest/gtest.h>

namespace LWHeifCraft {

inline QByteArray be(quint64 v, int bytes)
{
    QByteArray out(bytes, '\0');
    for (int i = bytes - 1; i >= 0; --i, v >>= 8)
        out[i] = char(v & 0xFF);
    return out;
}

inline QByteArray box(const char *type, const QByteArray &body) { return be(8 + body.size(), 4) + type + body; }
inline QByteArray fullBox(const char *type, int version, const QByteArray &body)
{
    return box(type, be(quint64(version) << 24, 4) + body);
}

// The coded image of a file libheif wrote with one image: its codec configuration box whole
// ("hvcC" or "av1C") and its data (the body of the file's media data box).
struct Coded {
    QByteArray config;
    QByteArray data;
    bool av1 = false;
};

inline Coded codedOf(const QByteArray &file)
{
    Coded c;
    for (const char *type : {"hvcC", "av1C"}) {
        const qsizetype at = file.indexOf(type);
        if (at >= 4) {
            c.config = file.mid(at - 4, qFromBigEndian<quint32>(file.constData() + at - 4));
            c.av1 = QByteArray(type) == "av1C";
        }
    }
    const qsizetype mdat = file.indexOf("mdat");
    EXPECT_FALSE(c.config.isEmpty());
    EXPECT_GE(mdat, 4);
    c.data = file.mid(mdat + 4, qFromBigEndian<quint32>(file.constData() + mdat - 4) - 8);
    return c;
}

// The primary image: one coded image declaring `tile`, a grid of rows x columns references to
// it, or an overlay of `layers` references to it; a grid or overlay declares `canvas`.
struct Layout {
    enum Kind { single, grid, overlay } kind = single;
    QSize tile;
    int rows = 1, columns = 1, layers = 1;
    QSize canvas;
    const char *majorBrand = nullptr; // the codec's brand when none
};

inline QByteArray craft(const Coded &coded, const Layout &l)
{
    const bool derived = l.kind != Layout::single;
    const quint16 tileId = 1, primary = derived ? 2 : 1;
    const char *codedType = coded.av1 ? "av01" : "hvc1";
    QByteArray derivedData;
    int refs = 0;
    if (l.kind == Layout::grid) {
        derivedData = be(0, 2) + be(l.rows - 1, 1) + be(l.columns - 1, 1) + be(l.canvas.width(), 2) +
                      be(l.canvas.height(), 2);
        refs = l.rows * l.columns;
    } else if (l.kind == Layout::overlay) {
        derivedData = be(0, 2) + be(0xFFFF, 8) + be(l.canvas.width(), 2) + be(l.canvas.height(), 2);
        for (int i = 0; i < l.layers; ++i)
            derivedData += be(0, 2) + be(0, 2);
        refs = l.layers;
    }
    auto infe = [](quint16 id, const char *type) { return fullBox("infe", 2, be(id, 2) + be(0, 2) + type + QByteArray(1, '\0')); };
    QByteArray iinf = be(derived ? 2 : 1, 2) + infe(tileId, codedType);
    if (derived)
        iinf += infe(primary, l.kind == Layout::grid ? "grid" : "iovl");
    auto ispe = [](QSize s) { return fullBox("ispe", 0, be(s.width(), 4) + be(s.height(), 4)); };
    QByteArray ipco = ispe(l.tile) + coded.config;
    QByteArray ipma = be(tileId, 2) + be(2, 1) + be(0x81, 1) + be(0x82, 1);
    if (derived) {
        ipco += ispe(l.canvas);
        ipma += be(primary, 2) + be(1, 1) + be(0x83, 1);
    }
    QByteArray dimg;
    if (derived) {
        dimg = be(primary, 2) + be(refs, 2);
        for (int i = 0; i < refs; ++i)
            dimg += be(tileId, 2);
    }
    const QByteArray brand = l.majorBrand ? QByteArray(l.majorBrand) : QByteArray(coded.av1 ? "avif" : "heic");
    const QByteArray ftyp = box("ftyp", brand + be(0, 4) + "mif1" + (coded.av1 ? "avif" : "heic") + "miaf");
    // The data follow the meta box, whose size does not depend on the offsets written in it.
    auto meta = [&](quint32 dataAt) {
        QByteArray iloc = be(0x4400, 2) + be(derived ? 2 : 1, 2);
        iloc += be(tileId, 2) + be(0, 2) + be(1, 2) + be(dataAt, 4) + be(coded.data.size(), 4);
        if (derived)
            iloc += be(primary, 2) + be(0, 2) + be(1, 2) + be(dataAt + coded.data.size(), 4) + be(derivedData.size(), 4);
        QByteArray body = fullBox("hdlr", 0, be(0, 4) + "pict" + be(0, 12) + QByteArray(1, '\0')) +
                          fullBox("pitm", 0, be(primary, 2)) + fullBox("iloc", 0, iloc) + fullBox("iinf", 0, iinf);
        if (derived)
            body += fullBox("iref", 0, box("dimg", dimg));
        body += box("iprp", box("ipco", ipco) + fullBox("ipma", 0, be(derived ? 2 : 1, 4) + ipma));
        return fullBox("meta", 0, body);
    };
    const qsizetype metaSize = meta(0).size();
    const quint32 dataAt = quint32(ftyp.size() + metaSize + 8);
    return ftyp + meta(dataAt) + box("mdat", coded.data + derivedData);
}

} // namespace LWHeifCraft
