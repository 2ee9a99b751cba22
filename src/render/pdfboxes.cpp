#include "render/pdfboxes.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cmath>
#include <exception>

namespace LWExport {
namespace {

bool finite(const QRectF &r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
           std::isfinite(r.height()) && r.width() > 0 && r.height() > 0;
}

// Four decimals keep every box exact to far better than 0.01 pt.
QPDFObjectHandle rectArray(const QRectF &r)
{
    QPDFObjectHandle a = QPDFObjectHandle::newArray();
    for (double v : {r.left(), r.top(), r.right(), r.bottom()})
        a.appendItem(QPDFObjectHandle::newReal(v == 0 ? 0.0 : v, 4, true)); // never "-0"
    return a;
}

void setBox(QPDFObjectHandle page, const char *key, const std::optional<QRectF> &box)
{
    if (box)
        page.replaceKey(key, rectArray(*box));
    else
        page.removeKey(key);
}

// Qt paints a gradient's alpha ramp as an opaque DeviceGray shading in a form and refers to it
// as an /Alpha mask, whose alpha is then 1 everywhere. Only that pattern is rewritten.
bool isQtGradientMask(QPDFObjectHandle smask)
{
    if (!smask.isDictionary() || !smask.getKey("/S").isNameAndEquals("/Alpha"))
        return false;
    QPDFObjectHandle form = smask.getKey("/G");
    if (!form.isStream())
        return false;
    QPDFObjectHandle shadings = form.getDict().getKey("/Resources").getKey("/Shading");
    if (!shadings.isDictionary())
        return false;
    bool any = false;
    for (auto &[name, shading] : shadings.ditems()) {
        QPDFObjectHandle dict = shading.isStream() ? shading.getDict() : shading;
        if (!dict.isDictionary() || !dict.getKey("/ColorSpace").isNameAndEquals("/DeviceGray"))
            return false;
        any = true;
    }
    return any;
}

void repairMask(QPDFObjectHandle gstate)
{
    if (!gstate.isDictionary())
        return;
    QPDFObjectHandle smask = gstate.getKey("/SMask");
    if (isQtGradientMask(smask))
        smask.replaceKey("/S", QPDFObjectHandle::newName("/Luminosity"));
}

void repairGradientMasks(QPDF &pdf)
{
    for (QPDFObjectHandle obj : pdf.getAllObjects()) {
        if (!obj.isDictionary())
            continue;
        repairMask(obj);
        // Graphics states written inline in a resource dictionary.
        QPDFObjectHandle states = obj.getKey("/ExtGState");
        if (states.isDictionary())
            for (auto &[name, state] : states.ditems())
                if (!state.isIndirect())
                    repairMask(state);
    }
}

} // namespace

std::optional<QByteArray> finishPdf(const QByteArray &bytes, const QList<PdfPageBoxes> &pages,
                                    const PdfInfo &info, QString *error)
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
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("page export", bytes.constData(), size_t(bytes.size()));

        std::vector<QPDFPageObjectHelper> all = QPDFPageDocumentHelper(pdf).getAllPages();
        if (all.size() != size_t(pages.size()))
            return fail(QStringLiteral("The PDF has %1 pages, %2 sets of boxes were given.")
                            .arg(all.size())
                            .arg(pages.size()));
        for (size_t i = 0; i < all.size(); ++i) {
            const PdfPageBoxes &b = pages[qsizetype(i)];
            QPDFObjectHandle page = all[i].getObjectHandle();
            setBox(page, "/MediaBox", b.media);
            setBox(page, "/CropBox", b.crop);
            setBox(page, "/BleedBox", b.bleed);
            setBox(page, "/TrimBox", b.trim);
            page.removeKey("/ArtBox");
        }

        repairGradientMasks(pdf);

        QPDFObjectHandle trailer = pdf.getTrailer();
        QPDFObjectHandle infoDict = trailer.getKey("/Info");
        if (!infoDict.isDictionary()) {
            infoDict = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
            trailer.replaceKey("/Info", infoDict);
        }
        infoDict.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString(info.creator.toStdString()));
        infoDict.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(info.title.toStdString()));

        QPDFWriter writer(pdf);
        writer.setOutputMemory();
        writer.write();
        std::shared_ptr<Buffer> out = writer.getBufferSharedPointer();
        return QByteArray(reinterpret_cast<const char *>(out->getBuffer()), qsizetype(out->getSize()));
    } catch (const std::exception &e) {
        return fail(QString::fromLocal8Bit(e.what()));
    }
}

struct PdfPageWriter::Private {
    QSizeF page;
    PdfInfo info;
    QByteArray bytes;
    QBuffer buffer{&bytes};
    std::optional<QPdfWriter> writer;
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

PdfPageWriter::~PdfPageWriter()
{
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
    return finishPdf(d->bytes, boxes, d->info, error);
}

} // namespace LWExport
