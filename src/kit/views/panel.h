#pragma once
#include <QWidget>

// A framed panel: `content` with `padding` on all sides over a rounded rectangle (continuous
// corners) filled top to bottom panelTop → panelBottom, edged with a 1 px line white 35 % →
// black 50 %. No shadow, no clipping. The panel owns the content; colours are read when painting.
class VKPanel : public QWidget {
    Q_OBJECT
public:
    explicit VKPanel(QWidget *content = nullptr, double radius = 20, double padding = 12, QWidget *parent = nullptr);

    QWidget *content() const { return content_; }
    double radius() const { return radius_; }
    void setRadius(double radius);
    double padding() const { return padding_; }
    void setPadding(double padding);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *content_;
    double radius_;
    double padding_;
};
