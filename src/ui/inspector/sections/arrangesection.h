#pragma once
#include "ui/inspector/inspectorsection.h"

#include <QList>

class ChromeRoundButton;
class InspectorGroup;

// The first group whenever anything is selected: "Align to page" for one id, "Align & distribute"
// for more; the six alignments (help texts end in " (to the page)" for one id), then distribute
// left to right and top to bottom (three ids or more), duplicate, group (two ids or more),
// ungroup (a group among the selected elements) and lock. Round buttons of 30, 5 apart, never
// selected. The rules count selected ids and look at kinds, never at locks: the editor refuses
// what its unlocked items do not allow, with its message.
class ArrangeSection : public InspectorSection {
    Q_OBJECT
public:
    explicit ArrangeSection(LWEditor &editor, QWidget *parent = nullptr);

    void refresh() override;

    InspectorGroup *group() const { return group_; }
    // In table order: left, centres, right, top, middles, bottom.
    const QList<ChromeRoundButton *> &alignButtons() const { return align_; }
    ChromeRoundButton *distributeHorizontal() const { return distH_; }
    ChromeRoundButton *distributeVertical() const { return distV_; }
    ChromeRoundButton *duplicateButton() const { return duplicate_; }
    ChromeRoundButton *groupButton() const { return groupButton_; }
    ChromeRoundButton *ungroupButton() const { return ungroup_; }
    ChromeRoundButton *lockButton() const { return lock_; }

private:
    InspectorGroup *group_;
    QList<ChromeRoundButton *> align_;
    ChromeRoundButton *distH_, *distV_, *duplicate_, *groupButton_, *ungroup_, *lock_;
};
