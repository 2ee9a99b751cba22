#pragma once
// Sample pictures and page parts shared by the renderer tests and the export benchmark: a
// landscape photo at any size, the photo-topped "Harvest Market" flyer's recurring pieces, and
// posters whose export is mostly one large element.
#include "model/document.h"

#include <QBuffer>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>

namespace LWSamplePages {

// A sky fading to sand behind a dark green hill whose size follows the picture's.
inline QImage landscape(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(0x2E, 0x6F, 0xA8));
    sky.setColorAt(1, QColor(0xF2, 0xC1, 0x7D));
    p.fillRect(img.rect(), sky);
    p.setBrush(QColor(0x1F, 0x3D, 0x2B));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(w / 2.0, h * 31 / 24.0), w * 21 / 32.0, h * 5 / 8.0);
    return img;
}

// Red for `edge` pixels from every side, blue inside: a pixel at the picture's edge drawn with
// any of the middle's colour shows it in its blue.
inline QImage redEdged(int w, int h, int edge = 200)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(255, 0, 0));
    QPainter(&img).fillRect(QRect(edge, edge, w - 2 * edge, h - 2 * edge), QColor(0, 0, 255));
    return img;
}

// Colours that change smoothly across and down, no edge inside: any filter draws its middle alike,
// and its edge is unlike its far side.
inline QImage smooth(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = qRgb(40 + 200 * x / w, 30 + 190 * y / h, 230 - 150 * x / w);
    }
    return img;
}

inline QByteArray encoded(const QImage &img, const char *format = "png", int quality = -1)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QImageWriter writer(&buf, format);
    writer.setQuality(quality);
    writer.write(img);
    return bytes;
}

// The Letter flyer's top: a photo across the bleed and the white title at its foot.
inline void appendMasthead(QList<LWElement> &els, const QByteArray &photo, const QString &assetID, double cropTop = 0)
{
    LWElement hero = LWElement::makePhoto({-9, -9, 630, 340});
    hero.image->data = photo;
    hero.image->assetID = assetID;
    hero.image->cropT = cropTop;
    els.append(hero);
    LWText title(QStringLiteral("Harvest Market"), QStringLiteral("BebasNeue-Regular"), 72, LWColor::white, 40, 1,
                 LWTextAlign::center, LWVAlign::bottom);
    els.append(LWElement::makeText(title, {36, 200, 540, 110}));
}

// A dashed rounded box from `top` down holding the wheat icon and the market's place.
inline void appendSign(QList<LWElement> &els, double top, double height, const LWFill &fill)
{
    const LWColor brown = LWColor::hex(0x8A5A44);
    els.append(LWElement::makeShape(LWShapeKind::rectangle, {54, top, 504, height}, fill, LWStroke(brown, 3, 9), 18));
    els.append(LWElement::makeIcon(QStringLiteral("wheat"), {70, top + 20, 80, 80}, LWFill::solid(brown)));
    LWText where(QStringLiteral("Old Mill Square"), QStringLiteral("Allura-Regular"), 40, brown, 0, 1, LWTextAlign::left,
                 LWVAlign::middle);
    els.append(LWElement::makeText(where, {170, top + 20, 370, 80}));
}

// A 36 x 24 in poster with a 0.125 in bleed and a dozen plain shapes: a page whose export is
// all bands and little else (the long export's test and benchmark).
inline LWDocument shapePoster()
{
    LWDocument doc = LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 2592, 1728, 18,
                                       QStringLiteral("Poster"));
    doc.bleed = 9;
    doc.pages[0].background = LWFill::solid(LWColor::hex(0x204060));
    for (int i = 0; i < 12; ++i)
        doc.pages[0].elements.append(LWElement::makeShape(
            i % 2 ? LWShapeKind::ellipse : LWShapeKind::rectangle, LWRect(100 + i * 190, 200 + i * 90, 400, 300),
            LWFill::solid(LWColor::hex(0xE0A020 + i * 0x100010)), std::nullopt, 0, QStringLiteral("Shape %1").arg(i)));
    return doc;
}

// The 36 x 24 in poster with a 0.125 in bleed, holding `elements` on white.
inline LWDocument posterOf(const QList<LWElement> &elements)
{
    LWDocument doc = LWDocument::blank(LWDocKind::custom, QStringLiteral("custom"), 2592, 1728, 9,
                                       QStringLiteral("Poster"));
    doc.bleed = 9;
    doc.pages[0].elements = elements;
    return doc;
}

// One large element of the poster, as a user draws it: a 9 in shape of `kind` (upright, solid)
// at `x` across, or (wide) 21.67 x 16.25 in in the middle of the poster, turned `degrees`;
// with an outline `outline` points wide when above 0.
inline LWElement posterShape(LWShapeKind kind, double outline, bool wide = false, double degrees = 0,
                             double x = 972)
{
    const LWRect frame = wide ? LWRect(516, 279, 1560, 1170) : LWRect(x, 540, 648, 648);
    std::optional<LWStroke> stroke;
    if (outline > 0)
        stroke = LWStroke(LWColor::hex(0x1F3A5F), outline);
    LWElement e = LWElement::makeShape(kind, frame, LWFill::solid(LWColor::hex(0xE8A33D)), stroke);
    e.rotation = degrees;
    return e;
}

// A Letter flyer holding one unfilled shape in its middle, 300 pt across, with a dashed outline
// `width` points wide: a triangle, or a star of `points` points. A design file may hold any finite
// width, far past the inspector's 24 pt.
inline LWDocument wideOutline(double width, int points = 0, double dash = 9)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Wide outline"));
    LWElement e =
        LWElement::makeShape(points ? LWShapeKind::star : LWShapeKind::triangle, LWRect(156, 246, 300, 300),
                             LWFill::none(), LWStroke(LWColor::hex(0x1F3A5F), width, dash));
    if (points)
        e.sides = points;
    doc.pages[0].elements.append(e);
    return doc;
}

// A Letter flyer holding one unfilled 300-pt shape with a dashed outline `width` points wide
// (`dash` points), in the page's middle or centred on its top-left corner: a triangle, a
// 7-point star, an ellipse, a rectangle with rounded corners or a smooth closed path.
enum class WideShape { triangle, star, ellipse, rounded, smooth };
inline LWDocument wideShape(WideShape kind, double width, double dash, bool corner = false)
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt, QStringLiteral("Wide outline"));
    const LWRect frame = corner ? LWRect(-150, -150, 300, 300) : LWRect(156, 246, 300, 300);
    const LWStroke stroke(LWColor::hex(0x1F3A5F), width, dash);
    LWElement e = kind == WideShape::smooth
                      ? LWElement::makePath({{0.5, 0}, {1, 0.3}, {0.8, 1}, {0.3, 0.9}, {0, 0.4}}, frame,
                                            LWFill::none(), true, std::nullopt)
                      : LWElement::makeShape(kind == WideShape::triangle ? LWShapeKind::triangle
                                             : kind == WideShape::star   ? LWShapeKind::star
                                             : kind == WideShape::ellipse ? LWShapeKind::ellipse
                                                                          : LWShapeKind::rectangle,
                                             frame, LWFill::none(), stroke, kind == WideShape::rounded ? 60 : 0);
    e.stroke = stroke;
    e.sides = 7;
    doc.pages[0].elements.append(e);
    return doc;
}

} // namespace LWSamplePages
