#pragma once
#include <QColor>
#include <QString>
#include <QWidget>

class QDialog;
class QKeyEvent;
class QPushButton;
class QVBoxLayout;

// Small pieces the application's screens and sheets share.

// A VKSymbols image `px` square in one colour; decorative, takes no clicks.
class LWSymbolLabel : public QWidget {
    Q_OBJECT
public:
    LWSymbolLabel(const QString &symbol, double px, const QColor &colour, QWidget *parent = nullptr);

    QString symbol() const { return symbol_; }
    QColor colour() const { return colour_; }
    void setColour(const QColor &colour);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString symbol_;
    double px_;
    QColor colour_;
};

// A text button in the link look: no face, the theme's link colour, a pointing hand.
[[nodiscard]] QPushButton *lwLinkButton(const QString &text, double px, QWidget *parent = nullptr);

// Makes `dialog` a window-modal sheet in the theme, titled `title`, and returns its column:
// 24 around, `spacing` between rows.
QVBoxLayout *lwSheetForm(QDialog *dialog, const QString &title, int spacing);
// Return or Enter without other modifiers: a sheet's default action.
[[nodiscard]] bool lwIsReturn(const QKeyEvent *event);

// Fixes a dialog's width and makes its height follow its content at that width.
void lwFitDialog(QDialog *dialog, int width);
