#pragma once
// Reading exported PDFs back in tests: boxes and document information with libqpdf, pixels
// through poppler (pdftoppm) and Qt PDF, fonts and text through poppler's tools.
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QList>
#include <QPdfDocument>
#include <QProcess>
#include <QRectF>
#include <QStringList>
#include <QTemporaryDir>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <optional>

namespace pdfprobe {

// A box as stored on the page (not inherited), as (llx, lly, width, height).
struct Boxes {
    std::optional<QRectF> media, crop, bleed, trim;
};

inline std::optional<QRectF> box(QPDFObjectHandle page, const char *key)
{
    if (!page.hasKey(key))
        return std::nullopt;
    const QPDFObjectHandle::Rectangle r = page.getKey(key).getArrayAsRectangle();
    return QRectF(r.llx, r.lly, r.urx - r.llx, r.ury - r.lly);
}

inline QList<Boxes> boxes(const QByteArray &pdf)
{
    QPDF q;
    q.processMemoryFile("probe", pdf.constData(), size_t(pdf.size()));
    QList<Boxes> out;
    for (QPDFPageObjectHelper &p : QPDFPageDocumentHelper(q).getAllPages()) {
        QPDFObjectHandle o = p.getObjectHandle();
        out.append({box(o, "/MediaBox"), box(o, "/CropBox"), box(o, "/BleedBox"), box(o, "/TrimBox")});
    }
    return out;
}

inline QString info(const QByteArray &pdf, const char *key)
{
    QPDF q;
    q.processMemoryFile("probe", pdf.constData(), size_t(pdf.size()));
    QPDFObjectHandle v = q.getTrailer().getKey("/Info").getKey(key);
    return v.isString() ? QString::fromStdString(v.getUTF8Value()) : QString();
}

// Number of pictures stored in the file (image XObjects, not counting their alpha masks).
inline int imageCount(const QByteArray &pdf)
{
    QPDF q;
    q.processMemoryFile("probe", pdf.constData(), size_t(pdf.size()));
    int images = 0, masks = 0;
    for (QPDFObjectHandle o : q.getAllObjects()) {
        if (!o.isStream() || !o.getDict().getKey("/Subtype").isNameAndEquals("/Image"))
            continue;
        ++images;
        if (o.getDict().getKey("/SMask").isStream())
            ++masks;
    }
    return images - masks;
}

inline bool near(const std::optional<QRectF> &r, QRectF want, double tol = 0.01)
{
    return r && std::abs(r->x() - want.x()) <= tol && std::abs(r->y() - want.y()) <= tol &&
           std::abs(r->width() - want.width()) <= tol && std::abs(r->height() - want.height()) <= tol;
}

inline QString writeTemp(const QTemporaryDir &dir, const QByteArray &pdf)
{
    const QString path = dir.filePath(QStringLiteral("probe.pdf"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(pdf);
    return path;
}

inline QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Poppler's render of a part of one page (1-based) at dpi: region in pixels at that dpi.
inline QImage poppler(const QByteArray &pdf, int page, double dpi, QRect region = {})
{
    QTemporaryDir dir;
    const QString in = writeTemp(dir, pdf);
    QStringList args{QStringLiteral("-png"), QStringLiteral("-singlefile"), QStringLiteral("-r"),
                     QString::number(dpi),   QStringLiteral("-f"),          QString::number(page),
                     QStringLiteral("-l"),   QString::number(page)};
    if (!region.isNull())
        args << QStringLiteral("-x") << QString::number(region.x()) << QStringLiteral("-y")
             << QString::number(region.y()) << QStringLiteral("-W") << QString::number(region.width())
             << QStringLiteral("-H") << QString::number(region.height());
    args << in << dir.filePath(QStringLiteral("out"));
    run(QStringLiteral("pdftoppm"), args);
    return QImage(dir.filePath(QStringLiteral("out.png"))).convertToFormat(QImage::Format_ARGB32);
}

// Qt PDF's render of one page (0-based) at the given pixel size; unpainted pixels stay transparent.
inline QImage qtpdf(const QByteArray &pdf, int page, QSize size)
{
    QTemporaryDir dir;
    QPdfDocument doc;
    if (doc.load(writeTemp(dir, pdf)) != QPdfDocument::Error::None)
        return {};
    return doc.render(page, size).convertToFormat(QImage::Format_ARGB32);
}

inline QString fonts(const QByteArray &pdf)
{
    QTemporaryDir dir;
    return run(QStringLiteral("pdffonts"), {writeTemp(dir, pdf)});
}

// Text of every page, or of one page (1-based).
inline QString text(const QByteArray &pdf, int page = 0)
{
    QTemporaryDir dir;
    QStringList args;
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l")
             << QString::number(page);
    return run(QStringLiteral("pdftotext"), args << writeTemp(dir, pdf) << QStringLiteral("-"));
}

inline bool isBlack(QRgb c)
{
    return qRed(c) < 60 && qGreen(c) < 60 && qBlue(c) < 60;
}
inline bool isWhite(QRgb c)
{
    return qRed(c) > 195 && qGreen(c) > 195 && qBlue(c) > 195;
}

} // namespace pdfprobe
