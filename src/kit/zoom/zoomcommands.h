#pragma once

class QMenu;

// The interface zoom items of the View menu. They change nothing but the zoom setting, which every
// host observes; none is checkable and all stay enabled, also at the limits.
namespace VKZoomCommands {
// Appends "Zoom In", "Zoom Out", "Actual Size (100%)", the submenu "Zoom Level" with one item per
// VKZoom::levels entry, and a separator. The actions belong to `menu`.
void addTo(QMenu *menu);
} // namespace VKZoomCommands
