#pragma once
// HEIF/AVIF containers written in the test around coded images libheif encoded: a single image,
// a grid or an overlay, each item declaring whatever size the case wants, so a coded image may
// hold more than its container says; or any items, references and extents the case lists.
#include <QByteArray>
#include <QList>
#include <QPoint>
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

// A HEIF file item by item: what a real writer makes and what none would (an item located twice,
// extents repeating one block, thousands of items).
struct Item {
    quint32 id = 0;
    QByteArray type;               // "hvc1", "grid", "Exif", ...
    QList<int> properties;         // indices into File::properties, from 1
    QList<QPair<qint64, qint64>> extents; // offset into File::data, length
    bool locationOnly = false;     // an iloc entry only: the same item located once more
    bool descriptionOnly = false;  // an infe entry only: the same item described once more
};
struct Reference {
    QByteArray type; // "dimg", "auxl", ...
    quint32 from = 0;
    QList<quint32> to;
};
struct File {
    quint32 primary = 1;
    QList<Item> items;
    QList<QByteArray> properties; // whole boxes
    QList<Reference> references;
    QByteArray data;              // the media data box's body
    QByteArray brand = "heic";
    QList<QByteArray> twice;      // boxes written twice over: "iloc", "ipma"
};

inline QByteArray ispe(QSize s) { return fullBox("ispe", 0, be(s.width(), 4) + be(s.height(), 4)); }
inline QByteArray auxC(const char *urn) { return fullBox("auxC", 0, QByteArray(urn) + QByteArray(1, '\0')); }

inline QByteArray write(const File &f)
{
    QByteArray iinf, ipma;
    int described = 0, given = 0;
    for (const Item &i : f.items) {
        if (i.locationOnly)
            continue;
        ++described;
        iinf += fullBox("infe", 2, be(i.id, 2) + be(0, 2) + i.type + QByteArray(1, '\0'));
        if (i.descriptionOnly)
            continue;
        ++given;
        ipma += be(i.id, 2) + be(i.properties.size(), 1);
        for (const int p : i.properties)
            ipma += be(0x8000 | p, 2);
    }
    QByteArray iref;
    for (const Reference &r : f.references) {
        QByteArray body = be(r.from, 2) + be(r.to.size(), 2);
        for (const quint32 to : r.to)
            body += be(to, 2);
        iref += box(r.type.constData(), body);
    }
    const QByteArray ftyp = box("ftyp", f.brand + be(0, 4) + "mif1" + f.brand + "miaf");
    // The data follow the meta box, whose size does not depend on the offsets written in it.
    auto meta = [&](quint32 dataAt) {
        QByteArray iloc;
        int located = 0;
        for (const Item &i : f.items) {
            if (i.descriptionOnly)
                continue;
            ++located;
            iloc += be(i.id, 2) + be(0, 2) + be(i.extents.size(), 2);
            for (const auto &[offset, length] : i.extents)
                iloc += be(dataAt + offset, 4) + be(length, 4);
        }
        iloc = fullBox("iloc", 0, be(0x4400, 2) + be(located, 2) + iloc).repeated(f.twice.contains("iloc") ? 2 : 1);
        QByteArray body = fullBox("hdlr", 0, be(0, 4) + "pict" + be(0, 12) + QByteArray(1, '\0')) +
                          fullBox("pitm", 0, be(f.primary, 2)) + iloc + fullBox("iinf", 0, be(described, 2) + iinf);
        if (!iref.isEmpty())
            body += fullBox("iref", 0, iref);
        QByteArray ipco;
        for (const QByteArray &p : f.properties)
            ipco += p;
        // Flags 1: two-byte indices.
        const QByteArray ipmaBox = box("ipma", be(1, 4) + be(given, 4) + ipma).repeated(f.twice.contains("ipma") ? 2 : 1);
        body += box("iprp", box("ipco", ipco) + ipmaBox);
        return fullBox("meta", 0, body);
    };
    const quint32 dataAt = quint32(ftyp.size() + meta(0).size() + 8);
    return ftyp + meta(dataAt) + box("mdat", f.data);
}

// The primary image: one coded image declaring `tile`, a grid of rows x columns references to
// it, or an overlay of `layers` references to it; a grid or overlay declares `canvas`. Distinct
// tiles make each reference an item of its own, all of the one coded image's data.
struct Layout {
    enum Kind { single, grid, overlay } kind = single;
    QSize tile;
    int rows = 1, columns = 1, layers = 1;
    QSize canvas = {};
    const char *majorBrand = nullptr; // the codec's brand when none
    bool distinctTiles = false;
    QPoint lastLayerAt = {}; // an overlay's last layer's offset on its canvas
};

// The derived image's own data: a grid's or an overlay's canvas and layout.
inline QByteArray derivedData(const Layout &l)
{
    if (l.kind == Layout::grid)
        return be(0, 2) + be(l.rows - 1, 1) + be(l.columns - 1, 1) + be(l.canvas.width(), 2) + be(l.canvas.height(), 2);
    QByteArray out = be(0, 2) + be(0xFFFF, 8) + be(l.canvas.width(), 2) + be(l.canvas.height(), 2);
    for (int i = 0; i < l.layers; ++i) {
        const QPoint at = i == l.layers - 1 ? l.lastLayerAt : QPoint();
        out += be(quint16(at.x()), 2) + be(quint16(at.y()), 2);
    }
    return out;
}

// The file of the layout; its coded images carry properties 1 (size) and 2 (configuration), a
// derived primary property 3.
inline File layoutFile(const Coded &coded, const Layout &l)
{
    File f;
    f.brand = l.majorBrand ? QByteArray(l.majorBrand) : QByteArray(coded.av1 ? "avif" : "heic");
    f.properties = {ispe(l.tile), coded.config};
    f.data = coded.data;
    const QByteArray codedType = coded.av1 ? "av01" : "hvc1";
    const qint64 dataSize = coded.data.size();
    if (l.kind == Layout::single) {
        f.items = {{1, codedType, {1, 2}, {{0, dataSize}}}};
        return f;
    }
    const int refs = l.kind == Layout::grid ? l.rows * l.columns : l.layers;
    const int tiles = l.distinctTiles ? refs : 1;
    const quint32 primary = quint32(tiles + 1);
    f.primary = primary;
    Reference dimg{"dimg", primary, {}};
    for (int i = 0; i < tiles; ++i)
        f.items.append({quint32(i + 1), codedType, {1, 2}, {{0, dataSize}}});
    for (int i = 0; i < refs; ++i)
        dimg.to.append(quint32(i % tiles + 1));
    const QByteArray derived = derivedData(l);
    f.data += derived;
    f.items.append({primary, l.kind == Layout::grid ? "grid" : "iovl", {3}, {{dataSize, derived.size()}}});
    f.properties.append(ispe(l.canvas));
    f.references = {dimg};
    return f;
}

inline QByteArray craft(const Coded &coded, const Layout &l) { return write(layoutFile(coded, l)); }

// A single image of `size` with `items` Exif items describing it, each of `extents` extents over
// one block of `block` bytes.
inline QByteArray withExifBlocks(const Coded &coded, QSize size, int items, int extents, qint64 block)
{
    File f = layoutFile(coded, {Layout::single, size});
    const qint64 at = f.data.size();
    f.data += QByteArray(block, '\0');
    for (int i = 0; i < items; ++i) {
        const quint32 id = quint32(i + 2);
        f.items.append({id, "Exif", {}, QList<QPair<qint64, qint64>>(extents, {at, block})});
        f.references.append({"cdsc", id, {1}});
    }
    return write(f);
}

// The grid of the layout whose alpha image is a grid of alphaRows x alphaColumns uses of another
// coded image, of `alphaTile`, on the same canvas.
inline QByteArray withAlphaGrid(const Coded &image, const Layout &l, const Coded &alpha, QSize alphaTile,
                                int alphaRows, int alphaColumns)
{
    File f = layoutFile(image, l);
    const QByteArray grid = derivedData({Layout::grid, alphaTile, alphaRows, alphaColumns, 1, l.canvas});
    f.properties += {auxC("urn:mpeg:hevc:2015:auxid:1"), ispe(alphaTile), alpha.config};
    f.items.append({3, "grid", {3, 4}, {{f.data.size(), grid.size()}}});
    f.data += grid;
    f.items.append({4, "hvc1", {5, 6}, {{f.data.size(), alpha.data.size()}}});
    f.data += alpha.data;
    f.references.append({"dimg", 3, QList<quint32>(alphaRows * alphaColumns, 4)});
    f.references.append({"auxl", 3, {2}});
    return write(f);
}

// The coded image with `copies` of its bitstream in its configuration box besides: the decoder
// is given them before the image's own data, as HEVC parameter sets or AV1 configuration units.
inline Coded withPicturesInConfig(Coded c, int copies)
{
    QByteArray extra;
    if (c.av1) {
        extra = c.data.repeated(copies);
    } else {
        // The data's NAL units, each after its length in four bytes, in an array of their own.
        QList<QByteArray> units;
        for (qsizetype at = 0; at + 4 <= c.data.size();) {
            const qsizetype length = qFromBigEndian<quint32>(c.data.constData() + at);
            units.append(c.data.mid(at + 4, length));
            at += 4 + length;
        }
        extra = be(units.value(0).isEmpty() ? 0 : (uchar(units[0][0]) >> 1) & 0x3F, 1) + be(units.size() * copies, 2);
        for (int i = 0; i < copies; ++i)
            for (const QByteArray &u : std::as_const(units))
                extra += be(u.size(), 2) + u;
        c.config[8 + 22] = char(c.config[8 + 22] + 1); // one more array
    }
    c.config = box(c.av1 ? "av1C" : "hvcC", c.config.mid(8) + extra);
    return c;
}

// AV1's variable-length size field.
inline QByteArray leb128(quint64 v)
{
    QByteArray out;
    do {
        out += char((v & 0x7F) | (v > 0x7F ? 0x80 : 0));
        v >>= 7;
    } while (v);
    return out;
}

// The AV1 coded image with `count` OBUs of `type` (5 metadata, 15 padding) of `payload` zero
// bytes each in its av1C besides: the decoder is given them before every image's data.
inline Coded withConfigObus(Coded c, int type, int count, qint64 payload)
{
    const QByteArray obu = be(quint64(type) << 3 | 2, 1) + leb128(quint64(payload)) + QByteArray(payload, '\0');
    c.config = box("av1C", c.config.mid(8) + obu.repeated(count));
    return c;
}

// The file of the layout with `boxes` ("iloc", "ipma") written twice over, or its grid's list of
// tiles ("dimg") given twice.
inline QByteArray withTwice(const Coded &coded, const Layout &l, const QList<QByteArray> &boxes)
{
    File f = layoutFile(coded, l);
    f.twice = boxes;
    if (boxes.contains("dimg"))
        f.references.append(f.references.value(0));
    return write(f);
}

// A single image of `size` whose data is located twice: first as `first` (which the decoder
// reads), then as its own coded data.
inline QByteArray locatedTwice(const Coded &coded, QSize size, const QByteArray &first)
{
    File f = layoutFile(coded, {Layout::single, size});
    f.items.prepend({1, "hvc1", {}, {{f.data.size(), first.size()}}, true});
    f.data += first;
    return write(f);
}

// A single image of `size` described first as a grid, then as itself.
inline QByteArray describedTwice(const Coded &coded, QSize size)
{
    File f = layoutFile(coded, {Layout::single, size});
    Item again;
    again.id = 1;
    again.type = "grid";
    again.descriptionOnly = true;
    f.items.prepend(again);
    return write(f);
}

// A single image of `size` given that size a second time, by a property of its own.
inline QByteArray sizedTwice(const Coded &coded, QSize size)
{
    File f = layoutFile(coded, {Layout::single, size});
    f.properties.append(ispe(size));
    f.items[0].properties.append(3);
    return write(f);
}

// A single image with `count` references from it to itself besides ('cdsc', as metadata).
inline QByteArray withReferences(const Coded &coded, int count)
{
    File f = layoutFile(coded, {Layout::single, {64, 64}});
    f.references = QList<Reference>(count, Reference{"cdsc", 1, {1}});
    return write(f);
}

// A grid of rows x columns references to one inner grid whose data (its layout, then padding)
// is `innerBytes` long; the inner grid is one tile.
inline QByteArray gridOfGrids(const Coded &coded, int rows, int columns, qint64 innerBytes)
{
    const QSize tile(64, 64), canvas(64 * columns, 64 * rows);
    const int uses = rows * columns;
    File f = layoutFile(coded, {Layout::single, tile});
    const QByteArray inner = derivedData({Layout::grid, tile, 1, 1, 1, tile});
    const QByteArray outer = derivedData({Layout::grid, tile, rows, columns, 1, canvas});
    f.properties.append(ispe(canvas));
    const qint64 at = f.data.size();
    f.data += inner + QByteArray(innerBytes - inner.size(), '\0') + outer;
    f.items.append({2, "grid", {1}, {{at, innerBytes}}});
    f.items.append({3, "grid", {3}, {{at + innerBytes, outer.size()}}});
    f.references = {{"dimg", 2, {1}}, {"dimg", 3, QList<quint32>(uses, 2)}};
    f.primary = 3;
    return write(f);
}

// The coded image whose configuration gives its sequence parameter set `copies` times more.
inline Coded withParameterSets(Coded c, int copies)
{
    QByteArray body = c.config.mid(8);
    const int arrays = uchar(body[22]);
    qsizetype at = 23;
    QByteArray sps;
    for (int a = 0; a < arrays; ++a) {
        const int type = uchar(body[at]) & 0x3F, count = qFromBigEndian<quint16>(body.constData() + at + 1);
        at += 3;
        for (int n = 0; n < count; ++n) {
            const int length = qFromBigEndian<quint16>(body.constData() + at);
            if (type == 33)
                sps = body.mid(at + 2, length);
            at += 2 + length;
        }
    }
    EXPECT_FALSE(sps.isEmpty());
    body += be(33, 1) + be(copies, 2) + (be(sps.size(), 2) + sps).repeated(copies);
    body[22] = char(arrays + 1);
    c.config = box("hvcC", body);
    return c;
}

} // namespace LWHeifCraft
