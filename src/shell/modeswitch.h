#pragma once
#include "app/app.h"

#include <QAbstractButton>
#include <QList>
#include <QWidget>

// One capsule of the mode switch: a symbol and a title, 12 px bold; selected, white on an accent
// capsule. The whole capsule takes the click. It is checked while selected; a click never
// toggles that itself.
class ModeSegment : public QAbstractButton {
    Q_OBJECT
public:
    ModeSegment(const QString &symbol, const QString &title, LWAppScreen screen, QWidget *parent = nullptr);

    LWAppScreen screen() const { return m_screen; }
    // Painted at this opacity (0.45 while the segment cannot be used).
    double opacity() const { return m_opacity; }
    void setOpacity(double opacity);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
    void nextCheckState() override {}

private:
    QString m_symbol;
    LWAppScreen m_screen;
    double m_opacity = 1;
};

// The three-segment control that moves between the screens: Start, Templates and Design. A
// segment only sets the application's screen; Design works only while a design is open. Follows
// the screen and the open editor of its state. Main thread only.
class ModeSwitch : public QWidget {
    Q_OBJECT
public:
    explicit ModeSwitch(LWApp &app, QWidget *parent = nullptr);

    static inline const QString designHelp = QStringLiteral("Design");
    static inline const QString noDesignHelp = QStringLiteral("Open or start a design first");

    ModeSegment *segment(LWAppScreen screen) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void refresh();

    LWApp &m_app;
    QList<ModeSegment *> m_segments; // start, templates, editor
};
