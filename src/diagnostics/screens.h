#pragma once
#include <QImage>
#include <QSize>
#include <optional>

class QWidget;

// Views drawn in offscreen windows. Main thread only.
namespace LWScreens
{

// Takes ownership of `view` (which must have no parent): shows it as a frameless top-level window
// of `size` that never reaches the screen, runs the event loop in 0.05 s slices until `settle`
// seconds have passed (queued updates such as thumbnails land then), grabs it and deletes it.
// None when the grab gives no image.
[[nodiscard]] std::optional<QImage> render(QWidget *view, QSize size, double settle = 0.15);

} // namespace LWScreens
