#pragma once
#include <QWidget>

// A panel caption: the text upper-cased (full Unicode mapping), 10 px heavy, tracking 1.3, in the
// theme's `dim` (read when painting), over a hard shade of itself in black 60 % one pixel lower.
class EngravedLabel : public QWidget {
    Q_OBJECT
public:
    explicit EngravedLabel(const QString &text, QWidget *parent = nullptr);

    // The text as shown (upper case).
    QString text() const { return text_; }
    // Replaces the caption (upper-cased as above) and its accessible name.
    void setText(const QString &text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Paints the caption in `rect`, left-aligned, its shade inside the rect's bottom pixel.
    static void paint(QPainter &painter, const QRectF &rect, const QString &upperText, const QFont &font);
    static QFont labelFont();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString text_;
};
