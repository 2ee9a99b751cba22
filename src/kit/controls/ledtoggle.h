#pragma once
#include "kit/theme/style.h"

#include <QAbstractButton>
#include <QColor>
#include <functional>

// An on/off switch: a dark capsule (the whole widget) holding a 7 px lamp and the title. It keeps
// no state: the lamp shows `get()`, a click calls `set(!get())` and repaints; callers connect their
// flag's change signal to update(). Only the lamp shows the state. Takes focus by Tab only, and
// Space clicks it then. `help` is the tooltip, the title the accessible name; assistive technology
// reads the state as "on" or "off".
class LEDToggle : public QAbstractButton {
    Q_OBJECT
public:
    using Getter = std::function<bool()>;
    using Setter = std::function<void(bool)>;

    LEDToggle(const QString &title, Getter get, Setter set, const QColor &color = LWStyle::moss(),
              const QString &help = {},
              QWidget *parent = nullptr);

    bool isOn() const { return get_(); }
    QString title() const { return title_; }
    // The lamp's colour when on.
    QColor color() const { return color_; }
    // Where the lamp sits (its glow reaches 6 px beyond).
    QRectF lampRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    QString title_;
    Getter get_;
    Setter set_;
    QColor color_;
};
