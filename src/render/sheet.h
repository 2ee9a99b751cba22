#pragma once
#include <QByteArray>
#include <QImage>
#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <memory>
#include <optional>

#include "render/export.h"

struct LWDocument;
class QPainter;

// The 10-up business-card print sheet: ten copies of one side edge to edge, centred on Letter or
// A4, crop marks on every cut line in the margin, a caption on top. Backs mirror their columns so
// that a sheet turned over on its long edge puts each back behind its front.
// Sheet coordinates: points, origin at the paper's top-left corner, y down.
namespace LWExport {

struct SheetLayout {
    QSizeF paper;      // as placed: a landscape sheet's width is the paper's long side
    QString paperName; // "Letter", "A4", with " (landscape)" when turned
    QSizeF card;       // the document's trim size
    int cols = 0;
    int rows = 0;
    QPointF origin; // top-left corner of the card grid

    static constexpr double markOffset = 4.5; // gap between the grid and a mark's inner end
    static constexpr double markLength = 18;

    // The first of Letter 2 x 5, Letter turned 5 x 2, A4 2 x 5, A4 turned 5 x 2 that leaves
    // margins of at least 28.5 pt; none for a document that is not a business card, or too large.
    [[nodiscard]] static std::optional<SheetLayout> make(const LWDocument &doc);

    QRectF grid() const;
    // A back's column k is drawn in column cols - 1 - k; rows are never mirrored.
    QRectF slot(int col, int row, bool back) const;
    QList<double> cutXs() const; // cols + 1 values, left to right
    QList<double> cutYs() const; // rows + 1 values, top to bottom
    // For each cut x its top then bottom mark, then for each cut y its left then right mark.
    QList<QLineF> marks() const;
    int count() const { return cols * rows; }
};

// Draws side `side` (0 the fronts, above 0 backs) into a painter whose user space is sheet
// coordinates: white paper, the copies clipped to their slots, 0.5 pt black marks, the caption.
// A side that is not a page index draws the sheet without cards. The pictures drawn are told to
// `tally` when given.
void drawSheet(const LWDocument &doc, int side, const SheetLayout &layout, QPainter &p,
               const std::shared_ptr<LWPictureTally> &tally = {});

// One PDF page per valid side, in the argument's order, with a MediaBox exactly the paper and no
// other box; Title the name + " — print sheet". None without a layout or without a valid side, or
// when pageDone stops it. With bytes, `undrawn` (when given) gets the pictures it could not draw
// whole.
[[nodiscard]] std::optional<QByteArray> sheetPDF(const LWDocument &doc, const QList<int> &sides,
                                                 const PageDone &pageDone = {},
                                                 QList<LWPictureTally::Undrawn> *undrawn = nullptr);

struct SheetBitmap {
    QImage image; // a sheet point (x, y) is the pixel (x * dpi / 72, y * dpi / 72)
    SheetLayout layout;
};

// One side at dpi, the paper rounded to whole pixels and scaled by exactly dpi / 72. None without
// a layout, for a side that is not a page index, or a bitmap below one pixel or over the cap.
[[nodiscard]] std::optional<SheetBitmap> sheetBitmap(const LWDocument &doc, int side, double dpi);

} // namespace LWExport
