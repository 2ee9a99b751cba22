#pragma once
#include <QMenu>

// The "Theme" menu: one checkable item per theme of VELKThemes::all() at construction, in order.
// Choosing one stores its id; the check follows the stored text on every write of the key, so a
// stored id that no item has checks none. Main thread only.
class VELKThemeCommands : public QMenu {
    Q_OBJECT
public:
    explicit VELKThemeCommands(QWidget *parent = nullptr);

private:
    void syncChecks();
};
