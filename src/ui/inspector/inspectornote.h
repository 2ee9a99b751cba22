#pragma once
#include <QColor>
#include <QLabel>

#include <functional>

// A secondary text of the inspector: 10.5 px interface type, wrapped onto as many lines as the
// width needs (never cut), in the colour `colour` gives when painting (the theme's `dim` unless
// told otherwise), so a change of theme shows at once.
class InspectorNote : public QLabel {
    Q_OBJECT
public:
    using Colour = std::function<QColor()>;

    explicit InspectorNote(const QString &text = {}, Colour colour = {}, QWidget *parent = nullptr);

    void setNote(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Colour colour_;
};
