#pragma once
#include <QWidget>

class QAbstractButton;
class QLineEdit;

// A search field: magnifier, a frameless one-line edit showing `prompt` as its placeholder, and,
// while the text is not empty (a space counts), a clear button ("Clear search") that empties it.
// A sunken capsule (black 35 %, edge black 60 % → white 25 %) with padding 12 × 7, items 6 apart.
// Symbols are the inherited font's pixel size, in the theme's `dim`; typed text in `text`.
// textChanged fires on every keystroke; the field reports no editing or commit events.
class VKSearchField : public QWidget {
    Q_OBJECT
public:
    explicit VKSearchField(const QString &prompt = {}, QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);
    QString prompt() const;
    void setPrompt(const QString &prompt);

    QLineEdit *lineEdit() const { return edit_; }
    QAbstractButton *clearButton() const { return clear_; }

Q_SIGNALS:
    void textChanged(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyTheme();

    QWidget *magnifier_;
    QLineEdit *edit_;
    QAbstractButton *clear_;
};
