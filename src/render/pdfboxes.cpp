#include "render/pdfboxes.h"
#include "render/pdftext.h"

#include "render/renderer.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <qpdf/Buffer.hh>
#include <qpdf/Pl_Buffer.hh>
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

// Nests the pages Qt wrote into finished pages as their recipes say: each written page becomes a
// form XObject, each group a transparency group form drawn through an ExtGState with its opacity.
class PageJoiner {
public:
    explicit PageJoiner(QPDF &pdf) : m_pdf(pdf), m_doc(pdf), m_written(m_doc.getAllPages()) {}

    // False when a recipe names a page twice or out of range, or its groups do not pair up.
    [[nodiscard]] bool join(const QList<PdfPageRecipe> &recipes)
    {
        std::vector<bool> used(m_written.size(), false);
        for (const PdfPageRecipe &recipe : recipes) {
            int depth = 0, pages = 0;
            for (const PdfPiece &piece : recipe) {
                if (piece.kind == PdfPiece::page) {
                    if (piece.index < 0 || size_t(piece.index) >= used.size() || used[size_t(piece.index)])
                        return false;
                    used[size_t(piece.index)] = true;
                    ++pages;
                } else {
                    depth += piece.kind == PdfPiece::beginGroup ? 1 : -1;
                    if (depth < 0)
                        return false;
                }
            }
            if (depth != 0 || pages == 0 || recipe.front().kind != PdfPiece::page)
                return false;
        }
        std::vector<QPDFObjectHandle> keep;
        for (const PdfPageRecipe &recipe : recipes) {
            QPDFPageObjectHelper first = m_written[size_t(recipe.front().index)];
            if (recipe.size() == 1) {
                keep.push_back(first.getObjectHandle());
                continue;
            }
            const QPDFObjectHandle::Rectangle m = first.getMediaBox().getArrayAsRectangle();
            // Generous: Qt's media box is rounded, and nothing may be cut at a group's edge.
            m_bbox = QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(m.llx - 72, m.lly - 72, m.urx + 72, m.ury + 72));
            const Built built = build(recipe, 1, recipe.size(), recipe.front().index);
            QPDFObjectHandle page = m_pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
            page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
            page.replaceKey("/MediaBox", first.getMediaBox().shallowCopy());
            page.replaceKey("/Resources", built.resources());
            page.replaceKey("/Contents", m_pdf.newStream(built.content));
            m_doc.addPageAt(QPDFPageObjectHelper(page), true, first);
            keep.push_back(page);
        }
        for (QPDFPageObjectHelper &written : m_written) {
            bool kept = false;
            for (const QPDFObjectHandle &k : keep)
                kept = kept || k.getObjGen() == written.getObjectHandle().getObjGen();
            if (!kept)
                m_doc.removePage(written);
        }
        return true;
    }

private:
    struct Built {
        std::string content;
        QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
        QPDFObjectHandle states = QPDFObjectHandle::newDictionary();
        QPDFObjectHandle resources() const
        {
            QPDFObjectHandle r = QPDFObjectHandle::newDictionary();
            r.replaceKey("/XObject", xobjects);
            r.replaceKey("/ExtGState", states);
            return r;
        }
    };

    QPDFObjectHandle form(const std::string &content, QPDFObjectHandle resources)
    {
        QPDFObjectHandle f = m_pdf.newStream(content);
        QPDFObjectHandle dict = f.getDict();
        dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
        dict.replaceKey("/BBox", m_bbox.shallowCopy());
        dict.replaceKey("/Resources", resources);
        return f;
    }

    std::string pageContent(QPDFPageObjectHelper page)
    {
        Pl_Buffer buffer("page content");
        page.pipeContents(&buffer);
        std::shared_ptr<Buffer> data = buffer.getBufferSharedPointer();
        return std::string(reinterpret_cast<const char *>(data->getBuffer()), data->getSize());
    }

    // Pieces [from, to) of a recipe whose first piece (a page) is `firstPage`, drawn in order.
    Built build(const PdfPageRecipe &recipe, qsizetype from, qsizetype to, int firstPage)
    {
        Built b;
        auto addPage = [&](int index) {
            QPDFPageObjectHelper page = m_written[size_t(index)];
            const std::string name = "/LWp" + std::to_string(m_names++);
            b.xobjects.replaceKey(name, form(pageContent(page), page.getAttribute("/Resources", false)));
            b.content += "q " + name + " Do Q\n";
        };
        if (firstPage >= 0)
            addPage(firstPage);
        for (qsizetype i = from; i < to; ++i) {
            const PdfPiece &piece = recipe[i];
            if (piece.kind == PdfPiece::page) {
                addPage(piece.index);
                continue;
            }
            // A group: find its end, build what lies inside, draw it at the group's opacity.
            qsizetype end = i + 1;
            for (int depth = 1; end < to; ++end) {
                depth += recipe[end].kind == PdfPiece::beginGroup ? 1 : recipe[end].kind == PdfPiece::endGroup ? -1 : 0;
                if (depth == 0)
                    break;
            }
            const Built inner = build(recipe, i + 1, end, -1);
            QPDFObjectHandle group = form(inner.content, inner.resources());
            QPDFObjectHandle g = QPDFObjectHandle::newDictionary();
            g.replaceKey("/Type", QPDFObjectHandle::newName("/Group"));
            g.replaceKey("/S", QPDFObjectHandle::newName("/Transparency"));
            g.replaceKey("/CS", QPDFObjectHandle::newName("/DeviceRGB"));
            g.replaceKey("/I", QPDFObjectHandle::newBool(true));
            group.getDict().replaceKey("/Group", g);
            const double alpha = std::clamp(piece.opacity, 0.0, 1.0);
            QPDFObjectHandle state = QPDFObjectHandle::newDictionary();
            state.replaceKey("/Type", QPDFObjectHandle::newName("/ExtGState"));
            state.replaceKey("/ca", QPDFObjectHandle::newReal(alpha, 4, true));
            state.replaceKey("/CA", QPDFObjectHandle::newReal(alpha, 4, true));
            const std::string n = std::to_string(m_names++);
            b.xobjects.replaceKey("/LWg" + n, group);
            b.states.replaceKey("/LWa" + n, state);
            b.content += "q /LWa" + n + " gs /LWg" + n + " Do Q\n";
            i = end;
        }
        return b;
    }

    QPDF &m_pdf;
    QPDFPageDocumentHelper m_doc;
    std::vector<QPDFPageObjectHelper> m_written;
    QPDFObjectHandle m_bbox;
    int m_names = 0;
};

} // namespace

std::optional<QByteArray> finishPdf(const QByteArray &bytes, const QList<PdfPageBoxes> &pages,
                                    const PdfInfo &info, QString *error, const QList<PdfPageRecipe> &recipes)
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
        if (!recipes.isEmpty() && !PageJoiner(pdf).join(recipes))
            return fail(QStringLiteral("The pages cannot be joined as asked."));

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
        LWPdfText::completeToUnicode(pdf);

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

// QPdfWriter that records where transparency groups begin and end: each boundary starts a new
// written page (the painter's state carries over), and the recipes say how to join them again.
class LayeredPdfWriter final : public QPdfWriter, public LWRenderer::LayerSink {
public:
    using QPdfWriter::QPdfWriter;

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
    return finishPdf(d->bytes, boxes, d->info, error, d->writer->recipes);
}

} // namespace LWExport
