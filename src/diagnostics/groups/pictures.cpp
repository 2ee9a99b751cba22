#include "diagnostics/selftestaids.h"
#include "diagnostics/selftestgroups.h"
#include "render/preflight.h"
#include "render/renderer.h"

namespace LWSelfTest {

namespace {

// The element alone on a blank Letter page, one pixel per point, trim only, on white.
std::optional<Pixels> render(const LWElement &element)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    doc.pages[0].elements = {element};
    const std::optional<QImage> image = LWRenderer::bitmap(doc, 0, 1, false, true);
    return image ? std::optional<Pixels>(Pixels(*image)) : std::nullopt;
}

// Whether the element renders and every sample of the image passes.
template <class Pred> bool rendered(const std::optional<LWElement> &element, Pred pred)
{
    if (!element || !element->image || !element->image->data)
        return false;
    const std::optional<Pixels> image = render(*element);
    return image && pred(*image);
}

} // namespace

void pictures(LWTestRun &run)
{
    run.begin(QStringLiteral("Pictures: place, fill a frame, crop, fit, mask, sharpness"));

    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    doc.pages[0].elements = {LWElement::makePhoto(LWRect(100, 100, 200, 100), LWMask::none, 0)};
    const std::unique_ptr<LWEditor> ed = editor(doc);
    const QByteArray photo = samplePNG(900, 600);

    (void)ed->placeImage(photo, QPointF(150, 150));
    const std::optional<LWElement> filled =
        ed->elements().isEmpty() ? std::nullopt : std::optional<LWElement>(ed->elements().first());
    run.check(!photo.isEmpty() && ed->elements().size() == 1 && filled->image && filled->image->data == photo,
              QStringLiteral("dropping a picture on an empty photo frame fills that frame"));
    const std::optional<double> dpi = filled ? LWExport::effectiveDPI(*filled) : std::nullopt;
    run.check(dpi && close(*dpi, 324, 1.0),
              QStringLiteral("sharpness read-out: 900 px across a 200 pt (2.78 in) frame filled = 324 DPI"));

    ed->setSelection({});
    (void)ed->placeImage(photo, QPointF(400, 600));
    const std::optional<LWElement> placed =
        ed->elements().isEmpty() ? std::nullopt : std::optional<LWElement>(ed->elements().last());
    run.check(ed->elements().size() == 2 && close(placed->frame.width(), 216) && close(placed->frame.height(), 144),
              QStringLiteral("a new picture comes in at its 300 DPI print size (900 \u00D7 600 px = 3 \u00D7 2 in)"));

    // A copy of the new picture, changed step by step; the design keeps its own.
    std::optional<LWElement> n = placed;
    const bool hasPicture = n && n->image;
    if (n)
        n->frame = LWRect(0, 0, 300, 200);
    run.check(rendered(n, [](const Pixels &p) { return pixel(p, 20, 100).r > 0.8 && pixel(p, 280, 100).b > 0.8; }),
              QStringLiteral("picture draws upright: red half on the left, blue half on the right"));
    if (hasPicture)
        n->image->cropL = 0.5;
    run.check(hasPicture && rendered(n, [](const Pixels &p) { return pixel(p, 20, 100).b > 0.8; }),
              QStringLiteral("crop left 50%: only the blue half is left"));
    if (hasPicture) {
        n->image->cropL = 0;
        n->image->mask = LWMask::ellipse;
    }
    run.check(hasPicture && rendered(n,
                                     [](const Pixels &p) {
                                         const Sample middle = pixel(p, 150, 100);
                                         return isWhite(pixel(p, 3, 3)) && middle.r + middle.b > 0.8;
                                     }),
              QStringLiteral("circle mask: corners are cut away, the middle shows"));
    if (hasPicture) {
        n->image->mask = LWMask::none;
        n->image->fit = LWImageFit::fit;
        n->frame = LWRect(0, 0, 300, 300);
    }
    run.check(hasPicture && rendered(n,
                                     [](const Pixels &p) {
                                         return isWhite(pixel(p, 150, 10)) && pixel(p, 20, 150).r > 0.8;
                                     }),
              QStringLiteral("\"Show it all\": the whole picture fits inside, with space above and below"));

    run.check(!ed->placeImage(QByteArrayLiteral("not a picture")),
              QStringLiteral("a file that isn't a picture is refused with a message"));
}

} // namespace LWSelfTest
