#pragma once
#include "render/pdf/pdffile.h"
#include "render/renderer.h"

#include <QHash>
#include <QList>
#include <QString>

// The pictures of one PDF: the writer draws a small stand-in per picture, and the finishing pass
// puts the picture in its place. A JPEG that every reader takes as it is goes in as its own
// bytes, orientation applied by the placement; any other picture as its decoded pixels,
// deflated on all cores, with an /SMask when it has transparency. One thread at a time.
namespace LWExport {

class PdfPictures {
public:
    PdfPictures();
    // The stand-in for the picture, the same for every placement of its asset id; none when the
    // record has no data or the bytes neither pass as a JPEG nor decode.
    [[nodiscard]] std::optional<LWRenderer::PictureSink::StandIn> standIn(const LWImage &picture);
    // What the finishing pass swaps in, one entry per picture that got a stand-in. None when
    // compressing a picture fails.
    [[nodiscard]] std::optional<QList<LWPdfFile::PictureSwap>> swaps() const;

    // The stand-in's size: tiny, so that drawing and finding it cost nothing.
    static constexpr int standInWidth = 5, standInHeight = 3;

private:
    struct Entry {
        LWRenderer::PictureSink::StandIn standIn;
        QByteArray rgb;  // the stand-in's samples as the PDF holds them
        QByteArray jpeg; // passed through, or
        QImage pixels;   // deflated
        int components = 3;
    };
    QByteArray m_nonce;
    QHash<QString, qsizetype> m_byAsset; // -1: the picture cannot be taken
    QList<Entry> m_entries;
};

} // namespace LWExport
