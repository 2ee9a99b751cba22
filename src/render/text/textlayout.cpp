#include "render/text/textlayout.h"

#include "render/text/fontink.h"
#include "render/text/fonts.h"
#include "model/element.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPaintEngine>
#include <QRawFont>
#include <QTextLayout>
#include <QTextOption>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace {

// Every text is laid out at 100 pixels per point (a 7200-DPI reference), whatever it is drawn on.
constexpr double unitsPerPoint = 100;
constexpr double frameLimit = 100000;               // points, the most a frame holds
constexpr double minSize = 0.01;
constexpr double maxSize = 1e6;
constexpr double tabInterval = 28; // points
constexpr int maxReferencePixels = 6000;

double naturalWidth(const QFont &font, const QString &s)
{
    QTextLayout layout(s);
    layout.setFont(font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    return line.naturalTextWidth();
}

// Qt multiplies absolute letter spacing by the integer ratio of the font's device DPI to the
// screen's (75 for a font bound to a 7200-DPI device under a 96-DPI screen). Fonts here are used
// as made, with pixel sizes, so the ratio is normally 1; it is measured once and divided out.
double letterSpacingFactor()
{
    static const double factor = [] {
        QFont font;
        font.setPixelSize(100);
        QFont spaced = font;
        spaced.setLetterSpacing(QFont::AbsoluteSpacing, 8);
        const double f = (naturalWidth(spaced, QStringLiteral("ii")) - naturalWidth(font, QStringLiteral("ii"))) / 16;
        return f > 0 ? f : 1.0;
    }();
    return factor;
}

qint32 s16(const QByteArray &t, int at)
{
    return at + 2 <= t.size() ? qFromBigEndian<qint16>(t.constData() + at) : 0;
}
qint32 u16(const QByteArray &t, int at)
{
    return at + 2 <= t.size() ? qFromBigEndian<quint16>(t.constData() + at) : 0;
}

// Qt's vertical metrics overflow once font units × pixel size nears 2^25 (a 2048-unit font's
// ascent reads 0 from about 17000 px), so the reference pixel size stays at half that, and below
// a cap that leaves room for fallback fonts with larger units. Larger text is laid out at fewer
// units per point.
int maxPixelSize(const QFont &font)
{
    static QMutex mutex;
    static QHash<QString, int> known;
    const QString key = font.family() + QLatin1Char('\n') + font.styleName();
    {
        QMutexLocker locker(&mutex);
        if (auto it = known.constFind(key); it != known.constEnd())
            return *it;
    }
    QFont probe = font;
    probe.setPixelSize(100);
    const QRawFont raw = QRawFont::fromFont(probe);
    const QByteArray hhea = raw.fontTable("hhea"), os2 = raw.fontTable("OS/2");
    qint32 units = std::max<qint32>(qint32(raw.unitsPerEm()), 1);
    for (int at : {4, 6, 8})
        units = std::max(units, std::abs(s16(hhea, at)));
    for (int at : {68, 70, 72})
        units = std::max(units, std::abs(s16(os2, at)));
    for (int at : {74, 76})
        units = std::max(units, u16(os2, at));
    const int limit = std::clamp((1 << 24) / units, 64, maxReferencePixels);
    QMutexLocker locker(&mutex);
    known.insert(key, limit);
    return limit;
}

// The font at its reference pixel size, and the reference units per point that gives.
struct ReferenceFont {
    QFont font;
    double scale;
};

ReferenceFont referenceFont(const QFont &font, double size)
{
    const double wanted = std::clamp(size * unitsPerPoint, 1.0, double(maxPixelSize(font)));
    const int pixels = std::max(qRound(wanted), 1);
    ReferenceFont ref{font, pixels / size};
    ref.font.setPixelSize(pixels);
    ref.font.setHintingPreference(QFont::PreferNoHinting);
    return ref;
}

QString displayString(const LWText &text)
{
    QString s = text.uppercase ? text.string.toUpper() : text.string;
    const auto isBreak = [](QChar c) {
        return c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == QChar(0x85) ||
               c == QChar::ParagraphSeparator;
    };
    if (std::any_of(s.cbegin(), s.cend(), isBreak)) {
        QString out;
        out.reserve(s.size());
        for (qsizetype i = 0; i < s.size(); ++i) {
            const QChar c = s.at(i);
            if (c == u'\r' && i + 1 < s.size() && s.at(i + 1) == u'\n')
                ++i;
            out.append(isBreak(c) ? QChar(QChar::LineSeparator) : c);
        }
        s = out;
    }
    if (s.isEmpty())
        s = QStringLiteral(" ");
    return s;
}

Qt::Alignment alignment(LWTextAlign align)
{
    switch (align) {
    case LWTextAlign::center: return Qt::AlignHCenter;
    case LWTextAlign::right: return Qt::AlignRight | Qt::AlignAbsolute;
    case LWTextAlign::justified: return Qt::AlignJustify;
    case LWTextAlign::left: break;
    }
    return Qt::AlignLeft | Qt::AlignAbsolute;
}

// One typesetting pass on the reference device: the frame's lines, positioned, in device units.
class Typesetter {
public:
    Typesetter(const LWTextLayout::Attributed &a, double width) : text(a.string)
    {
        const double w = !(width >= 1) ? 1.0 : std::min(width, frameLimit);
        ReferenceFont ref = referenceFont(a.font, a.size);
        scale = ref.scale;
        ref.font.setUnderline(a.underline);
        if (a.kern != 0)
            ref.font.setLetterSpacing(QFont::AbsoluteSpacing, a.kern * scale / letterSpacingFactor());
        text.setFont(ref.font);
        QTextOption option(a.align);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        option.setTabStopDistance(tabInterval * scale);
        text.setTextOption(option);
        text.setCacheEnabled(true);

        const double lineWidth = w * scale, limit = frameLimit * scale, adjust = a.lineSpacing * scale;
        const qsizetype length = a.string.size();
        double baseline = 0, below = 0, content = 0;
        qsizetype shown = 0;
        text.beginLayout();
        while (lines == 0 || shown < length) {
            QTextLine line = text.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(lineWidth);
            const double next = lines == 0 ? line.ascent() : baseline + below + adjust + line.ascent();
            const double bottom = next + line.descent() + line.leading();
            if (!(bottom <= limit))
                break; // the frame is full: this line and the rest are not shown
            line.setPosition(QPointF(0, next - line.ascent()));
            baseline = next;
            below = line.descent() + line.leading();
            content = bottom;
            shown = line.textStart() + line.textLength();
            ++lines;
        }
        text.endLayout();
        fits = shown >= length;
        height = std::ceil(content / scale) + 1;
    }

    QTextLayout text;
    double scale = unitsPerPoint; // reference units per point
    double height = 1;            // points
    int lines = 0;
    bool fits = true;
};

// When the painter draws on an image clipped to exactly a full-width band of its rows (as a band
// of a banded bitmap is drawn), a painter on those rows alone with the same transform: Qt
// rasterises a glyph outline over the whole device, clip or not, so drawing the lines through it
// costs only the band's rows. Outlines that reach far past those rows are cut there first, which
// rounds a few of their edge pixels a level or three apart from one pass.
std::optional<std::pair<QImage, QTransform>> bandRows(QPainter &painter)
{
    QPaintDevice *device = painter.device();
    if (!device || device->devType() != QInternal::Image || !painter.hasClipping())
        return std::nullopt;
    const auto *image = static_cast<const QImage *>(device);
    if (image->devicePixelRatio() != 1)
        return std::nullopt;
    painter.save();
    painter.resetTransform();
    const QRegion clip = painter.clipRegion();
    painter.restore();
    const QRect rows = clip.boundingRect();
    if (clip.rectCount() != 1 || rows.left() != 0 || rows.width() != image->width() || rows.top() < 0 ||
        rows.bottom() >= image->height() || rows.isEmpty())
        return std::nullopt;
    const qsizetype stride = image->bytesPerLine();
    QImage band(const_cast<uchar *>(image->constBits()) + rows.top() * stride, rows.width(), rows.height(), stride,
                image->format());
    band.setDotsPerMeterX(image->dotsPerMeterX()); // fonts in points resolve as on the image
    band.setDotsPerMeterY(image->dotsPerMeterY());
    return std::pair{band, painter.deviceTransform() * QTransform::fromTranslate(0, -rows.top())};
}

// The rows a line's ink may cover, in layout units: its box (with the underline) and, for each
// face it uses (fallback faces too), that face's real reach above and below the baseline.
std::pair<double, double> inkRows(const QTextLine &line)
{
    const double baseline = line.y() + line.ascent();
    double top = line.y(), bottom = line.y() + line.height();
    for (const QGlyphRun &run : line.glyphRuns()) {
        const QRawFont raw = run.rawFont();
        const LWFontInk::Reach reach = LWFontInk::reach(raw);
        top = std::min(top, baseline - reach.above * raw.pixelSize());
        bottom = std::max(bottom, baseline + reach.below * raw.pixelSize());
    }
    return {top, bottom};
}

// The painter's clip in its own units, grown by two device pixels for anti-aliasing and for the
// rounding of glyph positions.
QRectF reachableClip(const QPainter &painter)
{
    const QTransform toDevice = painter.combinedTransform();
    const QRectF device = toDevice.mapRect(painter.clipBoundingRect()).adjusted(-2, -2, 2, 2);
    return toDevice.inverted().mapRect(device);
}

} // namespace

namespace LWTextLayout {

Attributed attributed(const LWText &text)
{
    Attributed a;
    a.size = std::isnan(text.size) ? minSize : std::clamp(text.size, minSize, maxSize);
    a.font = LWFonts::font(text.fontName, text.size);
    a.string = displayString(text);
    a.align = alignment(text.align);
    const ReferenceFont ref = referenceFont(a.font, a.size);
    const QFontMetricsF metrics(ref.font);
    const double natural = (metrics.ascent() + metrics.descent() + metrics.leading()) / ref.scale;
    const double leading = std::isfinite(text.leading) ? std::max(text.leading, 0.5) : 1.0;
    a.lineSpacing = natural * (leading - 1);
    const double kern = text.tracking / 1000 * a.size;
    a.kern = std::isfinite(kern) ? std::clamp(kern, -frameLimit, frameLimit) : 0.0;
    a.color = text.color.qcolor();
    a.underline = text.underline;
    return a;
}

Layout layout(const LWText &text, double width)
{
    const Attributed a = attributed(text);
    Typesetter t(a, width);
    Layout out;
    out.height = t.height;
    out.lines = t.lines;
    out.fits = t.fits;
    out.lineRects.reserve(t.lines);
    const double s = t.scale;
    // Glyph boxes cost a glyph load each in Qt; a paragraph repeats few glyphs, so keep them per font.
    QRawFont boxFont;
    QHash<quint32, QRectF> boxes;
    for (int i = 0; i < t.lines; ++i) {
        const QTextLine line = t.text.lineAt(i);
        // The typographic width: the advance, or the whole line where justification stretched it.
        const QRectF natural = line.naturalTextRect();
        const bool stretched = a.align == Qt::AlignJustify && natural.width() == line.width();
        const double advance = stretched ? natural.width() : line.horizontalAdvance();
        out.lineRects.append(QRectF(natural.x() / s, line.y() / s, advance / s, (line.ascent() + line.descent()) / s));
        QRectF ink;
        for (const QGlyphRun &run : line.glyphRuns()) {
            const QRawFont raw = run.rawFont();
            if (!(raw == boxFont)) {
                boxFont = raw;
                boxes.clear();
            }
            const QList<quint32> glyphs = run.glyphIndexes();
            const QList<QPointF> positions = run.positions();
            for (qsizetype k = 0; k < glyphs.size() && k < positions.size(); ++k) {
                auto box = boxes.constFind(glyphs[k]);
                if (box == boxes.constEnd())
                    box = boxes.insert(glyphs[k], raw.boundingRect(glyphs[k]));
                const QRectF &g = *box;
                if (g.width() > 0 && g.height() > 0)
                    ink = ink.united(g.translated(positions[k]));
            }
        }
        if (ink.width() > 0)
            out.glyphRects.append(QRectF(ink.x() / s, ink.y() / s, ink.width() / s, ink.height() / s));
    }
    return out;
}

double height(const LWText &text, double width)
{
    return Typesetter(attributed(text), width).height;
}

namespace {

double topIn(const LWRect &box, LWVAlign vAlign, double height)
{
    if (vAlign == LWVAlign::middle)
        return box.midY() - 0.5 * height;
    if (vAlign == LWVAlign::bottom)
        return box.maxY() - height;
    return box.minY();
}

} // namespace

QRectF inkBounds(const LWText &text, const LWRect &box)
{
    const Layout l = layout(text, box.width());
    QRectF ink;
    for (const QList<QRectF> *rects : {&l.lineRects, &l.glyphRects})
        for (const QRectF &r : *rects)
            ink |= r;
    return ink.translated(box.minX(), topIn(box, text.vAlign, l.height));
}

void draw(const LWText &text, const LWRect &box, QPainter &painter)
{
    const Attributed a = attributed(text);
    const Typesetter t(a, box.width());
    const double top = topIn(box, text.vAlign, t.height);
    painter.save();
    painter.translate(box.minX(), top);
    painter.scale(1 / t.scale, 1 / t.scale);
    painter.setPen(a.color);
    painter.setBrush(Qt::NoBrush);
    // A band of a bitmap draws only the lines near its rows: large glyphs are filled as paths,
    // whose outlines cost their full price even where the clip hides them.
    const bool band = painter.hasClipping() && painter.paintEngine() &&
                      painter.paintEngine()->type() == QPaintEngine::Raster;
    const QRectF clip = band ? reachableClip(painter) : QRectF();
    // Glyphs under 64 device pixels come from Qt's glyph cache, clipped at no cost; their places
    // round differently on a device that starts below them, so only outlines go through the rows.
    const bool outlined = t.text.font().pixelSize() * std::sqrt(std::abs(painter.combinedTransform().determinant())) >= 64;
    std::optional<std::pair<QImage, QTransform>> rows = band && outlined ? bandRows(painter) : std::nullopt;
    std::optional<QPainter> rowsPainter;
    if (rows) {
        rowsPainter.emplace(&rows->first);
        rowsPainter->setRenderHints(painter.renderHints());
        rowsPainter->setCompositionMode(painter.compositionMode());
        rowsPainter->setOpacity(painter.opacity());
        rowsPainter->setTransform(rows->second);
        rowsPainter->setPen(a.color);
        rowsPainter->setBrush(Qt::NoBrush);
    }
    QPainter &target = rowsPainter ? *rowsPainter : painter;
    for (int i = 0; i < t.lines; ++i) {
        const QTextLine line = t.text.lineAt(i);
        if (band) {
            const auto [top, bottom] = inkRows(line);
            if (bottom < clip.top() || top > clip.bottom())
                continue;
        }
        line.draw(&target, QPointF(0, 0));
    }
    rowsPainter.reset();
    painter.restore();
}

void growToFit(LWElement &element)
{
    if (!element.text)
        return;
    LWRect &f = element.frame;
    const double current = f.height();
    const double needed = height(*element.text, f.width());
    if (!(needed > current))
        return;
    double shift = 0;
    if (element.text->vAlign == LWVAlign::middle)
        shift = (needed - current) / 2;
    else if (element.text->vAlign == LWVAlign::bottom)
        shift = needed - current;
    // x and w stay as stored, so the left edge and width are untouched even in a flipped frame.
    f.y = f.minY() - shift;
    f.h = needed;
}

} // namespace LWTextLayout
