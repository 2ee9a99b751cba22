#pragma once
#include "templates/kit.h"

#include <QList>
#include <array>

// Small pieces the card builders share. Cards are drawn for the 144-pt tall US card at the base
// width; a taller card moves bottom-anchored rows down by its extra height and vertically centred
// rows by half of it.
namespace LWCardParts
{

inline double extra(const LWKit &k)
{
    return k.h - 144;
}
inline double half(const LWKit &k)
{
    return (k.h - 144) * 0.5;
}

// e moved so that its top is at y; only its y changes.
inline LWElement at(LWElement e, double y)
{
    e.offset(0, y - e.frame.y);
    return e;
}

// Contact blocks that leave out the street address.
inline constexpr std::array<LWKit::Contact, 3> noAddress{LWKit::Contact::phone, LWKit::Contact::email,
                                                         LWKit::Contact::web};
inline QList<LWKit::Contact> withoutAddress()
{
    return {noAddress.begin(), noAddress.end()};
}

} // namespace LWCardParts
