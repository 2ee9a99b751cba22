#pragma once
#include "model/document.h"

#include <QRandomGenerator>

// Designs used by the file tests and as the fuzzer's seed corpus.
namespace LWSamples {

inline QByteArray pictureBytes(qsizetype size, quint32 seed = 7)
{
    QByteArray b(size, Qt::Uninitialized);
    QRandomGenerator rng(seed);
    for (char &c : b)
        c = char(rng.bounded(256));
    return b;
}

// Every kind of element, every optional part, strings with "/" and non-ASCII text, a group
// within a group, an element that lacks every optional part, guides and a template id.
inline LWDocument rich(qsizetype pictureSize = 3000)
{
    LWDocument d = LWDocument::blank(LWSizePreset::usCard, std::nullopt, QStringLiteral("Caf\u00e9 / Bar \"No. 1\""));
    d.templateID = QStringLiteral("cards/bold-stripe");
    d.created = 1700000000;
    d.modified = 1700000123.5;
    d.guides = {{QUuid::createUuid(), true, 126}, {QUuid::createUuid(), false, -4.25}};

    LWPage &front = d.pages[0];
    front.background = LWFill::linear(LWColor::hex(0x102030), LWColor(0.5, 0.25, 1, 0.5), 33.3);
    front.elements.append(LWElement::makeShape(LWShapeKind::rectangle, {-9, -9, 270, 40}, LWFill::solid(LWColor::hex(0xFF8800)),
                                               LWStroke(LWColor::black, 1.5, 4), 6, QStringLiteral("Band")));
    LWText t(QStringLiteral("Anna K\u00f6nig\nhttps://example.org/a"), QStringLiteral("Lato-Bold"), 10.5,
             LWColor::hex(0x222222), -12, 1.2, LWTextAlign::center, LWVAlign::middle, true, false, true);
    front.elements.append(LWElement::makeText(t, {18, 50, 200, 40}));
    LWElement photo = LWElement::makePhoto({180, 20, 60, 60}, LWMask::hexagon, 3);
    photo.image->data = pictureBytes(pictureSize);
    photo.image->cropL = 0.1;
    photo.image->cropB = 0.05;
    photo.image->fit = LWImageFit::fit;
    photo.rotation = -12.5;
    photo.opacity = 0.75;
    front.elements.append(photo);
    front.elements.append(LWElement::makeIcon(QStringLiteral("phone"), {18, 110, 12, 12}, LWFill::solid(LWColor::hex(0x0066CC))));

    LWElement line = LWElement::makeLine({18, 100}, {234, 100}, LWStroke(LWColor::hex(0x999999), 0.5, 0));
    LWElement path = LWElement::makePath({{0, 0}, {1, 0.25}, {0.5, 1}}, {150, 100, 40, 30},
                                         LWFill::radial(LWColor::white, LWColor::black), true, QList<qint64>{0, 2});
    path.locked = true;
    LWElement inner(LWElementKind::group, QStringLiteral("Inner"), {150, 95, 90, 35});
    inner.children = QList<LWElement>{line, path};
    LWElement outer(LWElementKind::group, QStringLiteral("Outer"), {18, 95, 222, 35});
    outer.hidden = true;
    outer.children = QList<LWElement>{inner, LWElement::makeShape(LWShapeKind::star, {20, 96, 10, 10},
                                                                  LWFill::solid(LWColor::clear), std::nullopt)};
    front.elements.append(outer);
    // A bare element: no points, corners, stroke, text, image, icon or children.
    front.elements.append(LWElement(LWElementKind::shape, QString(), {0, 0, 0, 0}));

    d.pages[1].elements.append(LWElement::makeShape(LWShapeKind::ellipse, {100, 50, 52, 44},
                                                    LWFill::solid(LWColor(1, 0, 0, 0.3)), std::nullopt));
    return d;
}

// Groups nested `levels` deep (the outermost is level 1); the innermost holds a full element.
inline LWDocument nested(int levels)
{
    LWDocument d = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    const LWDocument r = rich(16);
    LWElement e = r.pages[0].elements[2]; // the photo
    e.stroke = LWStroke(LWColor::black, 1, 0);
    e.text = r.pages[0].elements[1].text;
    e.points = QList<QPointF>{{0, 0}, {1, 1}};
    for (int i = 1; i < levels; ++i) {
        LWElement g(LWElementKind::group, QStringLiteral("Group %1").arg(i), {0, 0, 10, 10});
        g.children = QList<LWElement>{e};
        e = g;
    }
    d.pages[0].elements = {e};
    return d;
}

} // namespace LWSamples
