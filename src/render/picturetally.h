#pragma once
#include "model/image.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QUuid>

struct LWElement;

// What an export made of its pictures: the renderer tells each picture it draws at full size (its
// pixels, or the missing-picture art in their place), from any thread; once the export is done,
// the pictures not drawn whole are read, so that the export never says done over placeholder art.
class LWPictureTally {
public:
    // Why a picture was not drawn whole: the machine could not draw it this time (no decode worker,
    // out of time on a loaded machine: the next export may), its bytes do not decode, it is too
    // large to draw, only part of it could be read, or no picture can be drawn: the picture
    // decoder is missing or cannot start, or cannot run safely on this system.
    enum class Why { notNow, unreadable, tooLarge, partial, decoderMissing, decoderUnsafe };
    struct Undrawn {
        QUuid element;
        QString name; // the element's, as the print check names it
        Why why = Why::notNow;
    };

    void drew(const LWElement &element, bool placeholder);
    // Pictures, by their bytes' key, that the export left out as too large for what it may hold.
    void leftOut(const QSet<QByteArray> &keys);

    // In the order first drawn, each element once, not drawn whole if any band drew it so. A
    // placeholder's cause is what the picture cache learnt of its bytes, tooLarge for one left out,
    // or what the decoder's checks tell, else notNow; drawn pixels are partial when the cache found
    // the bytes cut off or damaged.
    [[nodiscard]] QList<Undrawn> undrawn() const;

    // A paragraph for the user, one sentence a picture, naming each (those of a decoder that cannot
    // draw any picture in one sentence); empty for none.
    [[nodiscard]] static QString describe(const QList<Undrawn> &undrawn);

private:
    struct Drawn {
        QUuid element;
        QString name;
        LWImage picture;
        bool placeholder = false;
    };
    mutable QMutex m_lock;
    QList<Drawn> m_drawn;
    QHash<QUuid, qsizetype> m_byElement; // into m_drawn
    QSet<QByteArray> m_leftOut;
};
