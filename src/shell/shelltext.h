#pragma once
#include "kit/views/textline.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>
#include <optional>

class LED;
class QBoxLayout;

// Adds `widget` to the end of the horizontal `row`, centred across it, its shadow `margins`
// overhanging the place the layout gives it (VKOverhangItem).
void shellAddCentred(QBoxLayout *row, QWidget *widget, QMargins margins);

// A lit lamp of size 7 and a text 5 apart; the lamp's glow overhangs its place.
class LampText : public QWidget {
    Q_OBJECT
public:
    LampText(const QColor &lamp, const QString &text, const QFont &font, std::optional<QColor> colour = std::nullopt,
             QWidget *parent = nullptr);

    LED *lamp() const { return m_lamp; }
    VKTextLine *label() const { return m_label; }

private:
    LED *m_lamp;
    VKTextLine *m_label;
};
