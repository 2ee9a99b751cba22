#pragma once
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

// One line of interface text drawn at the font's exact size (Qt's labels round it), left-aligned
// and vertically centred, cut with "…" when narrower than its text. Without a colour it takes the
// window's text colour, which the theme root sets.
class ShellText : public QWidget {
    Q_OBJECT
public:
    ShellText(const QString &text, const QFont &font, std::optional<QColor> colour = std::nullopt,
              QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    QColor colour() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    QFont m_font;
    std::optional<QColor> m_colour;
};

// A lit lamp of size 7 and a text 5 apart; the lamp's glow overhangs its place.
class LampText : public QWidget {
    Q_OBJECT
public:
    LampText(const QColor &lamp, const QString &text, const QFont &font, std::optional<QColor> colour = std::nullopt,
             QWidget *parent = nullptr);

    LED *lamp() const { return m_lamp; }
    ShellText *label() const { return m_label; }

private:
    LED *m_lamp;
    ShellText *m_label;
};
