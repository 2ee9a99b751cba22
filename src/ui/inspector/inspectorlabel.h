#pragma once
#include <QFont>
#include <QString>
#include <QWidget>

// One line of inspector text drawn at its exact size in a kit font, in the theme's `text` or
// `dim` colour (read when painting).
class InspectorLabel : public QWidget {
    Q_OBJECT
public:
    InspectorLabel(const QString &text, const QFont &font, bool dim, QWidget *parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString &text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString text_;
    QFont font_;
    bool dim_;
};
