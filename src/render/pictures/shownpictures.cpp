#include "render/pictures/shownpictures.h"

#include <algorithm>

void LWShownPictures::begin(quint64 view, bool anew)
{
    View &v = m_views[view];
    v.next.clear();
    v.counting = anew;
}

void LWShownPictures::note(quint64 view, const QByteArray &id, int step)
{
    const auto v = m_views.find(view);
    if (v == m_views.end())
        return;
    int &noted = (v->counting ? v->next : v->now)[id];
    noted = std::max(noted, step);
}

void LWShownPictures::done(quint64 view)
{
    const auto v = m_views.find(view);
    if (v == m_views.end())
        return;
    if (v->counting)
        v->now = std::exchange(v->next, {});
    v->counting = false;
}

void LWShownPictures::resolve(const QByteArray &name, const QByteArray &key)
{
    for (View &v : m_views)
        for (QHash<QByteArray, int> *m : {&v.now, &v.next})
            if (const auto it = m->constFind(name); it != m->cend()) {
                const int noted = *it;
                m->erase(it);
                (*m)[key] = std::max(m->value(key), noted);
            }
}

bool LWShownPictures::shown(const QByteArray &id) const
{
    return std::any_of(m_views.cbegin(), m_views.cend(), [&](const View &v) { return v.now.contains(id) || v.next.contains(id); });
}

int LWShownPictures::step(const QByteArray &id) const
{
    int step = 0;
    for (const View &v : m_views)
        step = std::max({step, v.now.value(id), v.next.value(id)});
    return step;
}

int LWShownPictures::cap(const QList<int> &steps, qint64 budget,
                         const std::function<qint64(const QByteArray &, int)> &bytesAt) const
{
    QHash<QByteArray, int> all;
    for (const View &v : m_views)
        for (const QHash<QByteArray, int> *m : {&v.now, &v.next})
            for (auto it = m->cbegin(); it != m->cend(); ++it)
                all[it.key()] = std::max(all.value(it.key()), *it);
    for (const int c : steps) {
        qint64 sum = 0;
        for (auto it = all.cbegin(); it != all.cend(); ++it)
            sum += bytesAt(it.key(), std::min(*it, c));
        if (sum <= budget)
            return c;
    }
    return steps.isEmpty() ? 0 : steps.last();
}
