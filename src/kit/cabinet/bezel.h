#pragma once
#include <QWidget>
#include <optional>

class QVBoxLayout;

// A 7 × 7 screw head: a grey circle lit from the top left with a slot turned 35°. Decorative:
// invisible to assistive technology.
class Screw : public QWidget {
    Q_OBJECT
public:
    explicit Screw(QWidget *parent = nullptr);
    QSize sizeHint() const override { return QSize(7, 7); }
    static void paint(QPainter &painter, const QRectF &frame);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A framed panel owning `content`: an engraved caption (only with a title) 8 above the content,
// `padding` around both, on a rounded rectangle filled panelTop → panelBottom with a chrome rim
// (1.2), screws in the two top corners when asked, and a drop shadow (black 35 %, radius 6,
// offset (0, 3)). The widget keeps shadowMargins() around the panel; sizes callers give are the
// panel's. Colours are read when painting.
class Bezel : public QWidget {
    Q_OBJECT
public:
    explicit Bezel(QWidget *content, const std::optional<QString> &title = std::nullopt, double radius = 18,
                   double padding = 12, bool screws = false, QWidget *parent = nullptr);

    QWidget *content() const { return content_; }
    // The engraved caption's text; a panel built without a title has none to set.
    QString title() const;
    void setTitle(const QString &title);
    bool hasScrews() const { return screws_; }
    void setScrews(bool screws);
    double radius() const { return radius_; }

    static QMargins shadowMargins();
    // The drawn panel: the widget less its shadow margins.
    QRectF panelRect() const;
    // Paints the panel (shadow, fill, rim, screws) on `panel`.
    static void paint(QPainter &painter, const QRectF &panel, double radius, bool screws);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *content_;
    class EngravedLabel *title_ = nullptr;
    double radius_;
    bool screws_;
};
