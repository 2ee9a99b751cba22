#include "render/pictures/picturekey.h"

#include <QCryptographicHash>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QtEndian>

namespace {

// Buffers below this are hashed on every call: cheaper than remembering them.
constexpr qsizetype rememberFrom = 4 << 10;
constexpr qsizetype keptBuffers = 65536;
// The remembered buffers are kept alive (so that their address names them alone): at most this
// many bytes of those nothing else holds, the least recently asked dropped first. The open designs'
// own cost nothing more to remember: dropping them would only hash them again at the next look.
constexpr qint64 keptBytes = qint64(256) << 20;

struct Memo {
    QByteArray buffer; // shared with the record, never copied
    QByteArray key;
    quint64 lastUse = 0;
};

struct Memos {
    QMutex lock;
    QHash<const char *, Memo> byBuffer;
    quint64 clock = 0;

    void trim()
    {
        qint64 alone = 0; // bytes only the memo keeps
        for (const Memo &m : std::as_const(byBuffer))
            alone += m.buffer.isDetached() ? m.buffer.size() : 0;
        while ((alone > keptBytes || byBuffer.size() > keptBuffers) && !byBuffer.isEmpty()) {
            const bool forBytes = alone > keptBytes;
            auto oldest = byBuffer.end();
            for (auto it = byBuffer.begin(); it != byBuffer.end(); ++it)
                if ((!forBytes || it->buffer.isDetached()) && (oldest == byBuffer.end() || it->lastUse < oldest->lastUse))
                    oldest = it;
            if (oldest == byBuffer.end())
                return;
            alone -= oldest->buffer.isDetached() ? oldest->buffer.size() : 0;
            byBuffer.erase(oldest);
        }
    }
};

Memos &memos()
{
    static Memos m;
    return m;
}

QByteArray digest(const QByteArray &bytes)
{
    QByteArray key = QCryptographicHash::hash(bytes, QCryptographicHash::Blake2b_256);
    const quint64 length = qToLittleEndian(quint64(bytes.size()));
    key.append(reinterpret_cast<const char *>(&length), sizeof length);
    return key;
}

// Bytes over memory they do not own (fromRawData) may change under the same address: never
// remembered.
bool rememberable(const QByteArray &bytes)
{
    // data_ptr() only hands the pointer over: nothing is changed or detached.
    return bytes.size() >= rememberFrom && const_cast<QByteArray &>(bytes).data_ptr().isMutable();
}

} // namespace

namespace LWPictureKey {

QByteArray of(const QByteArray &bytes)
{
    if (!rememberable(bytes))
        return digest(bytes);
    Memos &m = memos();
    {
        QMutexLocker guard(&m.lock);
        const auto it = m.byBuffer.find(bytes.constData());
        if (it != m.byBuffer.end() && it->buffer.size() == bytes.size()) {
            it->lastUse = ++m.clock;
            return it->key;
        }
    }
    const QByteArray key = digest(bytes);
    QMutexLocker guard(&m.lock);
    m.byBuffer.insert(bytes.constData(), Memo{bytes, key, ++m.clock});
    m.trim();
    return key;
}

std::optional<QByteArray> ifKnown(const QByteArray &bytes)
{
    if (bytes.size() < rememberFrom)
        return digest(bytes);
    if (!rememberable(bytes))
        return std::nullopt;
    Memos &m = memos();
    QMutexLocker guard(&m.lock);
    const auto it = m.byBuffer.find(bytes.constData());
    if (it == m.byBuffer.end() || it->buffer.size() != bytes.size())
        return std::nullopt;
    it->lastUse = ++m.clock;
    return it->key;
}

} // namespace LWPictureKey
