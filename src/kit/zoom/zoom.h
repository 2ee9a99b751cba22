#pragma once
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSizeF>
#include <QString>
#include <QTimer>

class QAbstractScrollArea;

// The interface zoom: one factor for every window's content, 1.0 being 100 %, kept only in the
// settings under `key`. Nothing holds a copy: every host and command reads it afresh. Main thread
// only.
namespace VKZoom {
inline const QString key = QStringLiteral("velk.zoom");
inline constexpr double min = 0.85;
inline constexpr double max = 2.0;
inline constexpr double step = 0.15;
// The whole percentages of the "Zoom Level" menu, in order.
inline const QList<int> levels{85, 100, 115, 130, 150, 175, 200};

// Rounded to two decimals (halves away from zero), then brought into min … max. Not a number
// gives 1.0.
[[nodiscard]] double clamp(double zoom);

// The stored factor through clamp; 1.0 when nothing, 0, no number or no finite number is stored.
[[nodiscard]] double value();
// Stores clamp(zoom) through LWSettings, so every observer hears of it.
void setValue(double zoom);

// "85%" for 85.
[[nodiscard]] QString levelTitle(int percent);

// How a host offered `offered` shows its content at `zoom`: the content is laid out at `logical`
// (the offered size divided by the zoom, but never below `minSize`), drawn scaled by `zoom` from
// its top-left corner, and takes `scaled` in the scroll view. Scroll bars show only when the
// scaled content exceeds the offered size by more than one unit on either axis.
struct Layout {
    double zoom = 1;
    QSizeF logical;
    QSizeF scaled;
    bool indicators = false;
};
[[nodiscard]] Layout layout(QSizeF offered, double zoom, QSizeF minSize);

// Brings an area's scroll bars to their minimum: now, again on the next turn of the event loop and
// 0.15, 0.4, 0.9 and 1.6 s after the request, so late layout passes cannot leave it scrolled. One
// restartable timer: a new request starts the turns afresh, and a scroll the user makes (wheel,
// keys, dragging or clicking a bar) ends them, so it is never undone. Lives with the area.
class ScrollHome : public QObject {
public:
    static constexpr int turnsMs[] = {0, 150, 400, 900, 1600};

    explicit ScrollHome(QAbstractScrollArea *area);
    void request();
    // Ends the turns still to come: the user's keyboard moved the view.
    void stop() { m_timer.stop(); }

private:
    void home();
    void turn();

    QAbstractScrollArea *m_area;
    QTimer m_timer;
    QElapsedTimer m_since;
    int m_next = 0;
};
} // namespace VKZoom
