#include "render/pictures/formats/heifcontainer.h"

#include "render/pictures/formats/codedsize.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QtEndian>

#include <algorithm>

namespace {

// A box: its type and body, within the bytes of its parent.
struct Box {
    quint32 type = 0;
    qsizetype at = 0, size = 0; // the body
};

constexpr quint32 fourcc(const char (&s)[5])
{
    return quint32(uchar(s[0])) << 24 | quint32(uchar(s[1])) << 16 | quint32(uchar(s[2])) << 8 | uchar(s[3]);
}

// Reads big-endian fields from a span of the bytes; past the end it fails and reads zeros.
class Reader {
public:
    Reader(const QByteArray &bytes, qsizetype at, qsizetype size) : m_bytes(bytes), m_at(at), m_end(at + size) {}
    quint64 u(int n)
    {
        if (n == 0)
            return 0;
        if (m_end - m_at < n) {
            m_ok = false;
            m_at = m_end;
            return 0;
        }
        quint64 v = 0;
        for (int i = 0; i < n; ++i)
            v = (v << 8) | uchar(m_bytes[m_at++]);
        return v;
    }
    void skip(qsizetype n) { m_at = n > m_end - m_at ? (m_ok = false, m_end) : m_at + n; }
    bool ok() const { return m_ok; }
    qsizetype at() const { return m_at; }
    qsizetype left() const { return m_end - m_at; }

private:
    const QByteArray &m_bytes;
    qsizetype m_at, m_end;
    bool m_ok = true;
};

// The boxes in a span; none when one runs past it.
std::optional<QList<Box>> children(const QByteArray &bytes, qsizetype at, qsizetype size)
{
    QList<Box> out;
    Reader r(bytes, at, size);
    while (r.left() > 0) {
        const qsizetype start = r.at();
        quint64 length = r.u(4);
        const quint32 type = quint32(r.u(4));
        if (length == 1)
            length = r.u(8);
        else if (length == 0)
            length = quint64(r.left() + (r.at() - start));
        const qsizetype header = r.at() - start;
        if (!r.ok() || length < quint64(header) || length - quint64(header) > quint64(r.left()))
            return std::nullopt;
        out.append({type, r.at(), qsizetype(length) - header});
        r.skip(qsizetype(length) - header);
        if (out.size() > 100'000)
            return std::nullopt;
    }
    return out;
}

const Box *find(const QList<Box> &boxes, quint32 type)
{
    for (const Box &b : boxes)
        if (b.type == type)
            return &b;
    return nullptr;
}

// Whether a box the plan reads the first of is given twice: the decoder may read the other.
bool twice(const QList<Box> &boxes, std::initializer_list<quint32> types)
{
    for (const quint32 t : types)
        if (std::count_if(boxes.cbegin(), boxes.cend(), [t](const Box &b) { return b.type == t; }) > 1)
            return true;
    return false;
}

struct Extent {
    qint64 offset = 0, length = 0;
};
struct Item {
    quint32 type = 0;
    QList<int> properties; // indices into the property boxes, from 0
    QList<quint32> derivedFrom; // 'dimg' references, in order, repeats kept
    int constructionMethod = 0;
    QList<Extent> extents;
    bool located = false, hasProperties = false;
};

// Everything of the meta box the plan needs.
struct Meta {
    int maxItems = 0;
    quint32 primary = 0;
    QHash<quint32, Item> items;
    QList<Box> properties;
    QList<quint32> alphaLike; // items that reference another one as auxiliary ('auxl')
    QHash<quint32, QList<quint32>> auxiliaryOf;
    Box idat;
    bool hasIdat = false;
    QSet<quint32> described; // items with an 'infe'
};

bool readInfe(const QByteArray &bytes, const Box &infe, Meta &meta)
{
    Reader r(bytes, infe.at, infe.size);
    const int version = int(r.u(1));
    r.skip(3);
    const quint32 id = quint32(r.u(version < 3 ? 2 : 4));
    // An item described twice is read one way by us and may be read the other by the decoder.
    if (!r.ok() || meta.described.contains(id))
        return false;
    meta.described.insert(id);
    if (version < 2)
        return true; // no item type to learn: such an item is nothing we decode
    r.skip(2);
    const quint32 type = quint32(r.u(4));
    Item &item = meta.items[id];
    if (meta.items.size() > meta.maxItems)
        return false;
    item.type = type;
    return r.ok();
}

bool readIinf(const QByteArray &bytes, const Box &iinf, Meta &meta)
{
    Reader r(bytes, iinf.at, iinf.size);
    const int version = int(r.u(1));
    r.skip(3);
    (void)r.u(version == 0 ? 2 : 4);
    const auto boxes = children(bytes, r.at(), r.left());
    if (!r.ok() || !boxes || boxes->size() > meta.maxItems)
        return false;
    for (const Box &b : *boxes)
        if (b.type == fourcc("infe") && !readInfe(bytes, b, meta))
            return false;
    return true;
}

bool readIref(const QByteArray &bytes, const Box &iref, Meta &meta)
{
    Reader r(bytes, iref.at, iref.size);
    const int version = int(r.u(1));
    r.skip(3);
    const int idSize = version == 0 ? 2 : 4;
    const auto boxes = children(bytes, r.at(), r.left());
    // A few kinds of reference an item: more boxes than items is no photo's (the decoder reads
    // them in time growing faster than their number).
    if (!r.ok() || !boxes || boxes->size() > meta.maxItems)
        return false;
    QSet<quint32> derived;
    for (const Box &b : *boxes) {
        Reader e(bytes, b.at, b.size);
        const quint32 from = quint32(e.u(idSize));
        const int count = int(e.u(2));
        // One list of what an item is derived from: a second one may be the one the decoder reads.
        if (b.type == fourcc("dimg")) {
            if (derived.contains(from))
                return false;
            derived.insert(from);
        }
        for (int i = 0; i < count && e.ok(); ++i) {
            const quint32 to = quint32(e.u(idSize));
            if (b.type == fourcc("dimg"))
                meta.items[from].derivedFrom.append(to);
            else if (b.type == fourcc("auxl"))
                meta.auxiliaryOf[to].append(from);
        }
        if (!e.ok())
            return false;
    }
    return true;
}

bool readIpma(const QByteArray &bytes, const Box &ipma, Meta &meta)
{
    Reader r(bytes, ipma.at, ipma.size);
    const int version = int(r.u(1));
    const int flags = int(r.u(3));
    const quint64 entries = r.u(4);
    if (entries > quint64(meta.maxItems))
        return false;
    for (quint64 i = 0; i < entries && r.ok(); ++i) {
        const quint32 id = quint32(r.u(version < 1 ? 2 : 4));
        const int count = int(r.u(1));
        Item &item = meta.items[id];
        if (item.hasProperties || meta.items.size() > meta.maxItems)
            return false; // its properties listed twice
        item.hasProperties = true;
        QSet<quint32> read; // of the kinds the plan reads
        for (int j = 0; j < count && r.ok(); ++j) {
            const int index = (flags & 1) ? int(r.u(2) & 0x7FFF) : int(r.u(1) & 0x7F);
            if (index <= 0)
                continue;
            item.properties.append(index - 1);
            // The plan reads the first of a kind, the decoder the last size: one of each.
            const quint32 type = index - 1 < meta.properties.size() ? meta.properties[index - 1].type : 0;
            if (type == fourcc("ispe") || type == fourcc("hvcC") || type == fourcc("av1C")) {
                if (read.contains(type))
                    return false;
                read.insert(type);
            }
        }
    }
    return r.ok();
}

bool readIloc(const QByteArray &bytes, const Box &iloc, Meta &meta)
{
    Reader r(bytes, iloc.at, iloc.size);
    const int version = int(r.u(1));
    r.skip(3);
    const int sizes = int(r.u(2));
    const int offsetSize = sizes >> 12, lengthSize = (sizes >> 8) & 15, baseSize = (sizes >> 4) & 15;
    const int indexSize = version >= 1 ? sizes & 15 : 0;
    for (const int field : {offsetSize, lengthSize, baseSize, indexSize})
        if (field != 0 && field != 4 && field != 8)
            return false;
    // Extents of no bytes at all cost nothing to list: bounded apart.
    qint64 extentsLeft = 100'000;
    const quint64 count = r.u(version < 2 ? 2 : 4);
    if (count > quint64(meta.maxItems))
        return false;
    for (quint64 i = 0; i < count && r.ok(); ++i) {
        Item &item = meta.items[quint32(r.u(version < 2 ? 2 : 4))];
        // An item located twice: the decoder reads the first entry, we would check the last.
        if (item.located || meta.items.size() > meta.maxItems)
            return false;
        item.located = true;
        item.constructionMethod = version >= 1 ? int(r.u(2) & 15) : 0;
        r.skip(2); // data reference
        const qint64 base = qint64(r.u(baseSize));
        const int extents = int(r.u(2));
        if ((extentsLeft -= extents) < 0)
            return false;
        for (int e = 0; e < extents && r.ok(); ++e) {
            r.skip(indexSize);
            const qint64 offset = qint64(r.u(offsetSize));
            const qint64 length = qint64(r.u(lengthSize));
            item.extents.append({base + offset, length});
        }
    }
    return r.ok();
}

std::optional<Meta> readMeta(const QByteArray &bytes, int maxItems)
{
    const auto top = children(bytes, 0, bytes.size());
    if (!top)
        return std::nullopt;
    const Box *metaBox = find(*top, fourcc("meta"));
    if (!metaBox || metaBox->size < 4)
        return std::nullopt;
    const auto boxes = children(bytes, metaBox->at + 4, metaBox->size - 4);
    if (!boxes || twice(*top, {fourcc("meta")}) ||
        twice(*boxes, {fourcc("pitm"), fourcc("iinf"), fourcc("iref"), fourcc("iloc"), fourcc("iprp"), fourcc("idat")}))
        return std::nullopt;
    Meta meta;
    meta.maxItems = maxItems;
    const Box *pitm = find(*boxes, fourcc("pitm"));
    if (!pitm)
        return std::nullopt;
    Reader p(bytes, pitm->at, pitm->size);
    meta.primary = quint32(p.u(1) == 0 ? (p.skip(3), p.u(2)) : (p.skip(3), p.u(4)));
    if (!p.ok())
        return std::nullopt;
    const Box *iinf = find(*boxes, fourcc("iinf"));
    const Box *iref = find(*boxes, fourcc("iref"));
    const Box *iloc = find(*boxes, fourcc("iloc"));
    const Box *iprp = find(*boxes, fourcc("iprp"));
    if (const Box *idat = find(*boxes, fourcc("idat"))) {
        meta.idat = *idat;
        meta.hasIdat = true;
    }
    if (!iinf || !iprp || !readIinf(bytes, *iinf, meta) || (iref && !readIref(bytes, *iref, meta)) ||
        (iloc && !readIloc(bytes, *iloc, meta)))
        return std::nullopt;
    const auto props = children(bytes, iprp->at, iprp->size);
    if (!props || twice(*props, {fourcc("ipco")}))
        return std::nullopt;
    const Box *ipco = find(*props, fourcc("ipco"));
    if (!ipco)
        return std::nullopt;
    const auto ipcoBoxes = children(bytes, ipco->at, ipco->size);
    if (!ipcoBoxes)
        return std::nullopt;
    meta.properties = *ipcoBoxes;
    for (const Box &b : *props)
        if (b.type == fourcc("ipma") && !readIpma(bytes, b, meta))
            return std::nullopt;
    return meta;
}

// An item's extents as spans of the bytes; none when one lies outside the file (or its idat).
std::optional<QList<Extent>> spans(const QByteArray &bytes, const Meta &meta, const Item &item)
{
    qint64 from = 0, limit = bytes.size();
    if (item.constructionMethod == 1) {
        if (!meta.hasIdat)
            return std::nullopt;
        from = meta.idat.at;
        limit = meta.idat.size;
    } else if (item.constructionMethod != 0) {
        return std::nullopt;
    }
    QList<Extent> out;
    for (const Extent &e : item.extents) {
        // A length of 0 means to the end.
        const qint64 length = e.length == 0 ? limit - e.offset : e.length;
        if (e.offset < 0 || length < 0 || e.offset > limit || length > limit - e.offset)
            return std::nullopt;
        out.append({from + e.offset, length});
    }
    return out;
}

// The decoder copies every item's data when it opens the file: all of it together may be no
// more than the file holds, whatever repeats the extents make.
bool dataWithinFile(const QByteArray &bytes, const Meta &meta)
{
    qint64 total = 0;
    for (const Item &item : meta.items) {
        if (item.constructionMethod == 2)
            continue; // made of other items' data, which the decoder does not read
        const std::optional<QList<Extent>> s = spans(bytes, meta, item);
        if (!s)
            return false;
        for (const Extent &e : *s)
            if ((total += e.length) > bytes.size())
                return false;
    }
    return true;
}

// An item's data, its extents joined: the file's own bytes, uncopied, for one extent. At most
// `most` bytes of it are joined (-1: all).
std::optional<QByteArray> itemData(const QByteArray &bytes, const Meta &meta, const Item &item, qint64 most = -1)
{
    const std::optional<QList<Extent>> s = spans(bytes, meta, item);
    if (!s)
        return std::nullopt;
    if (s->size() == 1 && most < 0)
        return QByteArray::fromRawData(bytes.constData() + s->front().offset, qsizetype(s->front().length));
    QByteArray out;
    for (const Extent &e : *s) {
        const qint64 take = most < 0 ? e.length : std::min(e.length, most - out.size());
        out.append(bytes.constData() + e.offset, qsizetype(take));
        if (most >= 0 && out.size() >= most)
            break;
    }
    return out;
}

// All of an item's data together, which libheif copies at every use of the item.
qint64 dataLength(const QByteArray &bytes, const Meta &meta, const Item &item)
{
    qint64 total = 0;
    if (const std::optional<QList<Extent>> s = spans(bytes, meta, item))
        for (const Extent &e : *s)
            total += e.length;
    return total;
}

class Planner {
public:
    Planner(const QByteArray &bytes, const Meta &meta, qint64 maxPixels, int maxImages)
        : m_bytes(bytes), m_meta(meta), m_maxPixels(maxPixels), m_maxImages(maxImages)
    {
    }

    std::optional<LWHeifContainer::Plan> run()
    {
        if (!visit(m_meta.primary, 0) && !m_plan.overBounds)
            return std::nullopt;
        return m_plan;
    }

private:
    const Item *item(quint32 id) const
    {
        const auto it = m_meta.items.constFind(id);
        return it == m_meta.items.cend() ? nullptr : &*it;
    }

    const Box *property(const Item &item, quint32 type) const
    {
        for (const int i : item.properties)
            if (i < m_meta.properties.size() && m_meta.properties[i].type == type)
                return &m_meta.properties[i];
        return nullptr;
    }

    QByteArray body(const Box &b, qsizetype skip = 0) const { return m_bytes.mid(b.at + skip, b.size - skip); }

    // The item's declared size ('ispe').
    std::optional<QSize> declared(quint32 id) const
    {
        const Item *it = item(id);
        const Box *ispe = it ? property(*it, fourcc("ispe")) : nullptr;
        if (!ispe)
            return std::nullopt;
        Reader r(m_bytes, ispe->at, ispe->size);
        r.skip(4);
        const quint64 w = r.u(4), h = r.u(4);
        if (!r.ok() || w == 0 || h == 0 || w > 65535 || h > 65535)
            return std::nullopt;
        return QSize(int(w), int(h));
    }

    // The size a grid's or overlay's data says its canvas is, from the first bytes of its data.
    std::optional<QSize> canvas(const Item &it) const
    {
        const std::optional<QByteArray> data = itemData(m_bytes, m_meta, it, 20);
        if (!data)
            return std::nullopt;
        Reader r(*data, 0, data->size());
        r.skip(1);
        const int flags = int(r.u(1));
        if (it.type == fourcc("grid"))
            r.skip(2);
        else
            r.skip(8); // fill colour
        const int field = (flags & 1) ? 4 : 2;
        const quint64 w = r.u(field), h = r.u(field);
        if (!r.ok())
            return std::nullopt;
        return QSize(int(std::min<quint64>(w, 1 << 30)), int(std::min<quint64>(h, 1 << 30)));
    }

    // Whether no layer of an overlay starts above or left of its canvas: the decoder copies such
    // a layer's rows from past its end (libheif 1.15 reads beyond the layer's pixels), and what it
    // draws is not the picture. A real overlay places its layers within the canvas.
    bool layersPlaceable(quint32 id, const Item &it)
    {
        if (const auto known = m_placeable.constFind(id); known != m_placeable.cend())
            return *known;
        const std::optional<QByteArray> data = itemData(m_bytes, m_meta, it);
        if (!data)
            return false;
        Reader r(*data, 0, data->size());
        r.skip(1);
        const int field = (int(r.u(1)) & 1) ? 4 : 2;
        r.skip(8 + 2 * field); // fill colour, canvas size
        bool placeable = true;
        // Each layer's horizontal and vertical offsets, signed.
        for (qsizetype i = 0; i < 2 * it.derivedFrom.size() && placeable; ++i)
            placeable = !(r.u(field) >> (8 * field - 1)) && r.ok();
        m_placeable.insert(id, placeable);
        return placeable;
    }

    // The size the item's bitstream makes, and how many pictures it decodes to make it; with
    // the bytes of its configuration, which go to the decoder before the data at every use.
    std::optional<LWCodedSize::Stream> stream(const Item &it, qint64 &configBytes) const
    {
        const std::optional<QByteArray> data = itemData(m_bytes, m_meta, it);
        if (!data)
            return std::nullopt;
        std::optional<LWCodedSize::Stream> config, inData;
        if (it.type == fourcc("hvc1")) {
            const Box *hvcC = property(it, fourcc("hvcC"));
            const auto hevc = hvcC ? LWCodedSize::hevcConfig(body(*hvcC)) : std::nullopt;
            if (!hevc)
                return std::nullopt;
            configBytes = hvcC->size;
            // The parameter arrays go to the decoder before every image's data: pictures in them too.
            config = LWCodedSize::Stream{hevc->size, hevc->size, hevc->pictures, hevc->otherUnits};
            inData = LWCodedSize::hevcNalUnits(*data, hevc->lengthSize);
        } else {
            const Box *av1C = property(it, fourcc("av1C"));
            config = av1C && av1C->size >= 4 ? LWCodedSize::av1Obus(body(*av1C, 4)) : std::nullopt;
            configBytes = av1C ? av1C->size : 0;
            inData = config ? LWCodedSize::av1Obus(*data) : std::nullopt;
        }
        if (!inData)
            return std::nullopt;
        return LWCodedSize::Stream{config->size.expandedTo(inData->size), config->ceiling.expandedTo(inData->ceiling),
                                   config->pictures + inData->pictures, config->otherUnits + inData->otherUnits};
    }

    bool within(QSize made, QSize allowed, int padding) const
    {
        return made.width() <= allowed.width() + padding && made.height() <= allowed.height() + padding;
    }

    bool visit(quint32 id, int depth)
    {
        const Item *it = item(id);
        const std::optional<QSize> size = declared(id);
        if (!it || !size || depth > 2)
            return false;
        // The decoder copies an item's data at every use of it: a large item used many times
        // costs its size each time.
        m_plan.dataRead += m_dataLength.contains(id) ? m_dataLength[id]
                                                     : *m_dataLength.insert(id, dataLength(m_bytes, m_meta, *it));
        if (m_plan.dataRead > m_maxDataRead) {
            m_plan.overBounds = true;
            return false;
        }
        if (it->type == fourcc("grid") || it->type == fourcc("iovl")) {
            auto known = m_canvas.constFind(id);
            if (known == m_canvas.cend())
                known = m_canvas.insert(id, canvas(*it));
            const std::optional<QSize> c = *known;
            // Some writers declare a turned grid's size turned, its canvas not.
            if (!c || !(within(*c, *size, 0) || within(*c, size->transposed(), 0)) || it->derivedFrom.isEmpty())
                return false;
            if (it->type == fourcc("iovl") && !layersPlaceable(id, *it))
                return false;
            for (const quint32 from : it->derivedFrom)
                if (!visit(from, depth + 1))
                    return false;
        } else if (it->type == fourcc("iden")) {
            if (it->derivedFrom.size() != 1 || !visit(it->derivedFrom[0], depth + 1))
                return false;
        } else if (it->type == fourcc("hvc1") || it->type == fourcc("av01")) {
            if (!coded(id, *it, *size))
                return false;
        } else {
            return false;
        }
        // An alpha plane is decoded along with its image, and may be a grid itself; the other
        // auxiliary images (depth, gain maps) are counted alike: nothing of them goes unchecked.
        for (const quint32 aux : m_meta.auxiliaryOf.value(id))
            if (!visit(aux, depth + 1))
                return false;
        return true;
    }

    bool coded(quint32 id, const Item &it, QSize size)
    {
        if (++m_plan.codedImages > m_maxImages) {
            m_plan.overBounds = true;
            return false;
        }
        auto known = m_coded.constFind(id);
        if (known == m_coded.cend()) {
            qint64 configBytes = 0;
            const std::optional<LWCodedSize::Stream> s = stream(it, configBytes);
            if (!s || s->size.isEmpty() || !within(s->size, size, LWHeifContainer::codingPadding))
                return false;
            // Memory and work are counted for the largest a picture may claim.
            const QSize largest = s->size.expandedTo(s->ceiling);
            known = m_coded.insert(id, {qint64(largest.width()) * largest.height(), std::max(1, s->pictures),
                                        s->otherUnits, configBytes});
        }
        // The configuration is copied and parsed with every use, as the item's data is.
        if ((m_plan.dataRead += known->configBytes) > m_maxDataRead) {
            m_plan.overBounds = true;
            return false;
        }
        // Every picture in the bitstream is decoded, though only one is shown.
        m_plan.codedImages += known->pictures - 1;
        m_plan.codedPixels += known->pixels * known->pictures;
        // Each parameter set of the configuration and the data is parsed anew with every image: a
        // real image has three or four.
        if ((m_otherUnits += known->otherUnits) > LWHeifContainer::maxOtherUnitsPerImage * m_maxImages) {
            m_plan.overBounds = true;
            return false;
        }
        if (m_plan.codedImages > m_maxImages) {
            m_plan.overBounds = true;
            return false;
        }
        m_plan.largestCoded = std::max(m_plan.largestCoded, known->pixels);
        m_plan.overBounds = m_plan.codedPixels > m_maxPixels;
        return !m_plan.overBounds;
    }

    const QByteArray &m_bytes;
    const Meta &m_meta;
    qint64 m_maxPixels;
    int m_maxImages;
    struct Known {
        qint64 pixels = 0;
        int pictures = 1;
        int otherUnits = 0;
        qint64 configBytes = 0;
    };
    qint64 m_otherUnits = 0;
    QHash<quint32, Known> m_coded; // the coded images already read
    QHash<quint32, std::optional<QSize>> m_canvas; // the grids' and overlays' canvases already read
    QHash<quint32, qint64> m_dataLength;
    QHash<quint32, bool> m_placeable; // the overlays whose layers were read
    qint64 m_maxDataRead = 2 * qint64(m_bytes.size()) + LWHeifContainer::maxDataReadBeyondFile;
    LWHeifContainer::Plan m_plan;
};

} // namespace

namespace LWHeifContainer {

std::optional<Plan> plan(const QByteArray &bytes, qint64 maxPixels, int maxImages)
{
    // Each coded image may have an alpha image; a few more for thumbnails and metadata.
    const std::optional<Meta> meta = readMeta(bytes, 2 * maxImages + 64);
    if (!meta || !dataWithinFile(bytes, *meta))
        return std::nullopt;
    return Planner(bytes, *meta, maxPixels, maxImages).run();
}

} // namespace LWHeifContainer
