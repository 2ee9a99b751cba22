#pragma once
#include <QKeySequence>
#include <QString>

// The application's one key table: the menus, the canvas toolbar, the inspector and the header
// bar take their keys and the keys named in their help texts from here.
namespace LWShortcuts {

inline const QKeySequence zoomIn{Qt::CTRL | Qt::ALT | Qt::Key_Equal};
inline const QKeySequence zoomOut{Qt::CTRL | Qt::ALT | Qt::Key_Minus};
inline const QKeySequence zoomFit{Qt::CTRL | Qt::ALT | Qt::Key_0};
inline const QKeySequence placePicture{Qt::CTRL | Qt::SHIFT | Qt::Key_I};
inline const QKeySequence bringToFront{Qt::CTRL | Qt::SHIFT | Qt::Key_BracketRight};
inline const QKeySequence bringForward{Qt::CTRL | Qt::Key_BracketRight};
inline const QKeySequence sendBackward{Qt::CTRL | Qt::Key_BracketLeft};
inline const QKeySequence sendToBack{Qt::CTRL | Qt::SHIFT | Qt::Key_BracketLeft};
inline const QKeySequence duplicate{Qt::CTRL | Qt::Key_D};
inline const QKeySequence group{Qt::CTRL | Qt::Key_G};
inline const QKeySequence ungroup{Qt::CTRL | Qt::SHIFT | Qt::Key_G};
inline const QKeySequence lock{Qt::CTRL | Qt::Key_L};

// Edit menu. Redo is spelled out: QKeySequence::Redo adds Ctrl+Y here.
inline const QKeySequence undo{Qt::CTRL | Qt::Key_Z};
inline const QKeySequence redo{Qt::CTRL | Qt::SHIFT | Qt::Key_Z};

// File menu.
inline const QKeySequence exportDesign{Qt::CTRL | Qt::Key_E};

// "text (keys)", the keys as the menus show them ("Zoom in on the page (Ctrl+Alt+=)").
[[nodiscard]] QString help(const QString &text, const QKeySequence &keys);

} // namespace LWShortcuts
