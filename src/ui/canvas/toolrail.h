#pragma once
#include "editor/editor.h"

#include <QWidget>
#include <functional>

class ChromeRoundButton;
class VKPopover;

// The strip of tool buttons at the left of the editor screen: one per tool (the current one lit),
// then a button that places a picture from a file. The icon button also opens the icon picker
// beside the rail on every press; a pick sets the icon, then the icon tool, and closes it.
class ToolRail : public QWidget {
    Q_OBJECT
public:
    using Chooser = std::function<void(LWEditor &, QWidget *parent)>; // LWImagePicker::choose by default
    explicit ToolRail(LWEditor &editor, QWidget *parent = nullptr);

    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }
    ChromeRoundButton *toolButton(LWTool tool) const;
    ChromeRoundButton *pictureButton() const { return m_picture; }
    VKPopover *iconPopover() const { return m_popover; } // while open

private:
    void openIconPicker();

    LWEditor &m_editor;
    QList<ChromeRoundButton *> m_tools; // in LWTool order
    ChromeRoundButton *m_picture;
    QWidget *m_panel;
    VKPopover *m_popover = nullptr;
    Chooser m_chooser;
};
