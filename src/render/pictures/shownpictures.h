#pragma once
#include <QByteArray>
#include <QHash>
#include <QSize>
#include <functional>

// What the views show of the preview table: per view, each picture (its key, or a name of its
// bytes until the key is known) with the step it is drawn at. A view's account is made anew by a
// whole drawing (begin(anew), note, done) or added to by a part's. Not thread-safe: the picture
// tables use it under their lock.
class LWShownPictures {
public:
    void add(quint64 view) { m_views.insert(view, {}); }
    void remove(quint64 view) { m_views.remove(view); }
    void begin(quint64 view, bool anew);
    void note(quint64 view, const QByteArray &id, int step);
    void done(quint64 view);
    // The picture known by `name` until now is known by `key`.
    void resolve(const QByteArray &name, const QByteArray &key);

    [[nodiscard]] bool shown(const QByteArray &id) const;
    // The largest step a view shows the picture at; 0 when none shows it.
    [[nodiscard]] int step(const QByteArray &id) const;
    // The largest of `steps` (decreasing) at which every picture shown, each at the smaller of its
    // step and that one, fits `budget` bytes by `bytesAt`; the last step when none does.
    [[nodiscard]] int cap(const QList<int> &steps, qint64 budget,
                          const std::function<qint64(const QByteArray &id, int step)> &bytesAt) const;

private:
    struct View {
        QHash<QByteArray, int> now, next; // next: the account being made anew
        bool counting = false;
    };
    QHash<quint64, View> m_views;
};
