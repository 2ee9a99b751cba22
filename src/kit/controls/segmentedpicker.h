#pragma once
#include <QAbstractButton>
#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QLabel;

// A row of mutually exclusive choices: an optional label, then one checkable segment per title,
// all segments as wide as each other, in an exclusive QButtonGroup. A width > 0 fixes the width
// of the whole picker, label included. Titles are plain text. Colours are read when painting.
// A segment given a symbol draws that VKSymbols image instead of its title, which stays its
// accessible name and tooltip. A disabled segment (or picker) is drawn faded.
class SegmentedPicker : public QWidget {
    Q_OBJECT
public:
    SegmentedPicker(const QString &label, const QStringList &segments, int width = 0, QWidget *parent = nullptr);

    // The checked segment, or -1 before any is set.
    int current() const;
    // Checks a segment without emitting picked(); an index out of range is ignored.
    void setCurrent(int index);

    int count() const;
    // Draws the named symbol (14 px) in place of the segment's title; an index out of range is ignored.
    void setSymbol(int index, const QString &symbol);
    QAbstractButton *segment(int index) const;
    QButtonGroup *group() const { return group_; }
    // Nothing when the label is empty.
    QLabel *label() const { return label_; }

Q_SIGNALS:
    // A segment the user chose, also when it was already checked.
    void picked(int index);

private:
    QButtonGroup *group_;
    QLabel *label_ = nullptr;
};
