#pragma once
// A page drawn in one pass, no band at all: what banded drawing must equal.
#include "render/renderer.h"

#include <QImage>

// With `options`, from an export's own pictures, say.
inline QImage lwDrawnWhole(const LWDocument &doc, double dpi, bool bleed, const LWRenderOptions &options = {})
{
    const std::optional<LWRenderer::PrintPage> print =
        LWRenderer::printPage(doc, 0, LWRenderer::DPI{dpi}, bleed, options);
    if (!print)
        return {};
    QImage single(print->width, print->height, QImage::Format_ARGB32_Premultiplied);
    LWRenderer::paintBands(single, 1, true, print->paint);
    return single;
}
