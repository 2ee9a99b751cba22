#pragma once
#include <QImage>
#include <QSize>
#include <QStringList>
#include <optional>

class LWApp;
class QWidget;

// Views drawn in offscreen windows. Main thread only.
namespace LWScreens
{

// Takes ownership of `view` (which must have no parent): shows it as a frameless top-level window
// of `size` that never reaches the screen, runs the event loop in 0.05 s slices until `settle`
// seconds have passed (queued updates such as thumbnails land then), grabs it and deletes it.
// None when the grab gives no image.
[[nodiscard]] std::optional<QImage> render(QWidget *view, QSize size, double settle = 0.15);

// One picture of the interface: its file name, window size and settle time.
struct Shot {
    const char *file;
    QSize size;
    double settle;
};
// The nine pictures in writing order: start screen, template browser, four editor states (US
// card front with its first text selected, its back with its first icon, the fifth Letter flyer
// with nothing selected, the seventh with its first picture), export sheet, print check, help.
const QList<Shot> &plan();

// Writes the nine pictures into `folder` (which must exist) as PNG at 72 DPI, driving `app`'s
// screen and editor as the window would; at the end `app` has no editor and shows the start
// screen. Returns the absolute paths of the pictures not written.
QStringList write(const QString &folder, LWApp &app);
QStringList write(const QString &folder); // LWApp::shared()

} // namespace LWScreens
