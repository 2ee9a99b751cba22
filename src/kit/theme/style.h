#pragma once
#include "kit/theme/theme.h"

#include <QColor>
#include <QLinearGradient>
#include <QRectF>

// The application's palette: the current kit theme and the fixed colours of the cabinet
// controls, which do not change with the theme. Main thread only.
namespace LWStyle {

// VELKKitHost::theme() on every call; nothing is cached.
[[nodiscard]] VKKitTheme t();

const QColor &moss();
const QColor &amber();
const QColor &ruby();
const QColor &cyan();   // guides and snap lines
const QColor &orange(); // the selection's accents
const QColor &lcdBG();
const QColor &lcdText();
const QColor &lcdDim();
const QColor &walnut1();
const QColor &walnut2();

// The paint of every chrome edge: white 65 %, white 12 %, black 55 %, from the top centre to the
// bottom centre of `bounds` (the bounds of the shape being stroked).
[[nodiscard]] QLinearGradient chromeRim(const QRectF &bounds);

} // namespace LWStyle
