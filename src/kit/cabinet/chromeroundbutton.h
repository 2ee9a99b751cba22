#pragma once
#include "kit/paint/paint.h"

#include <QAbstractButton>
#include <functional>

// A round push button with a white symbol: a grey (selected: accent) face, a chrome rim and a
// shadow (selected: an accent glow). Only the circle takes clicks; Space activates it when it has
// focus, which it takes by Tab only (a click leaves focus where it was). Disabled, it ignores mouse
// and keys and shows at 40 %; pressed, at 75 %, as one layer. No focus or hover look. `help` is
// the tooltip and the accessible name. The widget keeps shadowMargins() (the glow's, so selecting
// never resizes it) around the `size` × `size` face.
class ChromeRoundButton : public QAbstractButton {
    Q_OBJECT
public:
    ChromeRoundButton(const QString &symbol, const QString &help, std::function<void()> action, bool selected = false,
                      double size = 38, bool disabled = false, QWidget *parent = nullptr);

    QString symbol() const { return symbol_; }
    QString help() const { return help_; }
    // A new tooltip and accessible name, for help texts that follow the selection.
    void setHelp(const QString &help);
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);
    double faceSize() const { return size_; }
    void setFaceSize(double size);
    bool isDisabled() const { return !isEnabled(); }
    void setDisabled(bool disabled) { setEnabled(!disabled); }

    static QMargins shadowMargins();
    QRectF faceRect() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    // Paints the button's face, rim, glyph and shadow on `face`.
    static void paint(QPainter &painter, const QRectF &face, const QString &symbol, bool selected);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    QString symbol_;
    QString help_;
    bool selected_;
    double size_;
    VKPaint::Layer layer_;
};
