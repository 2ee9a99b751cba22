#pragma once
#include "model/page.h"
#include "templates/kit.h"

#include <QList>
#include <QString>

// A flyer design: its display name (also the template's style) and a builder from a kit at the
// 612-pt base width to the flyer's one page. The builder captures nothing: a plain function,
// safe to call on any thread.
struct LWFlyerLayout {
    QString name;
    LWPage (*make)(const LWKit &);
};

// The ten flyer designs. Each list is built once on first use and never changes.
namespace LWFlyerLayouts
{

const LWFlyerLayout &heroBlock();
const LWFlyerLayout &bigDate();
const LWFlyerLayout &tearOff();
const LWFlyerLayout &priceMenu();
const LWFlyerLayout &photoDiagonal();
const LWFlyerLayout &spotlight();
const LWFlyerLayout &featureGrid();
const LWFlyerLayout &coupon();
const LWFlyerLayout &invitation();
const LWFlyerLayout &boldType();
// All ten in their fixed order; template generation picks them by position.
const QList<LWFlyerLayout> &all();

} // namespace LWFlyerLayouts
