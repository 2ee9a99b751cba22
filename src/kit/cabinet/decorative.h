#pragma once

// Purely decorative widgets (wood cheeks, screws, lamps) report themselves invisible to
// assistive technology. Their constructors call this; the accessibility factory is installed once.
void vkHideDecorationsFromAccessibility();
