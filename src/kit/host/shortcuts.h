#pragma once
#include <QKeySequence>
#include <QList>
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

// File menu (placePicture above is its item too).
inline const QKeySequence newDesign{Qt::CTRL | Qt::Key_N};
inline const QKeySequence newFromTemplate{Qt::CTRL | Qt::SHIFT | Qt::Key_N};
inline const QKeySequence open{Qt::CTRL | Qt::Key_O};
inline const QKeySequence closeWindow{Qt::CTRL | Qt::Key_W};
inline const QKeySequence save{Qt::CTRL | Qt::Key_S};
inline const QKeySequence saveAs{Qt::CTRL | Qt::SHIFT | Qt::Key_S};
inline const QKeySequence exportDesign{Qt::CTRL | Qt::Key_E};
inline const QKeySequence preflight{Qt::CTRL | Qt::SHIFT | Qt::Key_K};
inline const QKeySequence print{Qt::CTRL | Qt::Key_P};

// Edit menu: the clipboard.
inline const QKeySequence cut{Qt::CTRL | Qt::Key_X};
inline const QKeySequence copy{Qt::CTRL | Qt::Key_C};
inline const QKeySequence paste{Qt::CTRL | Qt::Key_V};
inline const QKeySequence selectAll{Qt::CTRL | Qt::Key_A};

// Arrange menu. A layout may deliver Shift+bracket as a brace with the Shift modifier: the menu
// takes that form too. Not the brace without Shift: Qt's X11/Wayland key mapper offers both
// Ctrl+} and Ctrl+Shift+] for one press, and two keys of one action matching a press make Qt
// drop it as ambiguous (measured under Xvfb with a US layout).
inline const QList<QKeySequence> bringToFrontKeys{bringToFront,
                                                  QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BraceRight)};
inline const QList<QKeySequence> sendToBackKeys{sendToBack, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BraceLeft)};
inline const QKeySequence unlock{Qt::CTRL | Qt::ALT | Qt::Key_L};

// Page menu (the zoom keys above are its own too).
inline const QList<QKeySequence> zoomInKeys{zoomIn, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Plus)};
inline const QKeySequence showFront{Qt::CTRL | Qt::ALT | Qt::Key_1};
inline const QKeySequence showBack{Qt::CTRL | Qt::ALT | Qt::Key_2};
inline const QKeySequence grid{Qt::CTRL | Qt::Key_Apostrophe};
inline const QKeySequence snapping{Qt::CTRL | Qt::Key_Semicolon};

// "text (keys)", the keys as the menus show them ("Zoom in on the page (Ctrl+Alt+=)").
[[nodiscard]] QString help(const QString &text, const QKeySequence &keys);

} // namespace LWShortcuts
