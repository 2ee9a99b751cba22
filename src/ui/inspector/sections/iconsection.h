#pragma once
#include "kit/controls/popover.h"
#include "ui/inspector/sections/elementsection.h"

#include <QPointer>

class ChipButton;
class FillEditor;
class IconGlyph;
class InspectorGroup;
class InspectorLabel;
class StrokeEditor;

// The section of one icon element. "Icon": a white 34 × 34 preview of the icon ("star" without
// an id), its title, and "Change…", which opens the icon picker in a popover at the row; a pick
// is one "Change Icon" step setting the icon and the name "Icon: <id>", then the popover closes;
// closing it otherwise changes nothing. "Color" edits the fill ("Icon Color"), "Outline" the
// stroke (1 pt when switched on).
class IconSection : public ElementSection {
    Q_OBJECT
public:
    static constexpr int previewSize = 34;

    IconSection(LWEditor &editor, QUuid id, QWidget *parent = nullptr);

    void refresh() override;

    IconGlyph *preview() const { return preview_; }
    InspectorLabel *title() const { return title_; }
    ChipButton *changeButton() const { return change_; }
    FillEditor *fillEditor() const { return fill_; }
    StrokeEditor *strokeEditor() const { return stroke_; }
    // The open picker's popover, or null.
    VKPopover *popover() const { return popover_; }
    void openPicker();

private:
    void pick(const QString &icon);

    QWidget *row_;
    IconGlyph *preview_;
    InspectorLabel *title_;
    ChipButton *change_;
    FillEditor *fill_;
    StrokeEditor *stroke_;
    QPointer<VKPopover> popover_;
};
