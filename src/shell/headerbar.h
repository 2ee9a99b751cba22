#pragma once
#include "app/app.h"

#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class ChromeRoundButton;
class LCDReadout;
class ModeSwitch;

// The hairline texture of the header: every second pixel row from the top, a 0.6 px line across,
// white 18 % on every third line (the first included), black 12 % on the others. The widget draws
// it over its whole size at `opacity` and lets every mouse event through to what lies beneath.
class BrushedLines : public QWidget {
    Q_OBJECT
public:
    explicit BrushedLines(double opacity = 1, QWidget *parent = nullptr);
    // Nothing for a height of 0 or less.
    static void paint(QPainter &painter, QSizeF size);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_opacity;
};

// The strip across the top of the main window: the brand plate, the POWER lamp, the mode switch,
// a two-line read-out of the open design and the undo, redo, print-check, export and help buttons
// over brushed metal. Follows its state and the open editor itself (every edit, selection, side
// change and save), refreshing the read-out and the buttons in place. Its buttons call the open
// editor, set the state's sheet or open help. Main thread only.
class HeaderBar : public QWidget {
    Q_OBJECT
public:
    explicit HeaderBar(LWApp &app, QWidget *parent = nullptr);

    // Two lines: "READY" / "Pick a size or a template" without an editor; else the design's name
    // cut to 26 user-perceived characters (with " •" while unsaved), and its size, the shown
    // side's name upper-cased when it has two or more, and the selection count.
    [[nodiscard]] static QStringList lcdLines(const LWEditor *editor);
    static constexpr int nameLength = 26;

    LCDReadout *readout() const { return m_readout; }
    ModeSwitch *modeSwitch() const { return m_modeSwitch; }
    ChromeRoundButton *undoButton() const { return m_undo; }
    ChromeRoundButton *redoButton() const { return m_redo; }
    ChromeRoundButton *preflightButton() const { return m_preflight; }
    ChromeRoundButton *exportButton() const { return m_export; }
    ChromeRoundButton *helpButton() const { return m_help; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void observeEditor();
    void refresh();

    LWApp &m_app;
    BrushedLines *m_texture;
    LCDReadout *m_readout;
    ModeSwitch *m_modeSwitch;
    ChromeRoundButton *m_undo;
    ChromeRoundButton *m_redo;
    ChromeRoundButton *m_preflight;
    ChromeRoundButton *m_export;
    ChromeRoundButton *m_help;
    QPointer<LWEditor> m_observed;
    QList<QMetaObject::Connection> m_editorLinks;
};
