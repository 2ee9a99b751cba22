#pragma once
#include <QByteArray>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <memory>
#include <optional>

class QPainter;
struct LWElement;

// The pass that turns QPdfWriter's bytes into the print PDF: Qt writes only a MediaBox rounded
// to whole points, cannot write the other page boxes and (6.4) writes gradient transparency as
// an alpha soft mask over an opaque shading (fades print as opaque discs), placed in another
// space than the colour shading whenever the painter is transformed.
namespace LWExport {

// One page's boxes in PDF space: points, origin at the media box's bottom-left corner, y up.
// A box left empty is removed from the page (a sheet page carries its MediaBox alone).
struct PdfPageBoxes {
    QRectF media;
    std::optional<QRectF> crop, bleed, trim;
};

// The Info dictionary's texts, written as PDF text strings (UTF-16 where needed).
struct PdfInfo {
    QString creator;
    QString title;
};

// How the pages Qt wrote make up one finished page: the pages in order, with transparency
// groups around some of them. Qt cannot write a group, so the writer starts a new page where a
// group begins or ends and the finishing pass nests those pages' contents as form XObjects.
struct PdfPiece {
    enum Kind { page, beginGroup, endGroup } kind = page;
    int index = 0;      // page: index of a page Qt wrote
    double opacity = 1; // beginGroup: the group's opacity
};
using PdfPageRecipe = QList<PdfPiece>;

// Rewrites a PDF in memory: the pages are first joined by `recipes` (one recipe per finished
// page; none means every page stands alone), then finished page i gets pages[i] (the counts must
// match), Qt's gradient soft masks become luminosity masks lying under their shadings, the
// ToUnicode CMaps are completed (LWPdfText), Creator and Title are set. None, with
// the reason in *error, when the bytes do not parse, the counts differ, a recipe is malformed,
// a box is not finite or writing fails.
[[nodiscard]] std::optional<QByteArray> finishPdf(const QByteArray &pdf, const QList<PdfPageBoxes> &pages,
                                                  const PdfInfo &info, QString *error = nullptr,
                                                  const QList<PdfPageRecipe> &recipes = {});

// Pages of one size drawn through QPdfWriter into memory, then finished by finishPdf.
// Qt rounds the page to whole points and flips y about that rounded height; beginPage
// compensates, so the painter's user space is the exact page: points, origin top-left, y down.
// The painter's device is a LWRenderer::LayerSink: half-transparent elements stay vectors.
class PdfPageWriter {
public:
    PdfPageWriter(QSizeF page, PdfInfo info);
    ~PdfPageWriter();
    PdfPageWriter(const PdfPageWriter &) = delete;
    PdfPageWriter &operator=(const PdfPageWriter &) = delete;

    // Starts the next page. The painter is valid until the next beginPage or finish; its state
    // is fresh on every page, with lossless pictures. Null when the size or the writer is unusable.
    [[nodiscard]] QPainter *beginPage();
    // Ends the document; boxes holds one entry per page begun. None when nothing was begun.
    [[nodiscard]] std::optional<QByteArray> finish(const QList<PdfPageBoxes> &boxes,
                                                   QString *error = nullptr);

    // Makes ahead, side by side, the small pictures of the elements the next page draws.
    void preparePictures(const QList<LWElement> &elements);

    // Whether a picture drawn so far could not be taken for want of memory (finish then fails).
    [[nodiscard]] bool outOfMemory() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace LWExport
