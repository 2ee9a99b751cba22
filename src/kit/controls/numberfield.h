#pragma once
#include <QString>
#include <QWidget>
#include <optional>

class QLineEdit;

// A labelled number box in the LCD look: the label, a box exactly `width` wide and the unit (only
// when not empty). The field never changes the caller's value: it shows it (formatted with at
// most `digits` fraction digits) and reports a newly entered number through committed(), on
// Return and when the box loses focus (not to its own context menu). Callers set the new value
// synchronously in their slot. Return then hands the keyboard back (vkGiveKeyboardHome).
//
// A commit takes text the user typed (or pasted) since the value was last shown, when it is a
// whole-text finite decimal (a comma counts as the decimal point, blanks around it are ignored)
// that differs from the value by more than 0.00001: the shown, rounded text is never committed.
// Afterwards, and when nothing is committed, the box shows the value again, its own text undo
// emptied, so that no old text comes back to be committed later. Escape with typed text shows
// the value again and is consumed. With nothing typed, the Undo and Redo keys are left to the
// window's commands (the box has no text of its own to take back). A value set while the box has focus leaves text the user is
// typing alone; any other text shows the value at once.
class NumberField : public QWidget {
    Q_OBJECT
public:
    NumberField(const QString &label, double value, const QString &unit = {}, int digits = 3, int width = 64,
                QWidget *parent = nullptr);
    ~NumberField() override;

    QString label() const { return label_; }
    double value() const { return value_; }
    void setValue(double value);
    QString unit() const { return unit_; }
    void setUnit(const QString &unit);
    int digits() const { return digits_; }

    QLineEdit *lineEdit() const { return edit_; }
    // The LCD box around the line edit.
    QWidget *box() const { return box_; }

public Q_SLOTS:
    // Runs the commit rule on the typed text now, focus or not (a dialog's default action, and
    // vkCommitPendingEdit before a command).
    void commitPending();

public:

    // The number a text stands for, or nothing when it is not one finite decimal.
    [[nodiscard]] static std::optional<double> parse(const QString &text);

Q_SIGNALS:
    void committed(double value);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Text;
    void showValue();

    QString label_;
    double value_;
    QString unit_;
    int digits_;
    QLineEdit *edit_;
    QWidget *box_;
    Text *unitLabel_;
};
