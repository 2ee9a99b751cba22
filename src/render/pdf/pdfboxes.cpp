#include "render/pdf/pdfboxes.h"

#include "render/pdf/pdffile.h"
#include "render/pdf/pdfpictures.h"
#include "render/pdf/pdftext.h"

#include "render/renderer.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

namespace LWExport {
namespace {

bool finite(const QRectF &r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
           std::isfinite(r.height()) && r.width() > 0 && r.height() > 0;
}

std::optional<QByteArray> finishWith(const QByteArray &bytes, const QList<PdfPageBoxes> &pages, const PdfInfo &info,
                                     QString *error, const QList<PdfPageRecipe> &recipes,
                                     QList<LWPdfFile::PictureSwap> pictures)
{
    auto fail = [error](const QString &why) -> std::optional<QByteArray> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    for (const PdfPageBoxes &b : pages) {
        if (!finite(b.media) || (b.crop && !finite(*b.crop)) || (b.bleed && !finite(*b.bleed)) ||
            (b.trim && !finite(*b.trim)))
            return fail(QStringLiteral("A page box is empty or not a finite rectangle."));
    }
    return LWPdfFile::finish(bytes, {recipes, pages, info, LWPdfText::completedToUnicode, std::move(pictures)}, error);
}

} // namespace

std::optional<QByteArray> finishPdf(const QByteArray &bytes, const QList<PdfPageBoxes> &pages,
                                    const PdfInfo &info, QString *error, const QList<PdfPageRecipe> &recipes)
{
    return finishWith(bytes, pages, info, error, recipes, {});
}

// QPdfWriter that records where transparency groups begin and end: each boundary starts a new
// written page (the painter's state carries over), and the recipes say how to join them again.
class LayeredPdfWriter final : public QPdfWriter, public LWRenderer::LayerSink, public LWRenderer::PictureSink {
public:
    using QPdfWriter::QPdfWriter;

    PdfPictures pictures;
    std::optional<StandIn> standIn(const LWImage &picture) override { return pictures.standIn(picture); }

    QList<PdfPageRecipe> recipes;
    int written = 0; // pages Qt has begun

    void startFinishedPage()
    {
        recipes.append({PdfPiece{PdfPiece::page, written - 1, 1}});
    }

    bool beginLayer(QPainter &, double opacity) override
    {
        if (recipes.isEmpty() || !newPage())
            return false;
        recipes.last().append({PdfPiece::beginGroup, 0, opacity});
        recipes.last().append({PdfPiece::page, written++, 1});
        return true;
    }

    void endLayer(QPainter &) override
    {
        // Should Qt refuse the page, the rest is drawn inside the group: visible all the same.
        recipes.last().append({PdfPiece::endGroup, 0, 1});
        if (newPage())
            recipes.last().append({PdfPiece::page, written++, 1});
    }
};

struct PdfPageWriter::Private {
    QSizeF page;
    PdfInfo info;
    QByteArray bytes;
    QBuffer buffer{&bytes};
    std::optional<LayeredPdfWriter> writer;
    QPainter painter;
    int pages = 0;
    bool failed = false;
};

PdfPageWriter::PdfPageWriter(QSizeF page, PdfInfo info) : d(std::make_unique<Private>())
{
    d->page = page;
    d->info = std::move(info);
    if (!std::isfinite(page.width()) || !std::isfinite(page.height()) || page.width() <= 0 ||
        page.height() <= 0 || !d->buffer.open(QIODevice::WriteOnly)) {
        d->failed = true;
        return;
    }
    d->writer.emplace(&d->buffer);
    d->writer->setResolution(72);
    d->writer->setCreator(d->info.creator);
    d->writer->setTitle(d->info.title);
    // ExactMatch: a fuzzy match would snap sizes near a standard paper (A4) to it.
    const QPageSize size(page, QPageSize::Point, QString(), QPageSize::ExactMatch);
    if (!d->writer->setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF())) ||
        d->writer->width() < 1 || d->writer->height() < 1)
        d->failed = true;
}

void PdfPageWriter::preparePictures(const QList<LWElement> &elements)
{
    if (d->writer)
        d->writer->pictures.prepare(elements);
}

bool PdfPageWriter::outOfMemory() const
{
    return d->writer && d->writer->pictures.outOfMemory();
}

PdfPageWriter::~PdfPageWriter()
{
    // A document left unfinished (cancelled, failed) still ends its page's state first.
    if (d->painter.isActive() && d->pages > 0 && !d->failed)
        d->painter.restore();
    if (d->painter.isActive())
        d->painter.end();
}

QPainter *PdfPageWriter::beginPage()
{
    if (d->failed)
        return nullptr;
    if (d->pages == 0) {
        if (!d->painter.begin(&*d->writer)) {
            d->failed = true;
            return nullptr;
        }
    } else {
        d->painter.restore();
        if (!d->writer->newPage()) {
            d->failed = true;
            return nullptr;
        }
    }
    ++d->pages;
    ++d->writer->written;
    d->writer->startFinishedPage();
    d->painter.save();
    // Qt flips about its rounded page height; shift so y = 0 lands on the exact top edge.
    d->painter.resetTransform();
    d->painter.translate(0, d->writer->height() - d->page.height());
    d->painter.setRenderHint(QPainter::LosslessImageRendering);
    return &d->painter;
}

std::optional<QByteArray> PdfPageWriter::finish(const QList<PdfPageBoxes> &boxes, QString *error)
{
    if (d->failed || d->pages == 0) {
        if (error)
            *error =
                d->failed ? QStringLiteral("The PDF writer could not be used.") : QStringLiteral("No pages.");
        return std::nullopt;
    }
    d->painter.restore();
    if (!d->painter.end()) {
        if (error)
            *error = QStringLiteral("The PDF writer could not finish.");
        return std::nullopt;
    }
    d->failed = true; // one document per writer
    d->buffer.close();
    if (d->writer->pictures.outOfMemory()) {
        if (error)
            *error = QStringLiteral("A picture could not be decoded or compressed for want of memory.");
        return std::nullopt;
    }
    return finishWith(d->bytes, boxes, d->info, error, d->writer->recipes, d->writer->pictures.takeSwaps());
}

} // namespace LWExport
