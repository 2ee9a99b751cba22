#pragma once
#include "editor/editor.h"

#include <QWidget>

class QHBoxLayout;
class QMenu;
class QAbstractButton;

// The row above the canvas: a toggle per side of a two-sided design, the five view toggles, the
// guides menu and the canvas zoom with its read-out. Keeps no state: every control follows its
// editor field; only the side toggles are rebuilt, when the page names change.
class CanvasToolbar : public QWidget {
    Q_OBJECT
public:
    explicit CanvasToolbar(LWEditor &editor, QWidget *parent = nullptr);

    // "344%": fit scale x canvas zoom as a whole percentage, rounded as C's printf rounds.
    [[nodiscard]] static QString zoomText(double fitScale, double canvasZoom);

    QMenu *guidesMenu() const { return m_guides; }
    QAbstractButton *guidesButton() const { return m_guidesButton; }
    QList<QWidget *> sideToggles() const { return m_sides; }

private:
    void rebuildSides();
    void openGuides();

    LWEditor &m_editor;
    QHBoxLayout *m_row;
    QList<QWidget *> m_sides; // the toggles and their rule
    QStringList m_sideNames;
    QMenu *m_guides;
    QAbstractButton *m_guidesButton;
};
