#pragma once
#include <QWidget>

class LWApp;
class LWEditor;
class CanvasArea;
class CanvasToolbar;
class EditorKeys;
class Inspector;
class LayersPanel;
class ToolRail;

// The screen on which one open design is edited: from left to right the tool rail, the layers
// list (220 wide), the canvas toolbar over the canvas area (clipped to a rounded rectangle with
// a chrome rim), and the inspector (300 wide), all over the same editor. While shown it holds the
// single-key shortcuts (EditorKeys), installed on show and removed on hide.
class EditorScreen : public QWidget {
    Q_OBJECT
public:
    EditorScreen(LWApp &app, LWEditor &editor, QWidget *parent = nullptr);

    ToolRail *rail() const { return m_rail; }
    LayersPanel *layers() const { return m_layers; }
    CanvasToolbar *toolbar() const { return m_toolbar; }
    CanvasArea *canvas() const { return m_canvas; }
    Inspector *inspector() const { return m_inspector; }
    EditorKeys *keys() const { return m_keys; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    ToolRail *m_rail;
    LayersPanel *m_layers;
    CanvasToolbar *m_toolbar;
    CanvasArea *m_canvas;
    Inspector *m_inspector;
    EditorKeys *m_keys;
};
