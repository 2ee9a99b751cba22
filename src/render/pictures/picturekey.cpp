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
// The remembered buffers are kept alive (so that their address names them alone). Past this many
// bytes, those no record holds any more are let go; a buffer a record still holds costs nothing
// more and stays remembered, however large (a design's 500-MB picture is hashed once, not at
// every use).
constexpr qint64 keptBytes = qint64(256) << 20;

struct Memo {
    QByteArray buffer; // shared with the record, never copied
    QByteArray key;
    quint64 lastUse = 0;
};

struct Memos {
    QMutex lock;
    QHash<const char *, Memo> byBuffer;
    qint64 bytes = 0;
    quint64 clock = 0;

    void trim()
    {
        if (bytes > keptBytes) {
            // Only here may anyone ask by these buffers: nobody else holds them.
            for (auto it = byBuffer.begin(); it != byBuffer.end();) {
                if (it->buffer.isDetached()) {
                    bytes -= it->buffer.size();
                    it = byBuffer.erase(it);
                } else {
                    ++it;
                }
            }
        }
        while (byBuffer.size() > keptBuffers && !byBuffer.isEmpty()) {
            auto oldest = byBuffer.begin();
            for (auto it = byBuffer.begin(); it != byBuffer.end(); ++it)
                if (it->lastUse < oldest->lastUse)
                    oldest = it;
            bytes -= oldest->buffer.size();
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
    const auto it = m.byBuffer.find(bytes.constData());
    if (it != m.byBuffer.end())
        m.bytes -= it->buffer.size();
    m.byBuffer.insert(bytes.constData(), Memo{bytes, key, ++m.clock});
    m.bytes += bytes.size();
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
