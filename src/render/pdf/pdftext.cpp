#include "render/pdf/pdftext.h"

#include "render/text/fonts.h"

#include <QHash>
#include <QPainterPath>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <exception>


// Qt writes a ToUnicode CMap only for glyphs the font's cmap reaches. Glyphs that shaping
// substituted in (ligatures, alternates) are found again here: their inputs come from the
// original font's GSUB, and the subset glyph is matched to an original one by outline box and
// advance, since Qt renumbers (and redraws) the glyphs it embeds.
namespace LWPdfText {
namespace {

// Big-endian reads that turn any out-of-range access into a failed table.
struct Table {
    QByteArray d;
    bool ok = true;
    quint32 at(qsizetype pos, int bytes)
    {
        if (pos < 0 || pos + bytes > d.size()) {
            ok = false;
            return 0;
        }
        quint32 v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | quint8(d[pos + i]);
        return v;
    }
    quint16 u16(qsizetype pos) { return quint16(at(pos, 2)); }
};

using Sources = QHash<quint32, QList<quint32>>; // output glyph -> the glyphs it stands for

QList<quint32> coverage(Table &t, qsizetype pos)
{
    QList<quint32> out;
    const int format = t.u16(pos);
    const int count = t.u16(pos + 2);
    for (int i = 0; i < count && t.ok; ++i) {
        if (format == 1) {
            out.append(t.u16(pos + 4 + 2 * i));
        } else if (format == 2) {
            const qsizetype r = pos + 4 + 6 * i;
            for (quint32 g = t.u16(r); g <= t.u16(r + 2) && t.ok && out.size() < 65536; ++g)
                out.append(g);
        }
    }
    return out;
}

void subtable(Table &t, int type, qsizetype pos, Sources &src, int depth = 0)
{
    const int format = t.u16(pos);
    if (type == 7 && format == 1 && depth == 0) {
        subtable(t, t.u16(pos + 2), pos + t.at(pos + 4, 4), src, 1);
        return;
    }
    const QList<quint32> cov = coverage(t, pos + t.u16(pos + 2));
    if (!t.ok)
        return;
    if (type == 1 && format == 1) {
        const quint16 delta = t.u16(pos + 4);
        for (quint32 g : cov)
            src.insert(quint16(g + delta), {g});
    } else if (type == 1 && format == 2) {
        for (int i = 0; i < cov.size() && i < t.u16(pos + 4); ++i)
            src.insert(t.u16(pos + 6 + 2 * i), {cov[i]});
    } else if (type == 3 && format == 1) {
        for (int i = 0; i < cov.size() && i < t.u16(pos + 4) && t.ok; ++i) {
            const qsizetype set = pos + t.u16(pos + 6 + 2 * i);
            for (int k = 0; k < t.u16(set) && t.ok; ++k)
                src.insert(t.u16(set + 2 + 2 * k), {cov[i]});
        }
    } else if (type == 4 && format == 1) {
        for (int i = 0; i < cov.size() && i < t.u16(pos + 4) && t.ok; ++i) {
            const qsizetype set = pos + t.u16(pos + 6 + 2 * i);
            for (int k = 0; k < t.u16(set) && t.ok; ++k) {
                const qsizetype lig = set + t.u16(set + 2 + 2 * k);
                QList<quint32> parts{cov[i]};
                for (int c = 1; c < t.u16(lig + 2) && t.ok; ++c)
                    parts.append(t.u16(lig + 2 + 2 * c));
                if (t.ok)
                    src.insert(t.u16(lig), parts);
            }
        }
    }
}

Sources gsubSources(const QByteArray &gsub)
{
    Table t{gsub};
    Sources src;
    const qsizetype list = t.u16(8);
    for (int i = 0; i < t.u16(list) && t.ok; ++i) {
        const qsizetype lookup = list + t.u16(list + 2 + 2 * i);
        const int type = t.u16(lookup);
        for (int s = 0; s < t.u16(lookup + 4) && t.ok; ++s)
            subtable(t, type, lookup + t.u16(lookup + 6 + 2 * s), src);
        t.ok = true; // a broken lookup costs only its own entries
    }
    return src;
}

// The text a glyph stands for: its cmap code point, else what GSUB made it from.
QString textOf(quint32 g, const QHash<quint32, char16_t> &cmap, const Sources &src, int depth = 0)
{
    if (auto c = cmap.constFind(g); c != cmap.cend())
        return QString(QChar(*c));
    auto s = src.constFind(g);
    if (s == src.cend() || depth > 6)
        return {};
    QString text;
    for (quint32 part : *s) {
        const QString p = textOf(part, cmap, src, depth + 1);
        if (p.isEmpty())
            return {};
        text += p;
    }
    return text;
}

int unitsPerEm(const QRawFont &f)
{
    Table head{f.fontTable("head")};
    const int em = head.u16(18);
    return head.ok && em >= 16 ? em : 0;
}

struct Shape {
    QRectF box;
    double advance = 0;
};

Shape shapeOf(const QRawFont &f, quint32 g)
{
    const QList<QPointF> adv = f.advancesForGlyphIndexes(QList<quint32>{g});
    return {f.pathForGlyph(g).boundingRect(), adv.isEmpty() ? 0 : adv[0].x()};
}

double distance(const Shape &a, const Shape &b)
{
    return std::max({std::abs(a.advance - b.advance), std::abs(a.box.left() - b.box.left()),
                     std::abs(a.box.top() - b.box.top()), std::abs(a.box.right() - b.box.right()),
                     std::abs(a.box.bottom() - b.box.bottom())});
}

// What the CMap already maps: the CIDs, and the scripts of the text they map to (Qt writes
// one bfrange or bfchar mapping per line).
struct Mapped {
    QSet<quint32> cids;
    QSet<int> scripts;
};

Mapped mapped(const QByteArray &cmap)
{
    Mapped out;
    static const QRegularExpression line(QStringLiteral("^<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]+)>(.*)$"),
                                         QRegularExpression::MultilineOption);
    static const QRegularExpression block(QStringLiteral("begin(bfrange|bfchar)(.*?)endbf"),
                                          QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression hex(QStringLiteral("<([0-9A-Fa-f]{4})"));
    const QString text = QString::fromLatin1(cmap);
    for (auto b = block.globalMatch(text); b.hasNext();) {
        const auto bm = b.next();
        const bool range = bm.captured(1) == QLatin1String("bfrange");
        for (auto it = line.globalMatch(bm.captured(2).trimmed()); it.hasNext();) {
            const auto m = it.next();
            const quint32 first = m.captured(1).toUInt(nullptr, 16);
            const quint32 last = range ? m.captured(2).toUInt(nullptr, 16) : first;
            for (quint32 c = first; c <= last && c < 65536; ++c)
                out.cids.insert(c);
            for (auto h = hex.globalMatch(range ? m.captured(3) : m.captured(2)); h.hasNext();)
                out.scripts.insert(QChar(char16_t(h.next().captured(1).toUInt(nullptr, 16))).script());
        }
    }
    return out;
}

// Whether every letter of `text` is in a script the font's other text uses.
bool fits(const QString &text, const QSet<int> &scripts)
{
    for (QChar c : text) {
        if (c.script() > QChar::Script_Common && !scripts.contains(c.script()))
            return false;
    }
    return true;
}

// bfchar lines for the CIDs of one font that have none.
QList<QByteArray> missingEntries(const LWPdfFile::EmbeddedFont &font)
{
    QString name = font.baseFont;
    if (name.size() > 7 && name[6] == u'+')
        name = name.mid(7);
    const QByteArray &cmap = font.toUnicode;
    const QRawFont sub(font.fontFile, 12);
    Table maxp{sub.fontTable("maxp")};
    const int count = maxp.u16(4);
    const int subEm = sub.isValid() ? unitsPerEm(sub) : 0;
    if (!subEm || !maxp.ok)
        return {};
    const Mapped done = mapped(cmap);
    QList<quint32> missing;
    for (int c = 1; c < count; ++c) {
        if (!done.cids.contains(quint32(c)))
            missing.append(quint32(c));
    }
    if (missing.isEmpty())
        return {};

    const QFont qfont = LWFonts::font(name, 12);
    if (LWFonts::postScriptNameOf(qfont) != name)
        return {};
    const QRawFont orig = QRawFont::fromFont(qfont);
    if (!orig.isValid())
        return {};
    const Sources src = gsubSources(orig.fontTable("GSUB"));
    if (src.isEmpty())
        return {};

    // The cmap in reverse, preferring the lowest printable code point.
    QString bmp;
    for (char32_t u = 0xFFFD; u >= 0x20; --u) {
        if (!QChar::isSurrogate(u))
            bmp.append(QChar(char16_t(u)));
    }
    QList<quint32> glyphs(bmp.size());
    int n = int(glyphs.size());
    QHash<quint32, char16_t> reverse;
    if (orig.glyphIndexesForChars(bmp.constData(), n, glyphs.data(), &n)) {
        for (int i = 0; i < n; ++i) {
            if (glyphs[i])
                reverse.insert(glyphs[i], bmp[i].unicode());
        }
    }

    // Compare in the subset's font units (Qt rescales outlines to its own em). Outlines are
    // drawn only for candidates whose advance fits a missing glyph.
    QRawFont o = orig, s = sub;
    o.setPixelSize(subEm);
    s.setPixelSize(subEm);
    QList<Shape> shapes;
    for (quint32 c : missing)
        shapes.append(shapeOf(s, c));
    QList<QPair<Shape, QString>> candidates;
    for (auto it = src.cbegin(); it != src.cend(); ++it) {
        if (reverse.contains(it.key()))
            continue;
        const double advance = o.advancesForGlyphIndexes(QList<quint32>{it.key()}).value(0).x();
        if (std::none_of(shapes.cbegin(), shapes.cend(),
                         [&](const Shape &m) { return std::abs(m.advance - advance) < 2; }))
            continue;
        const QString text = textOf(it.key(), reverse, src);
        if (!text.isEmpty())
            candidates.append({shapeOf(o, it.key()), text});
    }

    QList<QByteArray> out;
    for (qsizetype i = 0; i < missing.size(); ++i) {
        const quint32 c = missing[i];
        const Shape &shape = shapes[i];
        if (shape.box.isEmpty())
            continue;
        // Glyphs of equal outline (a Latin and a Cyrillic final e) tie; the font's other text
        // decides, else the glyph stays unmapped.
        double nearest = 2; // font units: Qt redraws outlines on a whole-unit grid
        QStringList best;
        for (const auto &cand : candidates) {
            const double d = distance(shape, cand.first);
            if (d < nearest - 0.01)
                best.clear();
            if (d < nearest + 0.01 && !best.contains(cand.second)) {
                nearest = std::min(nearest, d);
                best.append(cand.second);
            }
        }
        if (best.size() > 1)
            best.removeIf([&](const QString &t) { return !fits(t, done.scripts); });
        if (best.size() != 1)
            continue;
        QByteArray utf16be;
        for (QChar ch : best[0])
            utf16be += QByteArray::number(ch.unicode(), 16).rightJustified(4, '0');
        out.append('<' + QByteArray::number(c, 16).rightJustified(4, '0') + "> <" + utf16be + ">\n");
    }
    return out;
}

} // namespace

std::optional<QByteArray> completedToUnicode(const LWPdfFile::EmbeddedFont &font)
{
    const QByteArray &cmap = font.toUnicode;
    const qsizetype end = cmap.lastIndexOf("endcmap");
    if (end < 0)
        return std::nullopt;
    const QList<QByteArray> lines = missingEntries(font);
    if (lines.isEmpty())
        return std::nullopt;
    QByteArray blocks;
    for (qsizetype i = 0; i < lines.size(); i += 100) { // at most 100 entries per block
        const QList<QByteArray> part = lines.mid(i, 100);
        blocks += QByteArray::number(part.size()) + " beginbfchar\n" + part.join() + "endbfchar\n";
    }
    return cmap.left(end) + blocks + cmap.mid(end);
}

} // namespace LWPdfText
