#pragma once
// Reading exported PDFs back in tests: boxes and document information through LWPdfFile, pixels
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

#include "render/pdf/pdffile.h"

#include <optional>

namespace pdfprobe {

using LWPdfFile::imageCount;

// A box as stored on the page (not inherited), as (llx, lly, width, height).
using Boxes = LWPdfFile::StoredBoxes;
inline QList<Boxes> boxes(const QByteArray &pdf) { return LWPdfFile::pageBoxes(pdf); }
inline QString info(const QByteArray &pdf, const char *key) { return LWPdfFile::infoText(pdf, key); }

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
