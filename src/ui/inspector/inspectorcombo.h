#pragma once
#include <QComboBox>

// The inspector's menu: a plain combo box in 11 px type in a dark well, ending in a chevron.
// Colours come from the theme's palette, so every theme applies. The wheel changes its value only
// after a click into it (VKScrollView::guardWheel).
class InspectorCombo : public QComboBox {
    Q_OBJECT
public:
    explicit InspectorCombo(const QString &accessibleName, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
