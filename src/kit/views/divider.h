#pragma once
#include <QWidget>

// A 1 px horizontal rule in white at 15 %, `inset` in from both ends and `padding` clear above
// and below. It takes the width it is given.
class VKDivider : public QWidget {
    Q_OBJECT
public:
    explicit VKDivider(int inset = 0, int padding = 0, QWidget *parent = nullptr);
    // A 1 px vertical rule `length` high.
    VKDivider(Qt::Orientation orientation, int length, QWidget *parent = nullptr);

    // The rule itself, in the divider's own coordinates.
    QRect line() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int inset_ = 0;
    int padding_ = 0;
    bool vertical_ = false;
};
