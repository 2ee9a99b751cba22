#pragma once
#include "model/page.h"
#include "templates/kit.h"

#include <QList>
#include <QString>
#include <utility>

// A business-card design: its display name (also the template's style) and a builder from a kit
// at the 252-pt base width to the front and back pages. The builder captures nothing: a plain
// function, safe to call on any thread.
struct LWCardLayout {
    QString name;
    std::pair<LWPage, LWPage> (*make)(const LWKit &);
};

// The ten card designs. Each list is built once on first use and never changes.
namespace LWCardLayouts
{

const LWCardLayout &splitPanel();
const LWCardLayout &centered();
const LWCardLayout &boldBand();
const LWCardLayout &cornerArc();
const LWCardLayout &minimal();
const LWCardLayout &wave();
const LWCardLayout &framed();
const LWCardLayout &stripes();
const LWCardLayout &hexBadge();
const LWCardLayout &monogram();
// All ten in their fixed order; template generation picks them by position.
const QList<LWCardLayout> &all();

} // namespace LWCardLayouts
