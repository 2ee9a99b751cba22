#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

class QMenuBar;

// The menu bar from the keyboard, as on the Linux desktop: each title gets an access letter (a
// word's initial where free, else the next free letter; the first title, the application menu,
// chooses last), which Alt opens; F10 opens the first
// menu (and closes an open one); arrows and Return then move through the menus as Qt's do. The
// letters are underlined only while Alt is held. Lives as the bar's child; add the menus first.
// Main thread only.
class LWMenuKeys : public QObject {
    Q_OBJECT
public:
    explicit LWMenuKeys(QMenuBar *bar);

    // The titles with one "&" each before their access letter, in order; a title with no free
    // letter stays as it is. Letters are compared ignoring case; "&&" in a title is kept.
    [[nodiscard]] static QStringList withAccessLetters(const QStringList &titles);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void letter();
    bool menuOpen() const;
    void toggleFirstMenu();
    void showLetters(bool shown);

    QMenuBar *bar_;
    bool shown_ = false;
    bool lettering_ = false;
};
