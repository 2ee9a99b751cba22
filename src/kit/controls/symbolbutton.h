#pragma once
#include <QAbstractButton>

// A symbol in plain style: the named VKSymbols image, `size` px square, centred in the widget and
// tinted with the theme's `text` colour (`dim` when `dimmed`), at 75 % while pressed, faded while
// disabled. No face or rim.
// `help` is the tooltip and the accessible name. Made decorative (setDecorative) it takes neither
// clicks nor focus and only shows the symbol. Focus by Tab only; Space presses it.
class VKSymbolButton : public QAbstractButton {
    Q_OBJECT
public:
    VKSymbolButton(const QString &symbol, double size, const QString &help = {}, bool dimmed = false,
                   QWidget *parent = nullptr);

    QString symbol() const { return symbol_; }
    void setDecorative(bool decorative);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString symbol_;
    double size_;
    bool dimmed_;
};
