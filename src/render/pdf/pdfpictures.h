#pragma once
#include "render/pdf/pdffile.h"
#include "render/pictures/picturedecoder.h"
#include "render/renderer.h"

#include <QHash>
#include <QList>
#include <QString>
#include <optional>

struct LWElement;

// The pictures of one PDF: the writer draws a small stand-in per picture, and the finishing pass
// puts the picture in its place. A JPEG that every reader takes as it is goes in as its own
// bytes, orientation applied by the placement; any other picture as its decoded pixels,
// deflated on all cores, with an /SMask when it has transparency. A picture is decoded when it
// is first drawn, deflated at once and its pixels let go, so memory holds one decoded picture at
// a time. Pictures are known by their bytes: the same bytes under any asset id are one image
// object. One thread at a time.
namespace LWExport {

class PdfPictures {
public:
    PdfPictures();
    // The stand-in for the picture, the same for every placement of its bytes; none when the
    // record has no data, the bytes neither pass as a JPEG nor decode, or memory ran out.
    [[nodiscard]] std::optional<LWRenderer::PictureSink::StandIn> standIn(const LWImage &picture);
    // Decodes and deflates, on all cores, the small pictures among the elements (groups' members
    // included) that go in as pixels, so that the stand-ins drawn next find them made; a decode
    // in a worker process costs the same start wherever it runs, and side by side those costs
    // overlap. Small: each holds little, so a few at once stay within a little memory.
    void prepare(const QList<LWElement> &elements);
    // Pictures of at most this many pixels are prepared side by side.
    static constexpr qint64 preparedPixels = 4'000'000;
    // What the finishing pass swaps in, one entry per picture that got a stand-in; taken out,
    // so that the pass can let each picture go once it is written.
    [[nodiscard]] QList<LWPdfFile::PictureSwap> takeSwaps();
    // Whether a picture could not be decoded or compressed for want of memory: the PDF would
    // show it as missing, so it must not be written.
    bool outOfMemory() const { return m_outOfMemory; }

    // The stand-in's size: tiny, so that drawing and finding it cost nothing.
    static constexpr int standInWidth = 5, standInHeight = 3;

private:
    struct Entry {
        LWRenderer::PictureSink::StandIn standIn;
        LWPdfFile::PictureSwap swap; // the picture's data, already compressed
    };
    // A picture decoded and compressed, or why not.
    struct Made {
        std::optional<LWPdfFile::PictureSwap> swap;
        QSize upright;
        LWPictureDecoder::Failure failure = LWPictureDecoder::Failure::none;
    };
    [[nodiscard]] static Made make(const LWImage &picture);
    QHash<QByteArray, Made> m_prepared; // by LWPictureKey, made ahead by prepare
    QByteArray m_nonce;
    QHash<QByteArray, qsizetype> m_byKey; // by LWPictureKey; -1: the picture cannot be taken
    QList<Entry> m_entries;
    bool m_outOfMemory = false;
};

} // namespace LWExport
