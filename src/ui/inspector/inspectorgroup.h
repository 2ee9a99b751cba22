#pragma once
#include <QWidget>

class EngravedLabel;
class QLayout;
class QVBoxLayout;

// The titled box of one group of inspector controls: an engraved caption, then the rows added,
// in a column 7 px apart with 10 px padding, on a rounded rectangle (radius 12, continuous
// corners) of black 20 % edged 1 px inside in white 8 %. It takes the width its parent offers.
class InspectorGroup : public QWidget {
    Q_OBJECT
public:
    static constexpr int spacing = 7, padding = 10;

    explicit InspectorGroup(const QString &title, QWidget *parent = nullptr);

    // The caption as given.
    QString title() const { return title_; }
    void setTitle(const QString &title);
    EngravedLabel *caption() const { return caption_; }

    // Appends a row, full width; the group takes ownership.
    void addRow(QWidget *row);
    void addLayout(QLayout *layout);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString title_;
    EngravedLabel *caption_;
    QVBoxLayout *column_;
};
