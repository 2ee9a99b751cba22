#include "render/sheet.h"

#include "model/document.h"
#include "model/text.h"
#include "model/units.h"
#include "render/export.h"
#include "render/pdf/pdfboxes.h"
#include "render/renderer.h"
#include "render/text/textlayout.h"
#include "render/worker/cancellable.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <climits>
#include <cmath>

namespace LWExport {

namespace {

struct Paper {
    const char *name;
    double width, height;
};
// In order of trial; each is tried upright (2 x 5), then turned (5 x 2).
constexpr Paper papers[] = {{"Letter", 612, 792}, {"A4", 595.276, 841.89}};
constexpr double minMargin = 28.5;

QString caption(const LWDocument &doc, int side)
{
    const bool back = side > 0;
    QString text = back ? QStringLiteral("BACKS") : QStringLiteral("FRONTS");
    text += QStringLiteral(" \u00B7 ") + doc.name + QStringLiteral(" \u00B7 cut on the crop marks");
    if (back)
        text += QStringLiteral(" \u00B7 print double-sided, flip on long edge");
    return text;
}

} // namespace

std::optional<SheetLayout> SheetLayout::make(const LWDocument &doc)
{
    const double w = doc.width, h = doc.height;
    // A card of no size, or of a negative one, would "fit" anything.
    if (doc.kind != LWDocKind::businessCard || !(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h))
        return std::nullopt;
    for (const Paper &paper : papers) {
        for (bool landscape : {false, true}) {
            const double P = landscape ? paper.height : paper.width;
            const double Q = landscape ? paper.width : paper.height;
            const int c = landscape ? 5 : 2, r = landscape ? 2 : 5;
            const double mx = (P - c * w) * 0.5, my = (Q - r * h) * 0.5;
            if (mx >= minMargin && my >= minMargin) {
                QString name = QString::fromLatin1(paper.name);
                if (landscape)
                    name += QStringLiteral(" (landscape)");
                return SheetLayout{QSizeF(P, Q), name, QSizeF(w, h), c, r, QPointF(mx, my)};
            }
        }
    }
    return std::nullopt;
}

QRectF SheetLayout::grid() const
{
    return {origin.x(), origin.y(), cols * card.width(), rows * card.height()};
}

QRectF SheetLayout::slot(int col, int row, bool back) const
{
    const int k = back ? cols - 1 - col : col;
    return {origin.x() + k * card.width(), origin.y() + row * card.height(), card.width(), card.height()};
}

// count + 1 evenly spaced positions from start: the cut lines of one axis.
static QList<double> cutLines(double start, double step, int count)
{
    QList<double> out;
    out.reserve(count + 1);
    for (int i = 0; i <= count; ++i)
        out.append(start + i * step);
    return out;
}

QList<double> SheetLayout::cutXs() const { return cutLines(origin.x(), card.width(), cols); }

QList<double> SheetLayout::cutYs() const { return cutLines(origin.y(), card.height(), rows); }

QList<QLineF> SheetLayout::marks() const
{
    const QRectF g = grid();
    const double o = markOffset, l = markLength;
    QList<QLineF> out;
    out.reserve(2 * (cols + 1) + 2 * (rows + 1));
    for (double x : cutXs()) {
        out.append(QLineF(x, g.top() - o - l, x, g.top() - o));
        out.append(QLineF(x, g.bottom() + o, x, g.bottom() + o + l));
    }
    for (double y : cutYs()) {
        out.append(QLineF(g.left() - o - l, y, g.left() - o, y));
        out.append(QLineF(g.right() + o, y, g.right() + o + l, y));
    }
    return out;
}

void drawSheet(const LWDocument &doc, int side, const SheetLayout &layout, QPainter &p,
               const std::shared_ptr<LWPictureTally> &tally)
{
    p.save();
    p.fillRect(QRectF(QPointF(0, 0), layout.paper), QColor::fromRgbF(1, 1, 1, 1));

    if (side >= 0 && side < doc.pages.size()) {
        const LWPage &page = doc.pages[side];
        LWRenderOptions options;
        options.tally = tally;
        const bool back = side > 0;
        // A cancelled sheet draws no more slots: each would ask for its pictures again.
        for (int row = 0; row < layout.rows && !LWDecodeWorkers::Cancellable::now(); ++row) {
            for (int col = 0; col < layout.cols && !LWDecodeWorkers::Cancellable::now(); ++col) {
                const QRectF slot = layout.slot(col, row, back);
                p.save();
                p.setClipRect(slot, Qt::IntersectClip);
                p.translate(slot.topLeft());
                LWRenderer::draw(page, doc, p, options);
                p.restore();
            }
        }
    }

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor::fromRgbF(0, 0, 0, 1), 0.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    for (const QLineF &m : layout.marks()) {
        path.moveTo(m.p1());
        path.lineTo(m.p2());
    }
    p.drawPath(path);
    p.restore();

    const LWText text(caption(doc, side), QStringLiteral("HelveticaNeue"), 6, LWColor(0.35, 0.35, 0.35, 1));
    LWTextLayout::draw(text, LWRect(8, 6, layout.paper.width() - 16, 10), p);
    p.restore();
}

std::optional<QByteArray> sheetPDF(const LWDocument &doc, const QList<int> &sides, const PageDone &pageDone,
                                   QList<LWPictureTally::Undrawn> *undrawn)
{
    const std::optional<SheetLayout> layout = SheetLayout::make(doc);
    if (!layout)
        return std::nullopt;
    const QList<int> valid = validPages(doc, sides);
    if (valid.isEmpty())
        return std::nullopt;

    PdfPageWriter writer(layout->paper, {creatorText, doc.name + QStringLiteral(" \u2014 print sheet")});
    const auto tally = std::make_shared<LWPictureTally>();
    int drawn = 0;
    for (int side : valid) {
        QPainter *p = writer.beginPage();
        if (!p)
            return std::nullopt;
        writer.preparePictures(doc.pages[side].elements);
        drawSheet(doc, side, *layout, *p, tally);
        if (LWDecodeWorkers::Cancellable::heard() || (pageDone && !pageDone(++drawn)))
            return std::nullopt;
    }
    const PdfPageBoxes paperOnly{QRectF(QPointF(0, 0), layout->paper), {}, {}, {}};
    std::optional<QByteArray> bytes = writer.finish(QList<PdfPageBoxes>(valid.size(), paperOnly));
    if (bytes && undrawn)
        *undrawn = tally->undrawn();
    return bytes;
}

std::optional<SheetBitmap> sheetBitmap(const LWDocument &doc, int side, double dpi)
{
    const std::optional<SheetLayout> layout = SheetLayout::make(doc);
    if (!layout || side < 0 || side >= doc.pages.size())
        return std::nullopt;
    const double s = dpi / 72;
    const std::int64_t w = LWUnits::roundClamped(layout->paper.width() * s);
    const std::int64_t h = LWUnits::roundClamped(layout->paper.height() * s);
    if (!std::isfinite(s) || w < 1 || h < 1 || w > INT_MAX || h > INT_MAX)
        return std::nullopt;
    std::optional<QImage> image = LWRenderer::bitmap(int(w), int(h), true, [&](QPainter &p) {
        p.scale(s, s);
        drawSheet(doc, side, *layout, p);
    });
    if (!image)
        return std::nullopt;
    return SheetBitmap{std::move(*image), *layout};
}

} // namespace LWExport
