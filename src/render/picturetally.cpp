#include "render/picturetally.h"

#include "model/element.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/picturedecoder.h"
#include "render/pictures/picturekey.h"

#include <QStringList>

void LWPictureTally::drew(const LWElement &element, bool placeholder)
{
    if (!element.image || !element.image->data)
        return; // an empty frame is the print check's, not a picture left out
    QMutexLocker guard(&m_lock);
    if (const auto it = m_byElement.constFind(element.id); it != m_byElement.cend()) {
        m_drawn[*it].placeholder = m_drawn[*it].placeholder || placeholder;
        return;
    }
    m_byElement.insert(element.id, m_drawn.size());
    m_drawn.append({element.id, element.name, *element.image, placeholder});
}

void LWPictureTally::leftOut(const QSet<QByteArray> &keys)
{
    QMutexLocker guard(&m_lock);
    m_leftOut.unite(keys);
}

QList<LWPictureTally::Undrawn> LWPictureTally::undrawn() const
{
    QList<Drawn> drawn;
    QSet<QByteArray> leftOut;
    {
        QMutexLocker guard(&m_lock);
        drawn = m_drawn;
        leftOut = m_leftOut;
    }
    using Drawn = LWImageCache::Drawn;
    QList<Undrawn> out;
    for (const LWPictureTally::Drawn &d : drawn) {
        const std::optional<Drawn> known = LWImageCache::remembered(d.picture);
        if (!d.placeholder) {
            if (known == Drawn::partial)
                out.append({d.element, d.name, Why::partial});
            continue;
        }
        Why why = Why::notNow;
        if (known == Drawn::unreadable || known == Drawn::tooLarge) {
            why = known == Drawn::unreadable ? Why::unreadable : Why::tooLarge;
        } else if (!leftOut.isEmpty() && leftOut.contains(LWPictureKey::of(*d.picture.data))) {
            why = Why::tooLarge;
        } else {
            // Left out before any decode (too large for the budget) or refused by the checks.
            const LWPictureDecoder::Failure checked = LWPictureDecoder::check(*d.picture.data, {});
            if (checked == LWPictureDecoder::Failure::unreadable)
                why = Why::unreadable;
            else if (checked == LWPictureDecoder::Failure::tooLarge)
                why = Why::tooLarge;
        }
        out.append({d.element, d.name, why});
    }
    return out;
}

namespace {

// What follows the picture's name in its sentence.
QString consequence(LWPictureTally::Why why)
{
    switch (why) {
    case LWPictureTally::Why::notNow:
        return QStringLiteral(" couldn't be drawn this time, so a placeholder is in its place. Export again to try once "
                              "more.");
    case LWPictureTally::Why::unreadable:
        return QStringLiteral(" can't be read, so a placeholder is in its place. Place the picture again.");
    case LWPictureTally::Why::tooLarge:
        return QStringLiteral(" is too large to draw, so a placeholder is in its place. Place a smaller copy of it.");
    case LWPictureTally::Why::partial:
        break;
    }
    return QStringLiteral(" is cut off or damaged: only part of it was drawn. Place the picture again.");
}

} // namespace

QString LWPictureTally::describe(const QList<Undrawn> &undrawn)
{
    QStringList sentences;
    for (const Undrawn &u : undrawn)
        sentences.append(QStringLiteral("Picture \"") + u.name + QLatin1Char('"') + consequence(u.why));
    return sentences.join(u'\n');
}
