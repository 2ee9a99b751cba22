#pragma once
#include "model/document.h"

#include <QHash>
#include <QImage>
#include <QRectF>
#include <QSet>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// The pictures one raster export of a page draws: each decoded once, at the size the export
// needs (its drawn size in device pixels, never more than the picture's own) and only the part its
// frames show (a JPEG decodes no more than that part), and held until the
// export lets go of it, the bytes held taken from the shared decode budget (LWDecodeBudget::hold)
// for as long. Pictures with the same bytes are one. A picture that does not decode, or is
// refused as too large (what it needs alone exceeds the whole budget), is left out and drawn as
// the missing-picture art. Read from any thread.
class LWExportPictures {
public:
    struct Need; // one picture of the plan, opaque outside
    struct Picture {
        QImage image;  // 32-bit premultiplied (or opaque RGB32), maybe smaller than the picture
        QSize upright; // the picture's own upright size, in which its crop is measured
        // The part of the upright picture the image holds, in fractions of it: only what the
        // frames show is kept (with a few pixels around for smoothing).
        QRectF part{0, 0, 1, 1};
    };
    // The fewest device rows an export decodes a picture for at a time (a JPEG band's rows).
    static constexpr int fewestRows = 16;
    struct Prepared {
        std::shared_ptr<const LWExportPictures> pictures; // none when the export cannot go on
        QString reason;          // why not: a full sentence (memory)
        bool overBudget = false; // none because together they exceed what the budget holds
        bool cancelled = false;  // none because `cancelled` said so
    };
    // Asked before and after each picture is decoded, and in every wait of it (the hold's, a
    // worker's place and answer: LWDecodeWorkers::Cancellable); true stops the preparing at once,
    // nothing held.
    using Cancelled = std::function<bool()>;

    // The pictures of `page` drawn at `pixelsPerPoint` (the larger of the two axes' scales).
    [[nodiscard]] static Prepared prepare(const LWDocument &doc, int page, double pixelsPerPoint);
    // The pictures of these elements only, held together with `alsoHeld` bytes of the caller's;
    // those in `skip` (by their bytes' key) are left out.
    [[nodiscard]] static Prepared prepare(const QList<const LWElement *> &elements, double pixelsPerPoint,
                                          qint64 alsoHeld = 0, const QSet<QByteArray> &skip = {},
                                          const Cancelled &cancelled = {});
    // The bytes each picture of the element (its members for a group) would hold, by its bytes'
    // key: what runs of elements drawn one after another may share. Those in `skip` hold nothing.
    [[nodiscard]] static QHash<QByteArray, qint64> needs(const LWElement &element, double pixelsPerPoint,
                                                         const QSet<QByteArray> &skip = {});

    // A page's pictures planned once for an export drawn rows at a time. By rows, a picture is
    // decoded only for the part of it that the rows asked for cross in its frames, turned or not
    // (whatever its EXIF orientation, in as many frames as show it), so that one far larger than
    // the budget holds at its export size is made a part at a time, each part a window onto one
    // scaling of the whole; otherwise each is decoded whole and carried from rows to rows.
    class Plan {
    public:
        Plan(const LWDocument &doc, int page, double pixelsPerPoint);
        ~Plan();
        // The pictures, by their bytes' key, that the export cannot draw within what it may hold
        // (LWDecodeBudget::holdLimit) even alone: decoded for all its frames show, nor by rows,
        // fewestRows rows at a time wherever they cross it. They are left out of every run and drawn as the
        // missing-picture art. Pictures the decoder's checks refuse are not among them.
        [[nodiscard]] const QSet<QByteArray> &leftOut() const { return m_leftOut; }
        // What the pictures drawn in the rows [top, bottom) of page points (y down) hold, with
        // the largest decode among them (refused pictures count nothing).
        [[nodiscard]] qint64 need(double top, double bottom) const;
        [[nodiscard]] Prepared prepare(double top, double bottom, const QHash<QByteArray, Picture> &carried,
                                       const Cancelled &cancelled = {}) const;
        void setByRows(bool byRows) { m_byRows = byRows; }
        // Of `held`, the pictures that hold what the rows [top, bottom) need of them.
        [[nodiscard]] QHash<QByteArray, Picture> carried(const QHash<QByteArray, Picture> &held, double top,
                                                         double bottom) const;

    private:
        std::vector<Need> m_needs;
        std::vector<QByteArray> m_keys;
        QSet<QByteArray> m_leftOut;
        bool m_byRows = false;
    };
    // The pictures held, by their bytes' key, to be carried into the next rows (Plan::carried).
    [[nodiscard]] QHash<QByteArray, Picture> held() const;

    // The picture to draw for the record; none for the missing-picture art.
    [[nodiscard]] std::optional<Picture> find(const LWImage &picture) const;

    qsizetype count() const { return qsizetype(m_pictures.size()); }

    ~LWExportPictures();

private:
    LWExportPictures();
    [[nodiscard]] static Prepared make(std::vector<Need> needs, const QHash<QByteArray, Picture> &carried,
                                       qint64 alsoHeld, const Cancelled &cancelled);
    friend class Plan;
    struct Held;
    std::unique_ptr<Held> m_held; // the budget's bytes, given back when the export lets go
    std::vector<std::optional<Picture>> m_pictures;
    // The page's records by their shared bytes' address, so a draw need not hash them: the bytes
    // are held, so that no other bytes take that address while the set lives.
    QHash<const char *, std::pair<QByteArray, qsizetype>> m_byBuffer;
    QHash<QByteArray, qsizetype> m_byKey;      // any other record with the same bytes
};
