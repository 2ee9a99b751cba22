// Build step: lays the application's icon out in the hicolor layout,
//   lw_render_icon <icon.svg> <hicolor folder> <name> <size>...
// as <folder>/scalable/apps/<name>.svg and <folder>/<n>x<n>/apps/<name>.png for each size.
// Fails (status 1, a line on standard error) when the SVG does not load or a file is not written.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

namespace {

bool fail(const QString &why)
{
    std::fprintf(stderr, "lw_render_icon: %s\n", qPrintable(why));
    return false;
}

bool writeAll(const QString &svgPath, const QString &root, const QString &name, const QList<int> &sizes)
{
    QSvgRenderer svg(svgPath);
    if (!svg.isValid())
        return fail(QStringLiteral("cannot read ") + svgPath);
    const QString scalable = root + QStringLiteral("/scalable/apps");
    const QString svgOut = scalable + u'/' + name + QStringLiteral(".svg");
    QFile::remove(svgOut);
    if (!QDir().mkpath(scalable) || !QFile::copy(svgPath, svgOut))
        return fail(QStringLiteral("cannot write ") + svgOut);
    for (int size : sizes) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        const QString folder = root + QStringLiteral("/%1x%1/apps").arg(size);
        const QString out = folder + u'/' + name + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !image.save(out, "PNG"))
            return fail(QStringLiteral("cannot write ") + out);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 5) {
        fail(QStringLiteral("usage: lw_render_icon <icon.svg> <hicolor folder> <name> <size>..."));
        return 1;
    }
    QList<int> sizes;
    for (int i = 4; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size < 1 || size > 4096) {
            fail(QStringLiteral("not a size: ") + QString::fromLocal8Bit(argv[i]));
            return 1;
        }
        sizes.append(size);
    }
    return writeAll(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                    sizes)
               ? 0
               : 1;
}
