#include "render/exportpictures.h"

#include "render/parallel.h"
#include "render/pictures/decodebudget.h"
#include "render/pictures/heif.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/picturedecoder.h"
#include "render/pictures/formats/pictureformat.h"
#include "render/pictures/picturekey.h"
#include "render/renderer.h"
#include "render/worker/decodeworkers.h"
#include "model/geometry.h"

#include <algorithm>
#include <atomic>
#include <QMutex>
#include <cmath>
#include <limits>

namespace {

const QString notEnoughMemory = QStringLiteral("There isn't enough memory to export this design.");

// A picture's decode costs, each request's reckoned once: planning runs of rows asks the same
// ones many times, and reckoning may pass over all of the picture's bytes.
class KnownCosts {
public:
    explicit KnownCosts(const QByteArray &bytes) : m_costs(bytes) {}
    [[nodiscard]] std::optional<qint64> of(const LWPictureDecoder::Request &request) const
    {
        const double numbers[] = {double(request.longestSide), request.part.x(), request.part.y(),
                                  request.part.width(), request.part.height()};
        const QByteArray key(reinterpret_cast<const char *>(numbers), sizeof numbers);
        {
            QMutexLocker guard(&m_lock);
            if (const auto it = m_known.constFind(key); it != m_known.cend())
                return *it;
        }
        const std::optional<qint64> cost = m_costs.of(request);
        QMutexLocker guard(&m_lock);
        m_known.insert(key, cost);
        return cost;
    }

private:
    LWPictureDecoder::Costs m_costs;
    mutable QMutex m_lock;
    mutable QHash<QByteArray, std::optional<qint64>> m_known;
};

} // namespace

struct LWExportPictures::Need {
    LWImage picture;
    QSize upright;
    int longest = 0; // 0: the full size
    double top = 0, bottom = 0; // page rows where it may be drawn
    QRectF part;                // what its frames show of it, in fractions of the upright picture
    // Where each copy lies on the page. Rows of the page map to a part of the picture for every
    // copy, turned or not; `byRows` only when a few rows of it fit what an export holds wherever
    // they cross it (the others are decoded whole or not at all).
    struct Copy {
        QPolygonF shown;      // the frame's crop on the page (page points): a turned rectangle
        QTransform toPicture; // page points to fractions of the upright picture
        double top = 0, foot = 0; // the page rows it spans
    };
    std::vector<Copy> copies;
    bool byRows = false;
    std::shared_ptr<const KnownCosts> costs;
};

namespace {

using Need = LWExportPictures::Need;

// How far past its frame's box an element may still be drawn in a band: its stroke, smoothing
// and the renderer's own margin, generously.
constexpr double reach = 8;

// The part of the picture the element shows (its frame clips it), in fractions of the picture.
QRectF shownPart(const LWElement &e, QSize upright)
{
    const std::optional<LWRenderer::PicturePlace> place = LWRenderer::placePicture(e, QSizeF(upright));
    if (!place || !(place->whole.width() > 0) || !(place->whole.height() > 0))
        return {0, 0, 1, 1};
    const QRectF &whole = place->whole;
    const QRectF shown = place->target.intersected(e.frame.toQRectF().normalized());
    const QRectF part((shown.left() - whole.left()) / whole.width(), (shown.top() - whole.top()) / whole.height(),
                      shown.width() / whole.width(), shown.height() / whole.height());
    const QRectF inside = part.intersected(QRectF(0, 0, 1, 1));
    if (inside.isEmpty() || !std::isfinite(inside.width()) || !std::isfinite(inside.height()))
        return {0, 0, 1, 1};
    return inside;
}

// Pixels kept around the shown part: smoothing reads a pixel or two past what it draws.
constexpr int partMargin = 3;

// The pixels of an image of `size` that hold `part`, with the margin.
QRect partPixels(QSize size, const QRectF &part)
{
    const QRect px(QPoint(int(std::floor(part.left() * size.width())) - partMargin,
                          int(std::floor(part.top() * size.height())) - partMargin),
                   QPoint(int(std::ceil(part.right() * size.width())) + partMargin - 1,
                          int(std::ceil(part.bottom() * size.height())) + partMargin - 1));
    return px.intersected(QRect(QPoint(0, 0), size));
}

// Device pixels the picture's longer side needs where the element draws it, a pixel to spare
// for smoothing; 0 when that is its full size.
int neededSide(const LWElement &e, QSize upright, double pixelsPerPoint)
{
    const std::optional<LWRenderer::PicturePlace> place = LWRenderer::placePicture(e, QSizeF(upright));
    const int full = std::max(upright.width(), upright.height());
    if (!place)
        return 1;
    const double k = std::max(place->whole.width() / upright.width(), place->whole.height() / upright.height());
    const double side = std::ceil(full * k * pixelsPerPoint) + 1;
    // Past 7/8 of the full size a smaller decode saves little and costs a resampling of its own
    // (a JPEG's DCT cannot scale by less than 1/8): the page's bands draw the full size scaled.
    if (!std::isfinite(side) || side * 8 >= full * 7.0)
        return 0;
    return std::max(1, int(side));
}

// Where the element shows the picture on the page, and how page points map back to it; none
// when its numbers are not finite.
std::optional<Need::Copy> copyOf(const LWElement &e, QSize upright)
{
    const std::optional<LWRenderer::PicturePlace> place = LWRenderer::placePicture(e, QSizeF(upright));
    if (!place || !(place->whole.width() > 0) || !(place->whole.height() > 0))
        return std::nullopt;
    const QRectF shown = place->target.intersected(e.frame.toQRectF().normalized());
    const QTransform turn = LWGeometry::rotation(e);
    if (shown.isEmpty() || !turn.isInvertible())
        return std::nullopt;
    const QRectF &whole = place->whole;
    const QTransform toPicture = turn.inverted() * QTransform::fromTranslate(-whole.x(), -whole.y()) *
                                 QTransform::fromScale(1 / whole.width(), 1 / whole.height());
    QPolygonF quad = turn.map(QPolygonF(shown));
    quad.removeLast(); // a rectangle's polygon closes itself
    for (const QPointF &corner : quad)
        if (!std::isfinite(corner.x()) || !std::isfinite(corner.y()))
            return std::nullopt;
    const QRectF span = quad.boundingRect();
    return Need::Copy{quad, toPicture, span.top(), span.bottom()};
}

void collect(const LWElement &e, double pixelsPerPoint, QHash<QByteArray, qsizetype> &byKey, std::vector<Need> &needs,
             const QSet<QByteArray> &skip = {})
{
    if (e.hidden || !(e.opacity > 0))
        return;
    if (e.kind == LWElement::Kind::group) {
        if (e.children)
            for (const LWElement &child : *e.children)
                collect(child, pixelsPerPoint, byKey, needs, skip);
        return;
    }
    if (e.kind != LWElement::Kind::image || !e.image || !e.image->data)
        return;
    const std::optional<QSizeF> size = LWImageCache::pixelSize(*e.image);
    if (!size || size->isEmpty())
        return; // the missing-picture art
    const QSize upright = size->toSize();
    const int side = neededSide(e, upright, pixelsPerPoint);
    const QByteArray key = LWPictureKey::of(*e.image->data);
    if (skip.contains(key))
        return;
    const LWRect box = LWGeometry::bounds(e);
    const double pad = reach + (e.stroke ? std::max(0.0, e.stroke->width) : 0);
    double top = box.minY() - pad, bottom = box.maxY() + pad;
    if (!std::isfinite(top) || !std::isfinite(bottom))
        top = -std::numeric_limits<double>::infinity(), bottom = std::numeric_limits<double>::infinity();
    const QRectF part = shownPart(e, upright);
    const std::optional<Need::Copy> copy = copyOf(e, upright);
    if (const auto it = byKey.constFind(key); it != byKey.cend()) {
        Need &n = needs[size_t(*it)];
        n.longest = (n.longest == 0 || side == 0) ? 0 : std::max(n.longest, side);
        n.top = std::min(n.top, top);
        n.bottom = std::max(n.bottom, bottom);
        n.part = n.part.united(part);
        // Drawn again: the rows of every copy that rows of the page cross are decoded together.
        n.byRows = n.byRows && copy;
        if (copy)
            n.copies.push_back(*copy);
        return;
    }
    byKey.insert(key, qsizetype(needs.size()));
    needs.push_back({*e.image, upright, side, top, bottom, part, {}, bool(copy),
                     std::make_shared<const KnownCosts>(*e.image->data)});
    if (copy)
        needs.back().copies.push_back(*copy);
}

QSize decodedSize(const Need &n)
{
    return n.longest > 0 ? LWPictureDecoder::fitWithin(n.upright, n.longest) : n.upright;
}

// The bounds, in fractions of the picture, of what the page rows [top, bottom] cross of a copy:
// the corners between them and where its edges cross them (it is convex). Asked for every run
// of every copy, so without allocating.
std::optional<QRectF> crossedPart(const Need::Copy &copy, double top, double bottom)
{
    if (copy.foot < top || copy.top > bottom)
        return std::nullopt;
    double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
    const auto add = [&](QPointF at) {
        at = copy.toPicture.map(at);
        x0 = std::min(x0, at.x()), x1 = std::max(x1, at.x()), y0 = std::min(y0, at.y()), y1 = std::max(y1, at.y());
    };
    const QPolygonF &quad = copy.shown;
    for (qsizetype i = 0; i < quad.size(); ++i) {
        const QPointF a = quad[i], b = quad[(i + 1) % quad.size()];
        if (a.y() >= top && a.y() <= bottom)
            add(a);
        for (const double edge : {top, bottom})
            if ((a.y() - edge) * (b.y() - edge) < 0)
                add(a + (b - a) * ((edge - a.y()) / (b.y() - a.y())));
    }
    if (!(x0 <= x1))
        return std::nullopt;
    return QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

// What of the picture the rows [top, bottom) of page points need: by rows, the part of its
// frames' part that those rows cross in any copy, turned or not; else all of it.
QRectF rowsPart(const Need &n, double top, double bottom, bool byRows)
{
    if (!byRows || !n.byRows || !std::isfinite(top) || !std::isfinite(bottom))
        return n.part;
    QRectF out;
    for (const Need::Copy &copy : n.copies)
        if (const std::optional<QRectF> part = crossedPart(copy, top, bottom)) // else these rows show none of it
            out = out.isNull() ? *part : out.united(*part);
    out = out.intersected(n.part);
    if (out.isNull() || !(out.height() > 0))
        return {n.part.left(), n.part.top(), n.part.width(), 0};
    return out;
}

qint64 keptBytes(const Need &n, const QRectF &part)
{
    const QRect kept = partPixels(decodedSize(n), part);
    return qint64(kept.width()) * kept.height() * 4;
}

// What the export asks of the decoder: the part, with the margin.
LWPictureDecoder::Request requestOf(const Need &n, const QRectF &part)
{
    const QSize s = decodedSize(n);
    const LWPictureDecoder::Made px{s, partPixels(s, part)};
    if (px.held == QRect(QPoint(0, 0), s))
        return {n.longest, {0, 0, 1, 1}};
    return {n.longest, px.part()};
}

// What decoding that part reserves besides what is held, as the decoder reckons it; none when
// the decoder refuses it, or it alone exceeds the whole budget (the missing-picture art then,
// planned as nothing, so that the rest of the export goes on).
std::optional<qint64> workOf(const Need &n, const QRectF &part)
{
    const std::optional<qint64> cost = n.costs->of(requestOf(n, part));
    if (!cost || *cost > LWDecodeBudget::limit())
        return std::nullopt;
    return cost;
}

// Where runs of `rowPoints` page rows ask the most of a picture by rows: the part asked grows
// and shrinks linearly between the rows where a run's top or foot passes a corner of a copy, so
// runs starting there, and halfway between.
std::vector<double> runTops(const Need &n, double rowPoints)
{
    std::vector<double> at;
    for (const Need::Copy &copy : n.copies)
        for (const QPointF &corner : copy.shown)
            at.insert(at.end(), {corner.y(), corner.y() - rowPoints});
    std::sort(at.begin(), at.end());
    at.erase(std::unique(at.begin(), at.end()), at.end());
    for (size_t i = 1, count = at.size(); i < count; ++i)
        at.push_back((at[i - 1] + at[i]) / 2);
    return at;
}

// Whether every run of `rowPoints` page rows (0: a single row), decoded and held, fits what an
// export may hold.
bool runsFit(const Need &n, double rowPoints)
{
    for (const double top : runTops(n, rowPoints)) {
        const QRectF slice = rowsPart(n, top, top + rowPoints, true);
        const std::optional<qint64> cost = n.costs->of(requestOf(n, slice));
        if (!cost || *cost + keptBytes(n, slice) > LWDecodeBudget::holdLimit())
            return false;
    }
    return true;
}

// Once every copy is collected: a picture is decoded by rows only when a few of its rows fit
// wherever they cross it (a turn makes a page row cross many of the picture's).
void settle(std::vector<Need> &needs)
{
    for (Need &n : needs)
        n.byRows = n.byRows && runsFit(n, 0);
}

// A picture decoded by rows that is too large to decode for these rows may still be for fewer.
bool fewerRows(const Need &n, const QRectF &part)
{
    const std::optional<qint64> cost = n.costs->of(requestOf(n, part));
    return n.byRows && cost && *cost > LWDecodeBudget::limit();
}

// Whether the export can draw the picture alone within what it may hold: decoded for all its
// frames show, or, by rows, for every run of `rowPoints` page rows. A picture the decoder's checks
// refuse counts as drawable: its cause names it.
bool fitsAlone(const Need &n, double rowPoints)
{
    const std::optional<qint64> cost = n.costs->of(requestOf(n, n.part));
    if (!cost || *cost + keptBytes(n, n.part) <= LWDecodeBudget::holdLimit())
        return true;
    return n.byRows && rowPoints > 0 && runsFit(n, rowPoints);
}

qint64 heldBytes(const Need &n, const QRectF &part) { return workOf(n, part) ? keptBytes(n, part) : 0; }
qint64 heldBytes(const Need &n) { return heldBytes(n, n.part); }

// Keeps of the decoded image only the part the frames show.
std::optional<LWExportPictures::Picture> kept(QImage image, const Need &n, const QRectF &shown)
{
    const QRect px = partPixels(image.size(), shown);
    if (px.isEmpty())
        return std::nullopt;
    const QRectF part(double(px.x()) / image.width(), double(px.y()) / image.height(),
                      double(px.width()) / image.width(), double(px.height()) / image.height());
    if (px != image.rect()) {
        image = image.copy(px);
        if (image.isNull())
            return std::nullopt;
    }
    return LWExportPictures::Picture{std::move(image), n.upright, part};
}

// The decoded picture in a format the raster engine draws without converting it per call.
std::optional<QImage> drawable(QImage image)
{
    const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != format)
        image.convertTo(format);
    if (image.isNull())
        return std::nullopt;
    return image;
}

} // namespace

struct LWExportPictures::Held {
    std::optional<LWDecodeBudget::Reservation> reservation;
};

LWExportPictures::LWExportPictures() : m_held(std::make_unique<Held>()) {}
LWExportPictures::~LWExportPictures() = default;

LWExportPictures::Prepared LWExportPictures::prepare(const LWDocument &doc, int page, double pixelsPerPoint)
{
    QList<const LWElement *> elements;
    if (page >= 0 && page < doc.pages.size())
        for (const LWElement &e : doc.pages[page].elements)
            elements.append(&e);
    return prepare(elements, pixelsPerPoint);
}

QHash<QByteArray, qint64> LWExportPictures::needs(const LWElement &element, double pixelsPerPoint,
                                                  const QSet<QByteArray> &skip)
{
    QHash<QByteArray, qsizetype> byKey;
    std::vector<Need> needs;
    collect(element, pixelsPerPoint, byKey, needs, skip);
    settle(needs);
    QHash<QByteArray, qint64> out;
    for (auto it = byKey.cbegin(); it != byKey.cend(); ++it)
        out.insert(it.key(), heldBytes(needs[size_t(*it)]));
    return out;
}

LWExportPictures::Prepared LWExportPictures::prepare(const QList<const LWElement *> &elements, double pixelsPerPoint,
                                                     qint64 alsoHeld, const QSet<QByteArray> &skip,
                                                     const Cancelled &cancelled)
{
    std::vector<Need> needs;
    QHash<QByteArray, qsizetype> byKey;
    if (pixelsPerPoint > 0)
        for (const LWElement *e : elements)
            collect(*e, pixelsPerPoint, byKey, needs, skip);
    settle(needs);
    return make(std::move(needs), {}, alsoHeld, cancelled);
}

LWExportPictures::Plan::Plan(const LWDocument &doc, int page, double pixelsPerPoint)
{
    QHash<QByteArray, qsizetype> byKey;
    if (page >= 0 && page < doc.pages.size() && pixelsPerPoint > 0)
        for (const LWElement &e : doc.pages[page].elements)
            collect(e, pixelsPerPoint, byKey, m_needs);
    settle(m_needs);
    m_keys.resize(m_needs.size());
    for (auto it = byKey.cbegin(); it != byKey.cend(); ++it)
        m_keys[size_t(*it)] = it.key();
    const double rowPoints = fewestRows / pixelsPerPoint;
    for (size_t i = m_needs.size(); i-- > 0;)
        if (!fitsAlone(m_needs[i], rowPoints)) {
            m_leftOut.insert(m_keys[i]);
            m_needs.erase(m_needs.begin() + std::ptrdiff_t(i));
            m_keys.erase(m_keys.begin() + std::ptrdiff_t(i));
        }
}

LWExportPictures::Plan::~Plan() = default;

qint64 LWExportPictures::Plan::need(double top, double bottom) const
{
    qint64 held = 0, work = 0;
    for (const Need &n : m_needs) {
        if (n.bottom < top || n.top > bottom)
            continue;
        const QRectF part = rowsPart(n, top, bottom, m_byRows);
        if (fewerRows(n, part))
            return std::numeric_limits<qint64>::max();
        if (const std::optional<qint64> w = workOf(n, part))
            held += keptBytes(n, part), work = std::max(work, *w);
    }
    return held + work;
}

LWExportPictures::Prepared LWExportPictures::Plan::prepare(double top, double bottom,
                                                           const QHash<QByteArray, Picture> &carried,
                                                           const Cancelled &cancelled) const
{
    std::vector<Need> needs;
    for (const Need &n : m_needs)
        if (n.bottom >= top && n.top <= bottom) {
            needs.push_back(n);
            needs.back().part = rowsPart(n, top, bottom, m_byRows);
        }
    return make(std::move(needs), this->carried(carried, top, bottom), 0, cancelled);
}

QHash<QByteArray, LWExportPictures::Picture>
LWExportPictures::Plan::carried(const QHash<QByteArray, Picture> &held, double top, double bottom) const
{
    QHash<QByteArray, Picture> out;
    for (size_t i = 0; i < m_needs.size(); ++i) {
        const Need &n = m_needs[i];
        const auto it = held.constFind(m_keys[i]);
        if (it == held.cend() || n.bottom < top || n.top > bottom || it->image.isNull() || !(it->part.width() > 0) ||
            !(it->part.height() > 0))
            continue;
        // The same decode holds the rows needed: its pixels in the whole image cover theirs.
        const QSize s = decodedSize(n);
        const QSizeF made(it->image.width() / it->part.width(), it->image.height() / it->part.height());
        if (std::abs(made.width() - s.width()) > 1 || std::abs(made.height() - s.height()) > 1)
            continue;
        const QRect have(qRound(it->part.x() * s.width()), qRound(it->part.y() * s.height()), it->image.width(),
                         it->image.height());
        if (have.contains(partPixels(s, rowsPart(n, top, bottom, m_byRows))))
            out.insert(m_keys[i], *it);
    }
    return out;
}

QHash<QByteArray, LWExportPictures::Picture> LWExportPictures::held() const
{
    QHash<QByteArray, Picture> out;
    for (auto it = m_byKey.cbegin(); it != m_byKey.cend(); ++it)
        if (size_t(*it) < m_pictures.size() && m_pictures[size_t(*it)])
            out.insert(it.key(), *m_pictures[size_t(*it)]);
    return out;
}

LWExportPictures::Prepared LWExportPictures::make(std::vector<Need> needs, const QHash<QByteArray, Picture> &carried,
                                                  qint64 alsoHeld, const Cancelled &cancelled)
{
    std::shared_ptr<LWExportPictures> set(new LWExportPictures);
    if (needs.empty())
        return {set, {}};
    // Every wait for picture work hears Cancel: the hold's, and each decode's (lent to the threads
    // that decode), which ends a decode that sleeps or spins at once.
    std::optional<LWDecodeWorkers::Cancellable> listening;
    if (cancelled)
        listening.emplace(cancelled);
    std::vector<QByteArray> keys;
    for (size_t i = 0; i < needs.size(); ++i) {
        keys.push_back(LWPictureKey::of(*needs[i].picture.data));
        set->m_byKey.insert(keys.back(), qsizetype(i));
    }
    qint64 total = alsoHeld, work = 0;
    for (size_t i = 0; i < needs.size(); ++i) {
        if (!carried.contains(keys[i]) && fewerRows(needs[i], needs[i].part))
            return {nullptr, notEnoughMemory, true};
        total += heldBytes(needs[i]);
        if (!carried.contains(keys[i]))
            work = std::max(work, workOf(needs[i], needs[i].part).value_or(0));
    }
    // The decodes need room of their own beside what is held.
    if (total + work > LWDecodeBudget::holdLimit())
        return {nullptr, notEnoughMemory, true};
    std::optional<LWDecodeBudget::Reservation> held = LWDecodeBudget::hold(total);
    if (!held && LWDecodeWorkers::Cancellable::heard()) // heard while it waited for room
        return {nullptr, {}, false, true};
    if (!held)
        return {nullptr, notEnoughMemory, true};
    set->m_held->reservation.emplace(std::move(*held));
    set->m_pictures.resize(needs.size());
    std::atomic<bool> short_{false}, refusedBesideHold{false}, stopped{false};
    LWParallel::forEach(int(needs.size()), [&](int i) {
        const Need &n = needs[size_t(i)];
        if (const auto it = carried.constFind(keys[size_t(i)]); it != carried.cend()) {
            set->m_pictures[size_t(i)] = *it; // decoded for the rows before
            return;
        }
        if (stopped || (cancelled && cancelled())) {
            stopped = true;
            return;
        }
        if (!workOf(n, n.part))
            return;
        const LWDecodeBudget::HoldWork work;
        const LWPictureDecoder::Request request = requestOf(n, n.part);
        LWPictureDecoder::Result r = LWImageCache::exportImage(n.picture, request);
        if (stopped || (cancelled && cancelled())) {
            stopped = true;
            return;
        }
        if (r.image) {
            std::optional<Picture> picture;
            if (request.whole()) {
                picture = kept(std::move(*r.image), n, n.part);
            } else {
                picture = Picture{std::move(*r.image), n.upright, LWPictureDecoder::madeRect(n.upright, request).part()};
            }
            std::optional<QImage> image = picture ? drawable(std::move(picture->image)) : std::nullopt;
            if (image) {
                picture->image = std::move(*image);
                set->m_pictures[size_t(i)] = std::move(*picture);
            } else {
                short_ = true;
            }
        } else if (r.failure == LWPictureDecoder::Failure::outOfMemory) {
            short_ = true;
            if (LWDecodeBudget::HoldWork::refusedForHold())
                refusedBesideHold = true; // fewer at a time may fit
        }
    });
    if (stopped)
        return {nullptr, {}, false, true};
    if (short_)
        return {nullptr, notEnoughMemory, refusedBesideHold.load()};
    for (size_t i = 0; i < needs.size(); ++i)
        set->m_byBuffer.insert(needs[i].picture.data->constData(), {*needs[i].picture.data, qsizetype(i)});
    return {set, {}};
}

std::optional<LWExportPictures::Picture> LWExportPictures::find(const LWImage &picture) const
{
    if (!picture.data)
        return std::nullopt;
    const auto byBuffer = m_byBuffer.constFind(picture.data->constData());
    qsizetype at = -1;
    if (byBuffer != m_byBuffer.cend() && byBuffer->first.size() == picture.data->size())
        at = byBuffer->second;
    else
        at = m_byKey.value(LWPictureKey::of(*picture.data), -1);
    if (at < 0 || size_t(at) >= m_pictures.size())
        return std::nullopt;
    return m_pictures[size_t(at)];
}
