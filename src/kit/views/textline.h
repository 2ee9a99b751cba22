#pragma once
#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>
#include <optional>

// One line of interface text drawn at the font's exact size (Qt's labels round it), left-aligned
// and vertically centred, cut with "…" when narrower than its text. Its colour is read when
// painting: the one given, else the window's text colour, which the theme root sets.
class VKTextLine : public QWidget {
    Q_OBJECT
public:
    VKTextLine(const QString &text, const QFont &font, std::optional<QColor> colour = std::nullopt,
               QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    virtual QColor colour() const;

    QSize sizeHint() const override; // an empty line keeps the height of a space
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    QFont m_font;
    std::optional<QColor> m_colour;
};
