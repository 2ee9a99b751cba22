#pragma once
#include "render/pdf/pdfboxes.h"

#include <QByteArray>
#include <QList>
#include <QRectF>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>

// The only door to libqpdf: every read or rewrite of PDF objects goes through here, so qpdf's
// headers are included by pdffile.cpp alone (clang cannot compile them in C++20; a clang build
// compiles that one file with g++). Nothing here throws.
namespace LWPdfFile {

// A Type0 font that Qt embedded over a TrueType subset with an Identity CIDToGIDMap.
struct EmbeddedFont {
    QString baseFont;     // as written, without the leading slash
    QByteArray fontFile;  // the decoded FontFile2
    QByteArray toUnicode; // the decoded ToUnicode CMap
};
// The font's new ToUnicode CMap, or none to keep the one it has.
using ToUnicodeFix = std::function<std::optional<QByteArray>(const EmbeddedFont &)>;

// An image's data for the PDF, already encoded with `filter`.
struct ImageData {
    QByteArray data;
    QByteArray filter;       // "/DCTDecode" or "/FlateDecode"
    int width = 0, height = 0;
    bool gray = false;       // DeviceGray, else DeviceRGB; 8 bits a sample
    int predictorColors = 0; // Flate rows carry PNG filter bytes for this many samples a pixel
};

// A picture that the writer drew as a small stand-in image: the image whose decoded samples are
// standInRgb (8-bit RGB, standInSize) gets the picture's data and, with softMask, an /SMask.
struct PictureSwap {
    QSize standInSize;
    QByteArray standInRgb;
    ImageData image;
    std::optional<ImageData> softMask;
};

struct Finish {
    // Joins pages first (see LWExport::PdfPageRecipe); empty: every page stands alone.
    QList<LWExport::PdfPageRecipe> recipes;
    // Then one set of boxes per page (a box left empty is removed); none: boxes stay as they are.
    std::optional<QList<LWExport::PdfPageBoxes>> pages;
    std::optional<LWExport::PdfInfo> info; // Creator and Title
    ToUnicodeFix toUnicode;                // asked once per embedded font
    QList<PictureSwap> pictures;           // each stand-in found is swapped, its data left as given
};

// Rewrites the PDF as `how` says and always mends Qt's gradient soft masks: each becomes a
// luminosity mask placed in the same space as the colour shading it belongs to. Every embedded
// font subset is named with a subset tag ("ABCDEF+Name") taken from its bytes. None, with the
// reason in *error, when the bytes do not parse, a recipe is malformed, the page count differs
// from the boxes given or writing fails.
// The pictures' data is handed to the writer and let go as soon as it is written, so the file
// and the pictures not yet written are all it holds of them (pass it moved, or its copies stay).
[[nodiscard]] std::optional<QByteArray> finish(const QByteArray &pdf, Finish how, QString *error = nullptr);

// The listed pages (counted from 0, in order, each once) of a PDF, everything else as it was: the
// other pages and what only they use are left out, no stream is encoded anew. None, with the
// reason in *error, for bytes that do not parse, a page that is not there or a failed write.
[[nodiscard]] std::optional<QByteArray> selectPages(const QByteArray &pdf, const QList<int> &pages,
                                                    QString *error = nullptr);

// Reading back. Every call gives an empty result for bytes that do not parse.
struct StoredBoxes { // as stored on each page (not inherited): x, y from the lower-left corner
    std::optional<QRectF> media, crop, bleed, trim;
};
[[nodiscard]] QList<StoredBoxes> pageBoxes(const QByteArray &pdf);
[[nodiscard]] QString infoText(const QByteArray &pdf, const char *key); // "/Creator", "/Title"
[[nodiscard]] int imageCount(const QByteArray &pdf);                     // pictures, without their masks
[[nodiscard]] QList<QByteArray> toUnicodeMaps(const QByteArray &pdf);    // decoded, in object order
struct StoredImage {
    QByteArray filter; // the first filter's name, empty when none
    QByteArray data;   // as stored, still encoded
    int width = 0, height = 0;
    bool softMask = false;
};
[[nodiscard]] QList<StoredImage> images(const QByteArray &pdf); // without the soft masks

// The number of entries of the page's /Resources /Font dictionary (page counted from 0): 0 when
// the page has neither; none for bytes that do not parse or a page that is not there.
[[nodiscard]] std::optional<int> fontResourceCount(const QByteArray &pdf, int page);

} // namespace LWPdfFile
