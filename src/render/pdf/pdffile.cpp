#include "render/pdf/pdffile.h"

#include <QCryptographicHash>
#include <QHash>
#include <QTransform>

#include <qpdf/Buffer.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>
#include <set>
#include <stdexcept>

namespace LWPdfFile {

using LWExport::PdfPageRecipe;
using LWExport::PdfPiece;

namespace {

QByteArray bytesOf(const std::shared_ptr<Buffer> &b)
{
    return QByteArray(reinterpret_cast<const char *>(b->getBuffer()), qsizetype(b->getSize()));
}

// The writer's output straight into one growing buffer (no second copy of the whole file).
class ToBytes final : public Pipeline {
public:
    explicit ToBytes(QByteArray &out) : Pipeline("bytes", nullptr), m_out(out) {}
    void write(unsigned char const *data, size_t len) override
    {
        m_out.append(reinterpret_cast<const char *>(data), qsizetype(len));
    }
    void finish() override {}

private:
    QByteArray &m_out;
};

void open(QPDF &pdf, const QByteArray &bytes)
{
    pdf.setSuppressWarnings(true);
    pdf.processMemoryFile("pdf", bytes.constData(), size_t(bytes.size()));
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

std::optional<QRectF> storedBox(QPDFObjectHandle page, const char *key)
{
    if (!page.getKey(key).isRectangle())
        return std::nullopt;
    const QPDFObjectHandle::Rectangle r = page.getKey(key).getArrayAsRectangle();
    return QRectF(r.llx, r.lly, r.urx - r.llx, r.ury - r.lly);
}

std::optional<QTransform> matrixOf(QPDFObjectHandle a)
{
    if (!a.isArray() || a.getArrayNItems() != 6)
        return std::nullopt;
    double m[6];
    for (int i = 0; i < 6; ++i) {
        if (!a.getArrayItem(i).getValueAsNumber(m[i]))
            return std::nullopt;
    }
    return QTransform(m[0], m[1], m[2], m[3], m[4], m[5]);
}

QPDFObjectHandle matrixArray(const QTransform &t)
{
    QPDFObjectHandle a = QPDFObjectHandle::newArray();
    for (double v : {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()})
        a.appendItem(QPDFObjectHandle::newReal(v == 0 ? 0.0 : v, 6, true));
    return a;
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

void toLuminosity(QPDFObjectHandle gstate)
{
    if (gstate.isDictionary() && isQtGradientMask(gstate.getKey("/SMask")))
        gstate.getKey("/SMask").replaceKey("/S", QPDFObjectHandle::newName("/Luminosity"));
}

// Qt writes the mask's shading in the gradient's own coordinates but leaves its form without a
// matrix, so the mask lands in the space current at the `gs` (the flipped page), while the colour
// shading lands through its pattern's matrix (the painter's transform: bleed offset, rotation,
// sheet slot). Walking each page's content finds, for every mask, the pattern selected with it
// and the transform at its `gs`; the form then gets the matrix that puts the mask where the colour
// goes, and a box that covers the whole page in that space.
class MaskPlacer final : public QPDFObjectHandle::ParserCallbacks {
public:
    MaskPlacer(QPDFObjectHandle resources, QRectF page, std::set<QPDFObjGen> &done)
        : m_resources(resources), m_page(page), m_done(done)
    {
    }

    void handleObject(QPDFObjectHandle obj) override
    {
        if (!obj.isOperator()) {
            m_operands.push_back(obj);
            return;
        }
        const std::string op = obj.getOperatorValue();
        if (op == "q") {
            m_saved.push_back(m_state);
        } else if (op == "Q") {
            if (!m_saved.empty()) {
                m_state = m_saved.back();
                m_saved.pop_back();
            }
        } else if (op == "cm") {
            QPDFObjectHandle a = QPDFObjectHandle::newArray(m_operands);
            if (const auto m = matrixOf(a))
                m_state.ctm = *m * m_state.ctm;
        } else if (op == "scn" && !m_operands.empty() && m_operands.back().isName()) {
            m_state.pattern = m_resources.getKey("/Pattern").getKey(m_operands.back().getName());
        } else if (op == "gs" && m_operands.size() == 1 && m_operands[0].isName()) {
            place(m_resources.getKey("/ExtGState").getKey(m_operands[0].getName()));
        }
        m_operands.clear();
    }
    void handleEOF() override {}

private:
    void place(QPDFObjectHandle gstate)
    {
        if (!gstate.isDictionary())
            return;
        QPDFObjectHandle smask = gstate.getKey("/SMask");
        if (!isQtGradientMask(smask))
            return;
        QPDFObjectHandle form = smask.getKey("/G");
        if (!m_done.insert(form.getObjGen()).second)
            return;
        toLuminosity(gstate);
        QPDFObjectHandle group = form.getDict().getKey("/Group");
        if (group.isDictionary())
            group.replaceKey("/CS", QPDFObjectHandle::newName("/DeviceGray"));
        if (!m_state.pattern.isDictionary())
            return;
        const QTransform pattern = matrixOf(m_state.pattern.getKey("/Matrix")).value_or(QTransform());
        bool invertible = false;
        const QTransform toGs = m_state.ctm.inverted(&invertible);
        if (!invertible || !pattern.isInvertible())
            return;
        const QTransform fromPage = pattern.inverted();
        form.getDict().replaceKey("/Matrix", matrixArray(pattern * toGs));
        const QRectF box = fromPage.mapRect(m_page.adjusted(-72, -72, 72, 72));
        form.getDict().replaceKey("/BBox", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(
                                                box.left(), box.top(), box.right(), box.bottom())));
    }

    struct State {
        QTransform ctm;
        QPDFObjectHandle pattern;
    };
    QPDFObjectHandle m_resources;
    QRectF m_page;
    std::set<QPDFObjGen> &m_done;
    State m_state;
    std::vector<State> m_saved;
    std::vector<QPDFObjectHandle> m_operands;
};

void placeGradientMasks(QPDF &pdf)
{
    std::set<QPDFObjGen> done;
    for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        try {
            // Reading the content costs as much as the rest of the pass: only pages with masks.
            QPDFObjectHandle states = page.getAttribute("/Resources", false).getKey("/ExtGState");
            if (!states.isDictionary())
                continue;
            bool masks = false;
            for (auto &[name, state] : states.ditems())
                masks = masks || isQtGradientMask(state.getKey("/SMask"));
            if (!masks)
                continue;
            const QPDFObjectHandle::Rectangle m = page.getMediaBox().getArrayAsRectangle();
            MaskPlacer placer(page.getAttribute("/Resources", false),
                              QRectF(m.llx, m.lly, m.urx - m.llx, m.ury - m.lly), done);
            page.parseContents(&placer);
        } catch (const std::exception &) {
            // Content that does not parse: its masks are only made luminosity masks below.
        }
    }
    // Masks the walk did not reach still get their transparency back.
    for (QPDFObjectHandle obj : pdf.getAllObjects()) {
        if (!obj.isDictionary())
            continue;
        toLuminosity(obj);
        QPDFObjectHandle states = obj.getKey("/ExtGState");
        if (states.isDictionary())
            for (auto &[name, state] : states.ditems())
                if (!state.isIndirect())
                    toLuminosity(state);
    }
}

void fixToUnicode(QPDF &pdf, const ToUnicodeFix &fix)
{
    for (QPDFObjectHandle font : pdf.getAllObjects()) {
        try {
            if (!font.isDictionary() || !font.getKey("/Subtype").isNameAndEquals("/Type0") ||
                !font.getKey("/ToUnicode").isStream() || !font.getKey("/BaseFont").isName())
                continue;
            QPDFObjectHandle cid = font.getKey("/DescendantFonts").getArrayItem(0);
            QPDFObjectHandle file = cid.getKey("/FontDescriptor").getKey("/FontFile2");
            if (!file.isStream() || !cid.getKey("/CIDToGIDMap").isNameAndEquals("/Identity"))
                continue;
            QPDFObjectHandle stream = font.getKey("/ToUnicode");
            const EmbeddedFont embedded{QString::fromStdString(font.getKey("/BaseFont").getName().substr(1)),
                                        bytesOf(file.getStreamData(qpdf_dl_generalized)),
                                        bytesOf(stream.getStreamData(qpdf_dl_generalized))};
            if (const std::optional<QByteArray> cmap = fix(embedded))
                stream.replaceStreamData(cmap->toStdString(), QPDFObjectHandle::newNull(),
                                         QPDFObjectHandle::newNull());
        } catch (const std::exception &) {
            // The font keeps the CMap Qt wrote.
        }
    }
}

// An image's data shared by the streams that show it: let go when the last has been written.
struct Held {
    QByteArray data;
    int left = 0; // streams still to write it
};

void writeImage(QPDFObjectHandle stream, const ImageData &image, const std::shared_ptr<Held> &held)
{
    QPDFObjectHandle dict = stream.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(image.width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(image.height));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName(image.gray ? "/DeviceGray" : "/DeviceRGB"));
    for (const char *key : {"/Decode", "/SMask", "/Mask", "/ImageMask", "/Length"})
        dict.removeKey(key);
    QPDFObjectHandle parms = QPDFObjectHandle::newNull();
    if (image.predictorColors > 0) {
        parms = QPDFObjectHandle::newDictionary();
        parms.replaceKey("/Predictor", QPDFObjectHandle::newInteger(15));
        parms.replaceKey("/Colors", QPDFObjectHandle::newInteger(image.predictorColors));
        parms.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
        parms.replaceKey("/Columns", QPDFObjectHandle::newInteger(image.width));
    }
    // Handed to the writer when it writes the stream, never copied, and let go once every stream
    // showing it is written. The writer asks once a stream (no linearizing, no filtering); a
    // request after the data is gone fails the file rather than writing an empty picture.
    ++held->left;
    stream.replaceStreamData(
        std::function<void(Pipeline *)>([held](Pipeline *out) {
            if (held->left <= 0)
                throw std::runtime_error("A picture's data was asked for after it was written.");
            out->write(reinterpret_cast<const unsigned char *>(held->data.constData()), size_t(held->data.size()));
            out->finish();
            if (--held->left == 0)
                held->data = QByteArray();
        }),
        QPDFObjectHandle::newName(image.filter.toStdString()), parms);
    stream.setFilterOnWrite(false); // written as given: neither decoded nor deflated again
}

// Puts every picture in place of its stand-in. Qt stores an image once however often it is
// drawn, so each stand-in is one object; each image of the stand-ins' size is read once and
// found among them by its samples. The pictures' data moves into the writer.
void swapPictures(QPDF &pdf, QList<PictureSwap> &pictures)
{
    if (pictures.isEmpty())
        return;
    QHash<QByteArray, qsizetype> bySamples;
    for (qsizetype i = 0; i < pictures.size(); ++i)
        bySamples.insert(pictures[i].standInRgb, i);
    const QSize size = pictures.front().standInSize;
    struct Data {
        std::shared_ptr<Held> image, mask;
    };
    std::vector<Data> data(size_t(pictures.size()));
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        data[size_t(i)].image = std::make_shared<Held>(Held{std::move(pictures[i].image.data), 0});
        if (pictures[i].softMask)
            data[size_t(i)].mask = std::make_shared<Held>(Held{std::move(pictures[i].softMask->data), 0});
    }
    for (QPDFObjectHandle obj : pdf.getAllObjects()) {
        if (!obj.isStream())
            continue;
        QPDFObjectHandle dict = obj.getDict();
        if (!dict.getKey("/Subtype").isNameAndEquals("/Image") || !dict.getKey("/Width").isInteger() ||
            !dict.getKey("/Height").isInteger())
            continue;
        if (dict.getKey("/Width").getIntValue() != size.width() || dict.getKey("/Height").getIntValue() != size.height())
            continue;
        qsizetype at = -1;
        try {
            at = bySamples.value(bytesOf(obj.getStreamData(qpdf_dl_generalized)), -1);
        } catch (const std::exception &) {
            continue;
        }
        if (at < 0)
            continue;
        const PictureSwap &swap = pictures[at];
        writeImage(obj, swap.image, data[size_t(at)].image);
        if (swap.softMask) {
            QPDFObjectHandle mask = pdf.newStream();
            writeImage(mask, *swap.softMask, data[size_t(at)].mask);
            dict.replaceKey("/SMask", mask);
        }
    }
}

// Qt embeds every font as a subset but names it without the tag that marks one. The tag comes from
// the subset's own bytes, so one subset always gets one tag and two subsets of a face differ.
void tagSubsets(QPDF &pdf)
{
    auto tagged = [](const std::string &name) {
        return name.size() > 8 && name[7] == '+' &&
               std::all_of(name.begin() + 1, name.begin() + 7, [](char c) { return c >= 'A' && c <= 'Z'; });
    };
    for (QPDFObjectHandle font : pdf.getAllObjects()) {
        try {
            if (!font.isDictionary() || !font.getKey("/Subtype").isNameAndEquals("/Type0") ||
                !font.getKey("/BaseFont").isName() || tagged(font.getKey("/BaseFont").getName()))
                continue;
            QPDFObjectHandle cid = font.getKey("/DescendantFonts").getArrayItem(0);
            QPDFObjectHandle descriptor = cid.getKey("/FontDescriptor");
            QPDFObjectHandle file = descriptor.getKey("/FontFile2");
            if (!file.isStream())
                continue;
            const QByteArray digest = QCryptographicHash::hash(bytesOf(file.getStreamData(qpdf_dl_generalized)),
                                                               QCryptographicHash::Sha256);
            std::string tag = "/";
            for (int i = 0; i < 6; ++i)
                tag += char('A' + quint8(digest[i]) % 26);
            tag += '+';
            auto retag = [&tag](QPDFObjectHandle dict, const char *key) {
                if (dict.isDictionary() && dict.getKey(key).isName())
                    dict.replaceKey(key, QPDFObjectHandle::newName(tag + dict.getKey(key).getName().substr(1)));
            };
            retag(font, "/BaseFont");
            retag(cid, "/BaseFont");
            retag(descriptor, "/FontName");
        } catch (const std::exception &) {
            // The font keeps its name.
        }
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
            Built built = build(recipe, 1, recipe.size(), recipe.front().index);
            QPDFObjectHandle page = m_pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
            page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
            page.replaceKey("/MediaBox", first.getMediaBox().shallowCopy());
            QPDFObjectHandle resources = built.resources();
            // Readers and preflight tools look for a page's fonts in its own resources.
            if (!built.fonts.getKeys().empty())
                resources.replaceKey("/Font", built.fonts);
            page.replaceKey("/Resources", resources);
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
        QPDFObjectHandle fonts = QPDFObjectHandle::newDictionary(); // of every nested page
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

    // Qt names each font once per file, so a name met again is the same font.
    static void addFonts(QPDFObjectHandle into, QPDFObjectHandle fonts)
    {
        if (!fonts.isDictionary())
            return;
        for (const std::string &key : fonts.getKeys())
            if (!into.hasKey(key))
                into.replaceKey(key, fonts.getKey(key));
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
            QPDFObjectHandle resources = page.getAttribute("/Resources", false);
            b.xobjects.replaceKey(name, form(pageContent(page), resources));
            addFonts(b.fonts, resources.getKey("/Font"));
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
            addFonts(b.fonts, inner.fonts);
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

namespace {

using Failing = std::function<std::optional<QByteArray>(const QString &why)>;

// Runs `work` on qpdf with `fail` telling its own failures in `error`; qpdf's are told the same way.
std::optional<QByteArray> guarded(QString *error, const std::function<std::optional<QByteArray>(const Failing &)> &work)
{
    const Failing fail = [error](const QString &why) -> std::optional<QByteArray> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    try {
        return work(fail);
    } catch (const std::bad_alloc &) {
        return fail(QStringLiteral("There isn't enough memory to write the PDF."));
    } catch (const std::exception &e) {
        return fail(QString::fromLocal8Bit(e.what()));
    }
}

} // namespace

std::optional<QByteArray> finish(const QByteArray &bytes, Finish how, QString *error)
{
    return guarded(error, [&](const Failing &fail) -> std::optional<QByteArray> {
        QPDF pdf;
        open(pdf, bytes);
        placeGradientMasks(pdf); // before joining: the walk reads the pages Qt wrote
        swapPictures(pdf, how.pictures);
        if (!how.recipes.isEmpty() && !PageJoiner(pdf).join(how.recipes))
            return fail(QStringLiteral("The pages cannot be joined as asked."));

        if (how.pages) {
            std::vector<QPDFPageObjectHelper> all = QPDFPageDocumentHelper(pdf).getAllPages();
            if (all.size() != size_t(how.pages->size()))
                return fail(QStringLiteral("The PDF has %1 pages, %2 sets of boxes were given.")
                                .arg(all.size())
                                .arg(how.pages->size()));
            for (size_t i = 0; i < all.size(); ++i) {
                const LWExport::PdfPageBoxes &b = (*how.pages)[qsizetype(i)];
                QPDFObjectHandle page = all[i].getObjectHandle();
                setBox(page, "/MediaBox", b.media);
                setBox(page, "/CropBox", b.crop);
                setBox(page, "/BleedBox", b.bleed);
                setBox(page, "/TrimBox", b.trim);
                page.removeKey("/ArtBox");
            }
        }
        if (how.toUnicode)
            fixToUnicode(pdf, how.toUnicode);
        tagSubsets(pdf);

        if (how.info) {
            QPDFObjectHandle trailer = pdf.getTrailer();
            QPDFObjectHandle infoDict = trailer.getKey("/Info");
            if (!infoDict.isDictionary()) {
                infoDict = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
                trailer.replaceKey("/Info", infoDict);
            }
            infoDict.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString(how.info->creator.toStdString()));
            infoDict.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(how.info->title.toStdString()));
        }

        QByteArray out;
        ToBytes sink(out);
        QPDFWriter writer(pdf);
        writer.setOutputPipeline(&sink);
        writer.write();
        return out;
    });
}

std::optional<QByteArray> selectPages(const QByteArray &bytes, const QList<int> &pages, QString *error)
{
    return guarded(error, [&](const Failing &fail) -> std::optional<QByteArray> {
        QPDF pdf;
        open(pdf, bytes);
        QPDFPageDocumentHelper doc(pdf);
        const std::vector<QPDFPageObjectHelper> all = doc.getAllPages();
        std::vector<bool> kept(all.size(), false);
        for (const int page : pages) {
            if (page < 0 || size_t(page) >= all.size() || kept[size_t(page)])
                return fail(QStringLiteral("The PDF has no page %1 to keep.").arg(page + 1));
            kept[size_t(page)] = true;
        }
        for (size_t i = 0; i < all.size(); ++i)
            if (!kept[i])
                doc.removePage(all[i]);
        QByteArray out;
        ToBytes sink(out);
        QPDFWriter writer(pdf);
        writer.setOutputPipeline(&sink);
        writer.setStreamDataMode(qpdf_s_preserve);
        writer.write();
        return out;
    });
}

QList<StoredBoxes> pageBoxes(const QByteArray &bytes)
{
    QList<StoredBoxes> out;
    try {
        QPDF pdf;
        open(pdf, bytes);
        for (QPDFPageObjectHelper &p : QPDFPageDocumentHelper(pdf).getAllPages()) {
            QPDFObjectHandle o = p.getObjectHandle();
            out.append({storedBox(o, "/MediaBox"), storedBox(o, "/CropBox"), storedBox(o, "/BleedBox"),
                        storedBox(o, "/TrimBox")});
        }
    } catch (const std::exception &) {
        return {};
    }
    return out;
}

QString infoText(const QByteArray &bytes, const char *key)
{
    try {
        QPDF pdf;
        open(pdf, bytes);
        QPDFObjectHandle v = pdf.getTrailer().getKey("/Info").getKey(key);
        return v.isString() ? QString::fromStdString(v.getUTF8Value()) : QString();
    } catch (const std::exception &) {
        return {};
    }
}

int imageCount(const QByteArray &bytes)
{
    try {
        QPDF pdf;
        open(pdf, bytes);
        int images = 0, masks = 0;
        for (QPDFObjectHandle o : pdf.getAllObjects()) {
            if (!o.isStream() || !o.getDict().getKey("/Subtype").isNameAndEquals("/Image"))
                continue;
            ++images;
            if (o.getDict().getKey("/SMask").isStream())
                ++masks;
        }
        return images - masks;
    } catch (const std::exception &) {
        return 0;
    }
}

QList<QByteArray> toUnicodeMaps(const QByteArray &bytes)
{
    QList<QByteArray> out;
    try {
        QPDF pdf;
        open(pdf, bytes);
        for (QPDFObjectHandle o : pdf.getAllObjects()) {
            if (o.isDictionary() && o.getKey("/ToUnicode").isStream())
                out.append(bytesOf(o.getKey("/ToUnicode").getStreamData(qpdf_dl_generalized)));
        }
    } catch (const std::exception &) {
        return {};
    }
    return out;
}

QList<StoredImage> images(const QByteArray &bytes)
{
    QList<StoredImage> out;
    try {
        QPDF pdf;
        open(pdf, bytes);
        std::set<QPDFObjGen> masks;
        for (QPDFObjectHandle o : pdf.getAllObjects())
            if (o.isStream() && o.getDict().getKey("/SMask").isStream())
                masks.insert(o.getDict().getKey("/SMask").getObjGen());
        for (QPDFObjectHandle o : pdf.getAllObjects()) {
            if (!o.isStream() || !o.getDict().getKey("/Subtype").isNameAndEquals("/Image") || masks.count(o.getObjGen()))
                continue;
            QPDFObjectHandle dict = o.getDict();
            QPDFObjectHandle filter = dict.getKey("/Filter");
            if (filter.isArray())
                filter = filter.getArrayItem(0);
            out.append({filter.isName() ? QByteArray::fromStdString(filter.getName()) : QByteArray(),
                        bytesOf(o.getRawStreamData()), int(dict.getKey("/Width").getIntValueAsInt()),
                        int(dict.getKey("/Height").getIntValueAsInt()), dict.getKey("/SMask").isStream()});
        }
    } catch (const std::exception &) {
        return {};
    }
    return out;
}

} // namespace LWPdfFile

// Font resources of one page, read back by the self-test.
namespace LWPdfFile {

std::optional<int> fontResourceCount(const QByteArray &bytes, int page)
{
    try {
        QPDF pdf;
        open(pdf, bytes);
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
        if (page < 0 || size_t(page) >= pages.size())
            return std::nullopt;
        // getKey follows indirect references.
        QPDFObjectHandle resources = pages[size_t(page)].getObjectHandle().getKey("/Resources");
        if (!resources.isDictionary())
            return 0;
        QPDFObjectHandle fonts = resources.getKey("/Font");
        return fonts.isDictionary() ? int(fonts.getKeys().size()) : 0;
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

} // namespace LWPdfFile
