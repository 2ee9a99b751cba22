#include "render/raster/rasterforecast.h"

#include "model/document.h"
#include "render/export.h"
#include "render/exportpictures.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/picturekey.h"
#include "render/pictures/picturequeue.h"

#include <QCryptographicHash>
#include <QHash>
#include <QMutex>

namespace {

// What the plan of a page depends on: its pictures' bytes (by key, or, for the job's name
// alone, by buffer), how each is framed, the export's scale and the budget.
struct Signature {
    QCryptographicHash byKey{QCryptographicHash::Sha1};
    QCryptographicHash byBuffer{QCryptographicHash::Sha1};
    bool keysKnown = true;
    bool pictures = false;
    bool waitForKeys = false; // compute unknown keys (a job), else leave them unknown

    template <class T> void add(T value)
    {
        const QByteArrayView raw(reinterpret_cast<const char *>(&value), sizeof value);
        byKey.addData(raw);
        byBuffer.addData(raw);
    }

    void add(const LWElement &e)
    {
        if (e.hidden || !(e.opacity > 0))
            return;
        if (e.kind == LWElement::Kind::group) {
            if (e.children)
                for (const LWElement &child : *e.children)
                    add(child);
            return;
        }
        if (e.kind != LWElement::Kind::image || !e.image || !e.image->data)
            return;
        pictures = true;
        const QByteArray &bytes = *e.image->data;
        const std::optional<QByteArray> key = waitForKeys ? LWPictureKey::of(bytes) : LWPictureKey::ifKnown(bytes);
        if (key)
            byKey.addData(*key);
        keysKnown = keysKnown && key.has_value();
        add(quintptr(bytes.constData()));
        add(bytes.size());
        const LWImage &img = *e.image;
        for (const double v : {e.frame.x, e.frame.y, e.frame.w, e.frame.h, e.rotation, img.cropL, img.cropT, img.cropR,
                               img.cropB, e.stroke ? e.stroke->width : -1.0})
            add(v);
        add(int(img.fit));
    }
};

struct Signed {
    QByteArray byKey, byBuffer;
    bool keysKnown = true, pictures = false;
};

Signed signature(const LWDocument &doc, int page, double dpi, bool bleed, bool waitForKeys)
{
    Signature s;
    s.waitForKeys = waitForKeys;
    for (const double v : {dpi, doc.width, doc.height, doc.bleed})
        s.add(v);
    s.add(bleed);
    s.add(page);
    s.add(LWDecodeBudget::limit());
    if (page >= 0 && page < doc.pages.size())
        for (const LWElement &e : doc.pages[page].elements)
            s.add(e);
    return {s.byKey.result(), s.byBuffer.result(), s.keysKnown, s.pictures};
}

struct Answers {
    static constexpr qsizetype most = 512; // then forgotten all at once
    QMutex lock;
    QHash<QByteArray, QSet<QByteArray>> bySignature;
};

Answers &answers()
{
    static Answers a;
    return a;
}

} // namespace

namespace LWRasterForecast {

QSet<QByteArray> leftOut(const LWDocument &doc, int page, double dpi, bool bleed)
{
    const double pixelsPerPoint = LWExport::pixelsPerPoint(doc, dpi, bleed);
    if (!(pixelsPerPoint > 0) || page < 0 || page >= doc.pages.size())
        return {};
    return LWExportPictures::Plan(doc, page, pixelsPerPoint).leftOut();
}

std::optional<QSet<QByteArray>> leftOutSoon(const LWDocument &doc, int page, double dpi, bool bleed, int priority)
{
    const Signed s = signature(doc, page, dpi, bleed, false);
    if (!s.pictures)
        return QSet<QByteArray>();
    if (s.keysKnown) {
        Answers &a = answers();
        QMutexLocker guard(&a.lock);
        if (const auto it = a.bySignature.constFind(s.byKey); it != a.bySignature.cend())
            return *it;
    }
    LWPictureQueue::shared().ask('f' + s.byBuffer, priority, [doc, page, dpi, bleed] {
        const QSet<QByteArray> out = leftOut(doc, page, dpi, bleed);
        const QByteArray known = signature(doc, page, dpi, bleed, true).byKey;
        Answers &a = answers();
        QMutexLocker guard(&a.lock);
        if (a.bySignature.size() >= Answers::most)
            a.bySignature.clear();
        a.bySignature.insert(known, out);
    });
    return std::nullopt;
}

} // namespace LWRasterForecast
