#pragma once
// A page drawn in one pass, no band at all: what banded drawing must equal.
#include "render/renderer.h"

#include <QImage>

inline QImage lwDrawnWhole(const LWDocument &doc, double dpi, bool bleed)
{
    const std::optional<LWRenderer::PrintPage> print = LWRenderer::printPage(doc, 0, LWRenderer::DPI{dpi}, bleed);
    if (!print)
        return {};
    QImage single(print->width, print->height, QImage::Format_ARGB32_Premultiplied);
    LWRenderer::paintBands(single, 1, true, print->paint);
    return single;
}
