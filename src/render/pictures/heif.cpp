#include "render/pictures/heif.h"

#include <libheif/heif.h>

#include <algorithm>
#include <memory>

namespace {

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
    if (heif_context_read_from_memory_without_copy(context.get(), bytes.constData(), size_t(bytes.size()), nullptr)
            .code != heif_error_Ok)
        return {};
    heif_image_handle *h = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &h).code != heif_error_Ok)
        return {};
    return Handle(h);
}

} // namespace

namespace LWHeif {

bool isHeif(const QByteArray &bytes)
{
    if (bytes.size() < 12)
        return false;
    const auto *p = reinterpret_cast<const uint8_t *>(bytes.constData());
    return heif_check_filetype(p, int(std::min<qsizetype>(bytes.size(), 1 << 20))) == heif_filetype_yes_supported;
}

std::optional<QSize> size(const QByteArray &bytes)
{
    Context context;
    const Handle h = primary(bytes, context);
    if (!h)
        return std::nullopt;
    return QSize(heif_image_handle_get_width(h.get()), heif_image_handle_get_height(h.get()));
}

std::optional<QImage> decode(const QByteArray &bytes, qint64 maxPixels)
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
    if (heif_decode_image(h.get(), &raw, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr).code !=
        heif_error_Ok)
        return std::nullopt;
    Image img(raw);
    int stride = 0;
    const uint8_t *pixels = heif_image_get_plane_readonly(img.get(), heif_channel_interleaved, &stride);
    const int iw = heif_image_get_width(img.get(), heif_channel_interleaved);
    const int ih = heif_image_get_height(img.get(), heif_channel_interleaved);
    if (!pixels || iw <= 0 || ih <= 0 || stride < iw * 4)
        return std::nullopt;
    // The image keeps the libheif plane it shows, so the pixels are never copied.
    QImage out(pixels, iw, ih, stride, QImage::Format_RGBA8888,
               [](void *owned) { heif_image_release(static_cast<heif_image *>(owned)); }, img.get());
    if (out.isNull())
        return std::nullopt;
    (void)img.release();
    return out;
}

} // namespace LWHeif
