#include "render/picturetally.h"

#include "model/element.h"
#include "model/info.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/picturedecoder.h"
#include "render/pictures/picturekey.h"
#include "render/worker/decodeworkers.h"

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
            else if (const auto trouble = LWDecodeWorkers::trouble(); trouble != LWPictureDecoder::Failure::none)
                why = trouble == LWPictureDecoder::Failure::decoderMissing ? Why::decoderMissing : Why::decoderUnsafe;
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
    case LWPictureTally::Why::decoderMissing:
    case LWPictureTally::Why::decoderUnsafe:
        break;
    }
    return QStringLiteral(" is cut off or damaged: only part of it was drawn. Place the picture again.");
}

} // namespace

QString LWPictureTally::describe(const QList<Undrawn> &undrawn)
{
    QStringList sentences, missing, unsafe;
    for (const Undrawn &u : undrawn) {
        const QString name = QLatin1Char('"') + u.name + QLatin1Char('"');
        if (u.why == Why::decoderMissing || u.why == Why::decoderUnsafe)
            (u.why == Why::decoderMissing ? missing : unsafe).append(name);
        else
            sentences.append(QStringLiteral("Picture ") + name + consequence(u.why));
    }
    // Told once: no picture can be drawn, whichever it is.
    const auto inPlaceOf = [](QStringList names) {
        const QString last = names.takeLast();
        return (names.isEmpty() ? QStringLiteral("a placeholder is in the place of ")
                                : QStringLiteral("placeholders are in the place of ") + names.join(QStringLiteral(", ")) +
                                      QStringLiteral(" and ")) +
               last;
    };
    if (!missing.isEmpty())
        sentences.append(LWInfo::appName + QStringLiteral("'s picture decoder is missing or can't start, so ") +
                         inPlaceOf(missing) + QStringLiteral(". Reinstall ") + LWInfo::appName +
                         QStringLiteral(" to mend it."));
    if (!unsafe.isEmpty())
        sentences.append(QStringLiteral("Pictures can't be shown safely on this system: ") + LWInfo::appName +
                         QStringLiteral("'s picture decoder can't shut itself off from your files, so ") +
                         inPlaceOf(unsafe) + QLatin1Char('.'));
    return sentences.join(u'\n');
}
