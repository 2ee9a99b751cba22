#pragma once
#include <QList>
#include <QWidget>

class ChromeRoundButton;

// A row of round chrome buttons whose faces sit `gap` apart, left-aligned to the row's edge; the
// buttons' shadow margins overlap their neighbours and the row keeps only 4 px for the drop shadow
// above and below the faces, so a row of buttons that are never selected stays compact. A stretch before
// index `stretchAt` pushes the buttons from there to the right edge. Takes ownership.
class ButtonRow : public QWidget {
    Q_OBJECT
public:
    explicit ButtonRow(const QList<ChromeRoundButton *> &buttons, int gap, qsizetype stretchAt = -1,
                       QWidget *parent = nullptr);

    const QList<ChromeRoundButton *> &buttons() const { return buttons_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QList<ChromeRoundButton *> buttons_;
    int gap_;
    qsizetype stretchAt_;
};
