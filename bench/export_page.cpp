// Exports one page of a Letter flyer (bleed, gradients, a photo, text) as a whole process, the
// way a user's export runs, so that its time can be set beside other PDF rasterisers.
//   lw_export_page design OUT.velkfolio        the flyer as a design file
//   lw_export_page panel OUT.velkfolio         the flyer under a half-transparent full-page panel
//   lw_export_page poster OUT.velkfolio        a 24 x 36 in poster with a 24-megapixel photo
//   lw_export_page wide WIDTH POINTS OUT.velkfolio  a Letter flyer's triangle (POINTS 0) or star with
//                                              a dashed outline WIDTH points wide
//   lw_export_page shape KIND WIDTH DASH OUT.velkfolio  a Letter flyer's 300-pt shape (triangle, star,
//                                              ellipse, rounded or smooth; corner-triangle at the
//                                              page's corner) with an outline WIDTH points wide, DASH dashed
//   lw_export_page pdf DESIGN OUT.pdf          its print PDF with bleed
//   lw_export_page png|jpeg DESIGN DPI OUT     its page with bleed as PNG or JPEG, written as the
//                                              export sheet writes it
// LW_EXPORT_TIMING=1 prints the time of each stage to stderr.
#include "model/document.h"
#include "model/file/documentio.h"
#include "render/export.h"
#include "render/text/fonts.h"

#include "support/samplepages.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <cmath>
#include <cstdio>

namespace {

// The sample landscape (2400 x 1600 unless asked) with fine texture, stored as JPEG like a camera's.
QByteArray photo(int w = 2400, int h = 1600)
{
    QImage img = LWSamplePages::landscape(w, h);
    std::uint32_t seed = 12345;
    for (int y = 0; y < img.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 28) - 8 + int(6 * std::sin(x * 0.05) * std::cos(y * 0.07));
            const QRgb c = row[x];
            row[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                          std::clamp(qBlue(c) + n, 0, 255));
        }
    }
    return LWSamplePages::encoded(img, "jpeg", 90);
}

LWDocument flyer()
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Harvest flyer"));
    LWPage &page = doc.pages[0];
    page.background = LWFill::linear(LWColor::hex(0xF7F3EA), LWColor::hex(0xE3ECF2), 90);
    auto &els = page.elements;
    LWSamplePages::appendMasthead(els, photo(), QStringLiteral("bench-photo"));
    const QString para = QStringLiteral("Fresh bread, local honey, handmade soap and seasonal vegetables from farms "
                                        "within twenty miles. Live music from noon, a children's corner with face "
                                        "painting, and warm cider by the fountain.");
    for (int i = 0; i < 6; ++i) {
        LWText body(para, QStringLiteral("Arvo"), 10.5, LWColor::hex(0x333333), 0, 1.25,
                    i % 2 ? LWTextAlign::left : LWTextAlign::justified);
        els.append(LWElement::makeText(body, {54.0 + (i % 2) * 258, 360.0 + (i / 2) * 70, 246, 66}));
    }
    LWSamplePages::appendSign(els, 580, 110, LWFill::linear(LWColor::hex(0xFFF6E5), LWColor::hex(0xF3D9B1), 0));
    LWText footer(QStringLiteral("Saturday 10 – 4 · oldmill.example · free entry"), QStringLiteral("Arvo"), 16,
                  LWColor::white, 0, 1, LWTextAlign::center, LWVAlign::middle);
    els.append(LWElement::makeShape(LWShapeKind::rectangle, {-9, 720, 630, 81},
                                    LWFill::linear(LWColor::hex(0x5A2A0C), LWColor::hex(0x8A5A44), 0), std::nullopt));
    els.append(LWElement::makeText(footer, {36, 730, 540, 50}));
    return doc;
}

// The flyer under a white panel at half strength over the whole page, bleed included.
LWDocument panelled()
{
    LWDocument doc = flyer();
    LWElement panel = LWElement::makeShape(LWShapeKind::rectangle, {-9, -9, 630, 810}, LWFill::solid(LWColor::white),
                                           LWStroke(LWColor::hex(0x1F3A5F), 8, 0), 18);
    panel.opacity = 0.5;
    doc.pages[0].elements.append(panel);
    return doc;
}

// The largest page the program makes, 24 x 36 in, mostly a 6000 x 4000 photo, with text and a
// half-transparent panel.
LWDocument poster()
{
    LWDocument doc = LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 24 * 72, 36 * 72, 36,
                                       QStringLiteral("Harvest poster"));
    auto &els = doc.pages[0].elements;
    LWElement hero = LWElement::makePhoto({-9, -9, 1746, 1700});
    hero.image->data = photo(6000, 4000);
    hero.image->assetID = QStringLiteral("bench-poster-photo");
    els.append(hero);
    LWElement panel = LWElement::makeShape(LWShapeKind::rectangle, {72, 1400, 1584, 1100}, LWFill::solid(LWColor::white),
                                           LWStroke(LWColor::hex(0x5A2A0C), 12, 0), 36);
    panel.opacity = 0.6;
    els.append(panel);
    LWText title(QStringLiteral("Harvest Market"), QStringLiteral("BebasNeue-Regular"), 220, LWColor::hex(0x5A2A0C), 40,
                 1, LWTextAlign::center);
    els.append(LWElement::makeText(title, {108, 1450, 1512, 260}));
    const QString para = QStringLiteral("Fresh bread, local honey, handmade soap and seasonal vegetables from farms "
                                        "within twenty miles. Live music from noon and warm cider by the fountain.");
    LWText body(para, QStringLiteral("Arvo"), 40, LWColor::hex(0x333333), 0, 1.25, LWTextAlign::justified);
    els.append(LWElement::makeText(body, {144, 1760, 1440, 600}));
    return doc;
}

int usage()
{
    std::fprintf(stderr,
                 "usage: lw_export_page design|panel|poster OUT | wide WIDTH POINTS OUT | shape KIND WIDTH DASH OUT | "
                 "pdf DESIGN OUT | "
                 "png|jpeg DESIGN DPI OUT\n");
    return 2;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.flush();
}

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer clock;
    clock.start();
    const bool timing = qEnvironmentVariableIsSet("LW_EXPORT_TIMING");
    auto stage = [&](const char *what) {
        if (timing)
            std::fprintf(stderr, "%-8s %6lld ms\n", what, clock.restart());
    };
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2)
        return usage();
    const QStringList designs{QStringLiteral("design"), QStringLiteral("panel"), QStringLiteral("poster")};
    if (designs.contains(args[0])) {
        const auto bytes = LWDocumentIO::encode(args[0] == designs[0]   ? flyer()
                                                : args[0] == designs[1] ? panelled()
                                                                        : poster());
        return bytes && writeFile(args[1], bytes.value()) ? 0 : 1;
    }
    if (args[0] == QLatin1String("wide") && args.size() == 4) {
        const auto bytes =
            LWDocumentIO::encode(LWSamplePages::wideOutline(args[1].toDouble(), args[2].toInt()));
        return bytes && writeFile(args[3], bytes.value()) ? 0 : 1;
    }
    const QStringList kinds{QStringLiteral("triangle"), QStringLiteral("star"), QStringLiteral("ellipse"),
                            QStringLiteral("rounded"), QStringLiteral("smooth"), QStringLiteral("corner-triangle")};
    if (args[0] == QLatin1String("shape") && args.size() == 5 && kinds.contains(args[1])) {
        const int kind = int(kinds.indexOf(args[1]));
        const auto bytes = LWDocumentIO::encode(LWSamplePages::wideShape(
            LWSamplePages::WideShape(kind % 5), args[2].toDouble(), args[3].toDouble(), kind == 5));
        return bytes && writeFile(args[4], bytes.value()) ? 0 : 1;
    }
    LWFonts::registerBundled();
    stage("start");
    QFile in(args[1]);
    if (!in.open(QIODevice::ReadOnly))
        return usage();
    auto decoded = LWDocumentIO::decode(in.readAll());
    if (!decoded) {
        std::fprintf(stderr, "lw_export_page: %s\n", qPrintable(decoded.errorDescription()));
        return 1;
    }
    const LWDocument doc = std::move(decoded).value();
    stage("open");
    std::optional<QByteArray> bytes;
    if (args[0] == QLatin1String("pdf") && args.size() == 3) {
        bytes = LWExport::pdfData(doc, {0}, true);
    } else if (args.size() == 4) {
        const auto type = LWExport::rasterType(args[0]);
        bool ok = false;
        const double dpi = args[2].toDouble(&ok);
        if (!type || !ok)
            return usage();
        const QString why = LWExport::writeRaster(doc, 0, dpi, true, *type, 0.92, args.last());
        stage("export");
        if (!why.isEmpty()) {
            std::fprintf(stderr, "lw_export_page: %s\n", qPrintable(why));
            return 1;
        }
        return 0;
    } else {
        return usage();
    }
    stage("export");
    if (!bytes || !writeFile(args.last(), *bytes)) {
        std::fprintf(stderr, "lw_export_page: export failed\n");
        return 1;
    }
    stage("write");
    return 0;
}
