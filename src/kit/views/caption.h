#pragma once
#include <QColor>
#include <QLabel>
#include <QWidget>

// A group caption: the text upper-cased (full Unicode mapping), 10 px heavy, tracking 1.1, in the
// theme's `dim` colour (read when painting). Shown as plain text.
class VKCaption : public QLabel {
    Q_OBJECT
public:
    explicit VKCaption(const QString &text = {}, QWidget *parent = nullptr);
    void setCaption(const QString &text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A small coloured label: the text as given, 10 px heavy, tracking 0.6, white, on a capsule filled
// top to bottom with `colour` at 95 % → 55 % and edged 0.8 px white 35 %. Padding 9 × 3.
class VKAnodizedPill : public QWidget {
    Q_OBJECT
public:
    VKAnodizedPill(const QString &text, const QColor &colour, QWidget *parent = nullptr);

    QString text() const { return text_; }
    QColor colour() const { return colour_; }
    void setColour(const QColor &colour);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString text_;
    QColor colour_;
};
