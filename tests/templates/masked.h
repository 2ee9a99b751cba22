#pragma once
#include "model/document.h"

// A design with everything that differs between two builds of one template cleared: the
// document's id and times, element ids and picture asset ids.
inline LWElement masked(LWElement e)
{
    e.id = QUuid();
    if (e.image)
        e.image->assetID.clear();
    if (e.children)
        for (LWElement &c : *e.children)
            c = masked(c);
    return e;
}

inline LWPage masked(LWPage p)
{
    for (LWElement &e : p.elements)
        e = masked(e);
    return p;
}

inline LWDocument masked(LWDocument d)
{
    d.id = QUuid();
    d.created = d.modified = 0;
    for (LWPage &p : d.pages)
        p = masked(p);
    return d;
}
