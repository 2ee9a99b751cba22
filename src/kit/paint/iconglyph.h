#pragma once
#include <QColor>
#include <QString>
#include <QWidget>

class QPainter;
class QRectF;

// Fills the icon's outline, fitted into `rect` (centred, uniformly scaled), with `colour`:
// antialiased, no outline, non-zero winding. An id the icon library lacks draws nothing.
void paintIconGlyph(QPainter &painter, const QString &id, const QRectF &rect, const QColor &colour);

// One icon filling whatever frame it is given; it has no size of its own.
class IconGlyph : public QWidget {
    Q_OBJECT
public:
    explicit IconGlyph(const QString &name, const QColor &color = Qt::white, QWidget *parent = nullptr);

    const QString &name() const { return name_; }
    void setName(const QString &name);
    const QColor &color() const { return color_; }
    void setColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString name_;
    QColor color_;
};
