#pragma once
// What an open window holds beside an export: the previews of the pictures it shows, the
// full-size table full, and a page-view decode in flight (asked without waiting, as at a paint).
#include "model/image.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/picturequeue.h"
#include "support/testpictures.h"

namespace LWWindowState {

inline LWImage pictureOf(const QByteArray &bytes)
{
    LWImage p = LWImage::empty();
    p.data = bytes;
    return p;
}

// The previews of `shown`; the full table given room for four pictures and filled with four new
// ones; then a new picture's preview asked for, its decode left running. The pictures are copies
// of two made once, told apart by bytes after their end. Returns the tables' budgets before.
inline LWImageCache::Budget hold(const QList<LWImage> &shown)
{
    constexpr int side = 256;
    using LWTestPictures::encode, LWTestPictures::plain;
    static const QByteArray small = encode(plain(side, side, Qt::darkYellow), "png");
    static const QByteArray large = encode(plain(1600, 1200, Qt::darkCyan), "png");
    static int made = 0;
    for (const LWImage &p : shown)
        (void)LWImageCache::image(p, true);
    LWImageCache::Budget budget;
    budget.full = qint64(4) * side * side * 4;
    const LWImageCache::Budget old = LWImageCache::setBudget(budget);
    for (int i = 0; i < 4; ++i)
        (void)LWImageCache::image(pictureOf(small + QByteArray::number(made++)), false);
    (void)LWImageCache::previewSoon(pictureOf(large + QByteArray::number(made++)));
    return old;
}

// Lets the page view's decodes end (tests read the budget and the tables after).
inline void settle() { LWPictureQueue::shared().drain(); }

// Whether nothing is left of an export: no hold, nothing reserved, the tables' kept bytes what
// the budget counts.
inline bool givenBack()
{
    LWDecodeBudget::resetPeak();
    const LWImageCache::Stats s = LWImageCache::stats();
    return LWDecodeBudget::holds() == 0 && LWDecodeBudget::peak() == 0 &&
           LWDecodeBudget::kept() == s.fullBytes + s.previewBytes;
}

} // namespace LWWindowState
