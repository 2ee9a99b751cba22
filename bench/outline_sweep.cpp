// Outlined shapes exported as PNG at 300 DPI against MuPDF's and poppler's drawings of our own PDF
// of the same page. Each element's worst 16 x 16 block (mean of the channels' differences) against
// the nearer reader must stay within twice the readers' own worst block there, or 20 levels.
//   lw_outline_sweep [PAGES [SEED]]    (default 60 pages of four shapes, seed 1)
// Prints the failing elements and a summary; exits 1 when any element fails. LW_SWEEP_ALL=1 prints
// every element, LW_SWEEP_KEEP=DIR keeps the printed ones' drawings (ours, MuPDF's, poppler's side by
// side) and each page's PDF, LW_SWEEP_CASE="kind sides w h turn outline dash" draws that shape in
// every cell (kind: star, polygon, triangle or rectangle), LW_SWEEP_MORE=1 adds ellipses and lines.
#include "model/document.h"
#include "render/export.h"
#include "render/text/fonts.h"

#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

double worstBlock(const QImage &a, const QImage &b, const QRect &area)
{
    const QRect r = area.intersected(a.rect());
    double worst = 0;
    for (int y = r.top(); y + 16 <= r.bottom() + 1; y += 8)
        for (int x = r.left(); x + 16 <= r.right() + 1; x += 8) {
            double sum = 0;
            for (int j = 0; j < 16; ++j) {
                const auto *p = reinterpret_cast<const QRgb *>(a.constScanLine(y + j)) + x;
                const auto *q = reinterpret_cast<const QRgb *>(b.constScanLine(y + j)) + x;
                for (int i = 0; i < 16; ++i)
                    sum += std::abs(qRed(p[i]) - qRed(q[i])) + std::abs(qGreen(p[i]) - qGreen(q[i])) +
                           std::abs(qBlue(p[i]) - qBlue(q[i]));
            }
            worst = std::max(worst, sum / (16 * 16 * 3));
        }
    return worst;
}

QImage rgb(const QString &file)
{
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    LWFonts::registerBundled();
    const int pages = argc > 1 ? std::atoi(argv[1]) : 60;
    std::mt19937 random(argc > 2 ? std::atoi(argv[2]) : 1);
    const auto uniform = [&](double from, double to) { return std::uniform_real_distribution<double>(from, to)(random); };
    const auto logUniform = [&](double from, double to) { return std::exp(uniform(std::log(from), std::log(to))); };
    QTemporaryDir dir;
    int failed = 0, total = 0;
    double worstRatio = 0;
    for (int page = 0; page < pages; ++page) {
        LWDocument doc = LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 432, 288, 9, QStringLiteral("Sweep"));
        QStringList names;
        QList<QRect> areas;
        for (int cell = 0; cell < 4; ++cell) {
            double width = uniform(0, 1) < 0.1 ? 0.05 : logUniform(0.05, 40);
            const double dashDraw = uniform(0, 1);
            double dash = dashDraw < 0.15 ? 0 : logUniform(0.4, 37);
            // LW_SWEEP_MORE=1 adds ellipses and lines (round caps) to the kinds drawn.
            const int kindDraw = int(uniform(0, qEnvironmentVariableIsSet("LW_SWEEP_MORE") ? 6 : 4));
            LWShapeKind kind = LWShapeKind::star;
            int sides = 5;
            QString what;
            if (kindDraw == 0) {
                sides = int(logUniform(5, 65));
                what = QStringLiteral("star %1").arg(sides);
            } else if (kindDraw == 1) {
                kind = LWShapeKind::polygon, sides = int(uniform(3, 9));
                what = QStringLiteral("polygon %1").arg(sides);
            } else if (kindDraw == 2) {
                kind = LWShapeKind::triangle, what = QStringLiteral("triangle");
            } else if (kindDraw == 3) {
                kind = LWShapeKind::rectangle, what = QStringLiteral("rectangle");
            } else {
                kind = kindDraw == 4 ? LWShapeKind::ellipse : LWShapeKind::line;
                what = kindDraw == 4 ? QStringLiteral("ellipse") : QStringLiteral("line");
            }
            double rotation = uniform(0, 1) < 0.4 ? 0 : uniform(-180, 180);
            if (page == 0) { // the first page: cases met by users
                const struct { LWShapeKind kind; int sides; double width, dash, rotation; } met[] = {
                    {LWShapeKind::star, 12, 40, 5, 0}, {LWShapeKind::polygon, 5, 5, 0.4, 0},
                    {LWShapeKind::star, 5, 30, 10, 15}, {LWShapeKind::polygon, 6, 6, 1.5, 0}};
                kind = met[cell].kind, sides = met[cell].sides, width = met[cell].width, dash = met[cell].dash;
                rotation = met[cell].rotation;
                what = QStringLiteral("met %1 %2").arg(kind == LWShapeKind::star ? "star" : "polygon").arg(sides);
            }
            const QStringList given = qEnvironmentVariable("LW_SWEEP_CASE").split(QLatin1Char(' '));
            if (given.size() == 7) { // "kind sides w h rotation outline dash", in every cell
                kind = given[0] == QLatin1String("star")      ? LWShapeKind::star
                       : given[0] == QLatin1String("polygon") ? LWShapeKind::polygon
                       : given[0] == QLatin1String("triangle") ? LWShapeKind::triangle
                                                              : LWShapeKind::rectangle;
                sides = given[1].toInt(), rotation = given[4].toDouble(), width = given[5].toDouble();
                dash = given[6].toDouble(), what = given[0];
            }
            const double cx = 108 + 216 * (cell % 2), cy = 72 + 144 * (cell / 2);
            // Room for the outline however it turns.
            const double room = std::max(20.0, 50 - width / 2 - 4);
            double w = uniform(room, 2 * room), h = uniform(room, 2 * room);
            if (given.size() == 7)
                w = given[2].toDouble(), h = given[3].toDouble();
            LWElement e = LWElement::makeShape(kind, {cx - w / 2, cy - h / 2, w, h}, LWFill::none(),
                                               LWStroke(LWColor::hex(0x1F3A5F), width, dash));
            e.sides = sides, e.rotation = rotation;
            if (uniform(0, 1) < 0.3)
                e.fill = LWFill::solid(LWColor::hex(0xE8A33D));
            doc.pages[0].elements.append(e);
            names << QStringLiteral("%1 %2x%3 turned %4, outline %5, dash %6")
                         .arg(what)
                         .arg(w, 0, 'f', 1)
                         .arg(h, 0, 'f', 1)
                         .arg(rotation, 0, 'f', 1)
                         .arg(width, 0, 'f', 2)
                         .arg(dash, 0, 'f', 2);
            areas << QRect(int((cx - 108) * 300 / 72), int((cy - 72) * 300 / 72), 900, 600);
        }
        const QString png = dir.filePath(QStringLiteral("ours.png")), pdf = dir.filePath(QStringLiteral("page.pdf"));
        if (!LWExport::writeRaster(doc, 0, 300, false, LWExport::RasterType::png, 0.92, png).isEmpty())
            return 2;
        QFile out(pdf);
        if (!out.open(QIODevice::WriteOnly) || out.write(LWExport::pdfData(doc, {0}, false).value_or(QByteArray())) <= 0)
            return 2;
        out.close();
        if (qEnvironmentVariableIsSet("LW_SWEEP_KEEP"))
            QFile::copy(pdf, QStringLiteral("%1/p%2.pdf").arg(qEnvironmentVariable("LW_SWEEP_KEEP")).arg(page));
        QProcess::execute(QStringLiteral("mutool"), {QStringLiteral("draw"), QStringLiteral("-q"), QStringLiteral("-r"),
                                                     QStringLiteral("300"), QStringLiteral("-o"),
                                                     dir.filePath(QStringLiteral("mupdf.png")), pdf, QStringLiteral("1")});
        QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-png"),
                                                       QStringLiteral("-singlefile"), pdf,
                                                       dir.filePath(QStringLiteral("poppler"))});
        const QImage ours = rgb(png), mupdf = rgb(dir.filePath(QStringLiteral("mupdf.png"))),
                     poppler = rgb(dir.filePath(QStringLiteral("poppler.png")));
        if (ours.size() != mupdf.size() || ours.size() != poppler.size()) {
            std::printf("page %d: sizes differ\n", page);
            return 2;
        }
        for (int i = 0; i < 4; ++i) {
            const double m = worstBlock(ours, mupdf, areas[i]), p = worstBlock(ours, poppler, areas[i]);
            const double readers = worstBlock(mupdf, poppler, areas[i]);
            const double nearer = std::min(m, p), allowed = std::max(2 * readers, 20.0);
            ++total;
            worstRatio = std::max(worstRatio, nearer / allowed);
            if (nearer > allowed || qEnvironmentVariableIsSet("LW_SWEEP_ALL"))
                std::printf("%s page %d: %s: ours %.1f (mupdf %.1f, poppler %.1f), readers %.1f\n",
                            nearer > allowed ? "FAIL" : "ok  ", page, qPrintable(names[i]), nearer, m, p, readers);
            failed += nearer > allowed;
            if ((nearer > allowed || qEnvironmentVariableIsSet("LW_SWEEP_ALL")) && qEnvironmentVariableIsSet("LW_SWEEP_KEEP")) {
                const QString keep = qEnvironmentVariable("LW_SWEEP_KEEP");
                QImage three(areas[i].width() * 3, areas[i].height(), QImage::Format_RGB32);
                QPainter side(&three);
                side.drawImage(0, 0, ours.copy(areas[i]));
                side.drawImage(areas[i].width(), 0, mupdf.copy(areas[i]));
                side.drawImage(2 * areas[i].width(), 0, poppler.copy(areas[i]));
                side.end();
                three.save(QStringLiteral("%1/p%2e%3.png").arg(keep).arg(page).arg(i));
            }
        }
    }
    std::printf("%d of %d elements within the readers' spread; worst ratio to the allowance %.2f\n", total - failed,
                total, worstRatio);
    return failed ? 1 : 0;
}
