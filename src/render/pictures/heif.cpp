#include "render/pictures/heif.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr int maxSide = 32768;

// Brands whose images libheif decodes, when a file names only a generic major brand.
bool decodableBrand(const uint8_t *p, int size)
{
    for (const char *brand : {"heic", "heix", "heim", "heis"})
        if (heif_has_compatible_brand(p, size, brand) == 1)
            return true;
    return heif_has_compatible_brand(p, size, "avif") == 1 && LWHeif::readsAvif();
}

void initOnce()
{
    // Registers the decoder plugins; never undone, the process keeps them to the end.
    static const bool ready = [] {
        heif_init(nullptr);
        return true;
    }();
    (void)ready;
}

struct ContextFree {
    void operator()(heif_context *c) const { heif_context_free(c); }
};
struct HandleFree {
    void operator()(heif_image_handle *h) const { heif_image_handle_release(h); }
};
struct ImageFree {
    void operator()(heif_image *i) const { heif_image_release(i); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<heif_image_handle, HandleFree>;
using Image = std::unique_ptr<heif_image, ImageFree>;

// The primary image's handle. The context reads `bytes` in place: both must outlive the handle.
Handle primary(const QByteArray &bytes, Context &context)
{
    if (!LWHeif::isHeif(bytes))
        return {};
    initOnce();
    context.reset(heif_context_alloc());
    if (!context)
        return {};
    // The library checks declared sizes and grid canvases against this; what the bitstreams
    // hold is checked by LWHeifContainer before any decode.
    heif_context_set_maximum_image_size_limit(context.get(), maxSide);
    // Grid tiles decode one after another on the calling thread: one core, one tile's memory.
    heif_context_set_max_decoding_threads(context.get(), 0);
    if (heif_context_read_from_memory_without_copy(context.get(), bytes.constData(), size_t(bytes.size()), nullptr)
            .code != heif_error_Ok)
        return {};
    heif_image_handle *h = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &h).code != heif_error_Ok)
        return {};
    return Handle(h);
}

std::optional<QImage> decodeOrThrow(const QByteArray &bytes, qint64 maxPixels, bool *outOfMemory);

} // namespace

namespace LWHeif {

bool isHeif(const QByteArray &bytes)
{
    if (bytes.size() < 12)
        return false;
    const auto *p = reinterpret_cast<const uint8_t *>(bytes.constData());
    const int size = int(std::min<qsizetype>(bytes.size(), 1 << 20));
    switch (heif_check_filetype(p, size)) {
    case heif_filetype_yes_supported:
        return true;
    case heif_filetype_maybe: { // a generic major brand: its compatible brands tell
        if (std::memcmp(p + 4, "ftyp", 4) != 0)
            return false;
        const heif_brand2 major = heif_read_main_brand(p, size);
        return (major == heif_fourcc_to_brand("mif1") || major == heif_fourcc_to_brand("msf1")) &&
               decodableBrand(p, size);
    }
    default:
        return false;
    }
}

bool readsAvif()
{
    initOnce();
    static const bool reads = heif_have_decoder_for_format(heif_compression_AV1) != 0;
    return reads;
}

std::optional<Primary> primaryOf(const QByteArray &bytes)
{
    Context context;
    const Handle h = primary(bytes, context);
    if (!h)
        return std::nullopt;
    const int bits = heif_image_handle_get_luma_bits_per_pixel(h.get());
    return Primary{QSize(heif_image_handle_get_width(h.get()), heif_image_handle_get_height(h.get())),
                   bits > 0 && bits <= 8 ? decoderBytesPerPixel : deepDecoderBytesPerPixel,
                   heif_image_handle_has_alpha_channel(h.get()) != 0};
}

std::optional<QImage> decode(const QByteArray &bytes, qint64 maxPixels, bool *outOfMemory)
{
    try {
        return decodeOrThrow(bytes, maxPixels, outOfMemory);
    } catch (const std::bad_alloc &) { // libheif's C++ inside lets it through
        if (outOfMemory)
            *outOfMemory = true;
        return std::nullopt;
    }
}

} // namespace LWHeif

namespace {

std::optional<QImage> decodeOrThrow(const QByteArray &bytes, qint64 maxPixels, bool *outOfMemory)
{
    Context context;
    const Handle h = primary(bytes, context);
    if (!h)
        return std::nullopt;
    const int w = heif_image_handle_get_width(h.get());
    const int hh = heif_image_handle_get_height(h.get());
    if (w <= 0 || hh <= 0 || qint64(w) * hh > maxPixels)
        return std::nullopt;
    heif_image *raw = nullptr;
    const heif_error decoded =
        heif_decode_image(h.get(), &raw, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr);
    if (decoded.code != heif_error_Ok) {
        if (outOfMemory && decoded.code == heif_error_Memory_allocation_error)
            *outOfMemory = true;
        return std::nullopt;
    }
    Image img(raw);
    int stride = 0;
    const uint8_t *pixels = heif_image_get_plane_readonly(img.get(), heif_channel_interleaved, &stride);
    const int iw = heif_image_get_width(img.get(), heif_channel_interleaved);
    const int ih = heif_image_get_height(img.get(), heif_channel_interleaved);
    // What was made is what was declared and reserved for, or it is no picture of ours.
    if (!pixels || iw != w || ih != hh || stride < iw * 4)
        return std::nullopt;
    // The image keeps the libheif plane it shows, so the pixels are never copied.
    const bool alpha = heif_image_handle_has_alpha_channel(h.get()) != 0;
    QImage out(pixels, iw, ih, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888,
               [](void *owned) { heif_image_release(static_cast<heif_image *>(owned)); }, img.get());
    if (out.isNull())
        return std::nullopt;
    (void)img.release();
    return out;
}

} // namespace
