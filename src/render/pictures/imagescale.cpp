#include "render/pictures/imagescale.h"

#include "render/parallel.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Weights in 14 bits: a source row of 8-bit channels sums into 8.8 bits, a column of those into
// 32 bits without overflow.
constexpr int weightBits = 14;
constexpr qint64 one = qint64(1) << weightBits;

// The source pixels of target pixels [from, to) on one axis of `s` source and `t` target pixels:
// target i covers [i s/t, (i + 1) s/t) of the source, so every window reads the same pixels with
// the same weights as the whole does.
struct Axis {
    std::vector<int> first;   // first source pixel of each target pixel
    std::vector<int> at;      // where its weights start in `weights`
    std::vector<int> count;   // how many source pixels it reads
    std::vector<quint16> weights;
    int most = 0;             // the most source pixels one target pixel reads
};

// The first and last source pixel target i reads.
std::pair<qint64, qint64> span(qint64 s, qint64 t, qint64 i)
{
    return {i * s / t, ((i + 1) * s - 1) / t};
}

Axis axis(int s, int t, int from, int to)
{
    Axis a;
    const int n = std::max(0, to - from);
    a.first.resize(size_t(n));
    a.at.resize(size_t(n));
    a.count.resize(size_t(n));
    for (int k = 0; k < n; ++k) {
        const qint64 i = from + k;
        const auto [first, last] = span(s, t, i);
        a.first[size_t(k)] = int(first);
        a.at[size_t(k)] = int(a.weights.size());
        a.count[size_t(k)] = int(last - first + 1);
        a.most = std::max(a.most, a.count[size_t(k)]);
        // Weights from rounded cumulative positions: they sum to exactly `one`.
        const auto rounded = [&](qint64 c) { return (c * one + s / 2) / s; };
        for (qint64 p = first; p <= last; ++p) {
            const qint64 lo = std::max(p * t, i * s) - i * s, hi = std::min((p + 1) * t, (i + 1) * s) - i * s;
            a.weights.push_back(quint16(rounded(hi) - rounded(lo)));
        }
    }
    return a;
}

// A source row as 32-bit pixels (premultiplied, or opaque RGB32) from column `x` on, `width` long.
class RowReader {
public:
    RowReader(const QImage &source, bool alpha) : m_source(source), m_alpha(alpha)
    {
        const QImage::Format f = source.format();
        m_direct = f == QImage::Format_RGB32 || f == QImage::Format_ARGB32_Premultiplied;
    }
    const quint32 *row(int y, int x, int width)
    {
        if (m_direct)
            return reinterpret_cast<const quint32 *>(m_source.constScanLine(y)) + x;
        if (m_source.format() == QImage::Format_ARGB32) {
            m_row.resize(size_t(width));
            const QRgb *in = reinterpret_cast<const QRgb *>(m_source.constScanLine(y)) + x;
            for (int i = 0; i < width; ++i)
                m_row[size_t(i)] = qPremultiply(in[i]);
            return m_row.data();
        }
        // Any other format through Qt's own conversion, one row at a time.
        QImage line(m_source.constScanLine(y), m_source.width(), 1, m_source.bytesPerLine(), m_source.format());
        if (m_source.format() == QImage::Format_Indexed8 || m_source.depth() < 8)
            line.setColorTable(m_source.colorTable());
        m_converted = line.convertToFormat(m_alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        if (m_converted.isNull())
            return nullptr;
        return reinterpret_cast<const quint32 *>(m_converted.constScanLine(0)) + x;
    }

private:
    const QImage &m_source;
    bool m_alpha = false, m_direct = false;
    std::vector<quint32> m_row;
    QImage m_converted;
};

constexpr int down = weightBits - 8; // from 8.14 to 8.8 bits

// One source row brought to the target's columns: four 8.8-bit channels a pixel.
void across(const quint32 *in, int x0, const Axis &a, quint16 *out)
{
    const size_t n = a.first.size();
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi32(1 << (down - 1));
    const __m128i signBias = _mm_set1_epi32(0x8000), unbias = _mm_set1_epi16(short(0x8000));
    for (size_t k = 0; k < n; ++k) {
        const quint32 *p = in + (a.first[k] - x0);
        const quint16 *w = a.weights.data() + a.at[k];
        __m128i sum = zero;
        for (int j = 0; j < a.count[k]; ++j) {
            const __m128i px = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(p[j])), zero), zero);
            sum = _mm_add_epi32(sum, _mm_madd_epi16(px, _mm_set1_epi32(w[j])));
        }
        sum = _mm_srli_epi32(_mm_add_epi32(sum, half), down);
        // Up to 65,280: packed through the signed range and back.
        const __m128i packed = _mm_xor_si128(_mm_packs_epi32(_mm_sub_epi32(sum, signBias), zero), unbias);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + 4 * k), packed);
    }
#else
    for (size_t k = 0; k < n; ++k) {
        const quint32 *p = in + (a.first[k] - x0);
        const quint16 *w = a.weights.data() + a.at[k];
        quint32 sum[4] = {};
        for (int j = 0; j < a.count[k]; ++j)
            for (int c = 0; c < 4; ++c)
                sum[c] += quint32(w[j]) * ((p[j] >> (8 * c)) & 0xff);
        for (int c = 0; c < 4; ++c)
            out[4 * k + c] = quint16((sum[c] + (1u << (down - 1))) >> down);
    }
#endif
}

// One target row from the rows brought across that it reads, by their weights.
void downRow(const quint16 *const *lines, const quint16 *w, int count, int width, bool alpha, quint32 *out)
{
    constexpr int shift = weightBits + 8;
    int k = 0;
#if defined(__SSE2__)
    const __m128i half = _mm_set1_epi32(1 << (shift - 1));
    const __m128i opaque = _mm_set1_epi32(alpha ? 0 : int(0xff000000u));
    for (; k + 2 <= width; k += 2) {
        __m128i lo = _mm_setzero_si128(), hi = _mm_setzero_si128();
        for (int j = 0; j < count; ++j) {
            const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i *>(lines[j] + 4 * k));
            const __m128i wj = _mm_set1_epi16(short(w[j]));
            const __m128i pl = _mm_mullo_epi16(h, wj), ph = _mm_mulhi_epu16(h, wj);
            lo = _mm_add_epi32(lo, _mm_unpacklo_epi16(pl, ph));
            hi = _mm_add_epi32(hi, _mm_unpackhi_epi16(pl, ph));
        }
        lo = _mm_srli_epi32(_mm_add_epi32(lo, half), shift);
        hi = _mm_srli_epi32(_mm_add_epi32(hi, half), shift);
        const __m128i px = _mm_packus_epi16(_mm_packs_epi32(lo, hi), _mm_setzero_si128());
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + k), _mm_or_si128(px, opaque));
    }
#endif
    for (; k < width; ++k) {
        quint32 sum[4] = {};
        for (int j = 0; j < count; ++j)
            for (int c = 0; c < 4; ++c)
                sum[c] += quint32(w[j]) * lines[j][4 * k + c];
        const auto c = [&](int i) { return std::min<quint32>(255, (sum[i] + (1u << (shift - 1))) >> shift); };
        out[k] = c(0) | c(1) << 8 | c(2) << 16 | (alpha ? c(3) : 255u) << 24;
    }
}

// Blocks of target rows made apart, each bringing its own source rows across: a few per core,
// none of fewer than 32 rows.
int blocksOf(int rows) { return std::clamp(rows / 32, 1, 4 * LWParallel::workers()); }

} // namespace

namespace LWImageScale {

QRect reach(QSize from, QSize to, const QRect &held)
{
    if (from.isEmpty() || to.isEmpty() || held.isEmpty())
        return {};
    const auto x0 = span(from.width(), to.width(), held.left()).first;
    const auto x1 = span(from.width(), to.width(), held.right()).second;
    const auto y0 = span(from.height(), to.height(), held.top()).first;
    const auto y1 = span(from.height(), to.height(), held.bottom()).second;
    return QRect(QPoint(int(x0), int(y0)), QPoint(int(x1), int(y1))).intersected(QRect(QPoint(0, 0), from));
}

qint64 scratch(QSize from, QSize to, const QRect &held)
{
    if (from.isEmpty() || to.isEmpty() || held.isEmpty())
        return 0;
    // Each block at work at once: its rows brought across (as many as one target row reads and
    // one), a source row converted; the axes' tables once.
    const auto most = [](int s, int t) { return qint64(s + t - 1) / t + 1; };
    const qint64 perBlock = (most(from.height(), to.height()) + 1) * held.width() * 8 + qint64(from.width()) * 4;
    const qint64 tables = held.width() * (12 + 2 * most(from.width(), to.width())) +
                          held.height() * (12 + 2 * most(from.height(), to.height()));
    return perBlock * std::min(blocksOf(held.height()), LWParallel::workers()) + tables;
}

std::optional<QImage> scaled(const QImage &source, QPoint at, QSize from, QSize to, const QRect &held)
{
    if (source.isNull() || from.isEmpty() || to.isEmpty() || held.isEmpty() ||
        !QRect(QPoint(0, 0), to).contains(held))
        return std::nullopt;
    const QRect need = reach(from, to, held);
    if (!QRect(at, source.size()).contains(need))
        return std::nullopt;
    const bool alpha = source.hasAlphaChannel();
    QImage out(held.size(), alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (out.isNull())
        return std::nullopt;
    const Axis columns = axis(from.width(), to.width(), held.left(), held.left() + held.width());
    const Axis rowsOf = axis(from.height(), to.height(), held.top(), held.top() + held.height());
    const int x0 = need.left() - at.x(), width = need.width();
    const int rows = held.height();
    const int blocks = blocksOf(rows);
    std::atomic<bool> failed{false};
    LWParallel::forEach(blocks, [&](int b) {
        const int r0 = int(qint64(rows) * b / blocks), r1 = int(qint64(rows) * (b + 1) / blocks);
        const int slots = rowsOf.most + 1;
        std::vector<quint16> ring;
        std::vector<int> holds(size_t(slots), -1);
        try {
            ring.resize(size_t(slots) * size_t(held.width()) * 4);
        } catch (const std::bad_alloc &) {
            failed = true;
            return;
        }
        RowReader reader(source, alpha);
        std::vector<const quint16 *> lines(static_cast<size_t>(slots));
        for (int r = r0; r < r1; ++r) {
            const int count = rowsOf.count[size_t(r)];
            for (int j = 0; j < count; ++j) {
                const int y = rowsOf.first[size_t(r)] + j;
                const size_t slot = size_t(y % slots);
                quint16 *line = ring.data() + slot * size_t(held.width()) * 4;
                if (holds[slot] != y) {
                    const quint32 *in = reader.row(y - at.y(), x0, width);
                    if (!in) {
                        failed = true;
                        return;
                    }
                    across(in, need.left(), columns, line);
                    holds[slot] = y;
                }
                lines[size_t(j)] = line;
            }
            downRow(lines.data(), rowsOf.weights.data() + rowsOf.at[size_t(r)], count, held.width(), alpha,
                    reinterpret_cast<quint32 *>(out.scanLine(r)));
        }
    });
    if (failed)
        return std::nullopt;
    return out;
}

} // namespace LWImageScale
