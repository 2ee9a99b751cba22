#pragma once
#include "kit/views/textline.h"

// One line of inspector text in a kit font, in the theme's `text` or `dim` colour (read when
// painting).
class InspectorLabel : public VKTextLine {
    Q_OBJECT
public:
    InspectorLabel(const QString &text, const QFont &font, bool dim, QWidget *parent = nullptr);
    QColor colour() const override;

private:
    bool dim_;
};
