#pragma once
#include <QString>
#include <QWidget>

class QAbstractButton;
class QLabel;

// One numbered step: an accent badge with the number and the title, the explanation wrapped
// below (dim), and a "Show me how" link that opens the help topic `help`. Left-aligned, it takes
// the width it is given.
class StepCard : public QWidget {
    Q_OBJECT
public:
    StepCard(qint64 n, const QString &title, const QString &text, const QString &help, QWidget *parent = nullptr);

    qint64 number() const { return n_; }
    QString help() const { return help_; }
    // The badge's number as shown: plain decimal digits.
    QString badgeText() const;
    QAbstractButton *link() const { return link_; }

private:
    qint64 n_;
    QString help_;
    QAbstractButton *link_;
};
