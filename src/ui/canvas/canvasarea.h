#pragma once
#include "ui/canvas/pagecanvas.h"

#include <QSizeF>
#include <QWidget>

class QScrollArea;
class CanvasContent;

// The centre of the editor screen: a fixed dotted backdrop behind a frameless scroll view that
// holds the page view with a 35-point margin, centred while it fits. Publishes the fit scale
// (the whole page with its bleed inside the area less the margins) to the editor when it moves
// by more than 0.0005, on show, resize and design changes; the page view's scale is fit x zoom.
class CanvasArea : public QWidget {
    Q_OBJECT
public:
    static constexpr double pad = 35;
    explicit CanvasArea(LWEditor &editor, QWidget *parent = nullptr);

    // max(0.05, the smaller of (W - 70) / (width + 2 bleed) and (H - 70) / (height + 2 bleed)).
    static double fit(QSizeF area, const LWDocument &doc);

    PageCanvas *page() const { return m_page; }
    QScrollArea *scrollArea() const { return m_scroll; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void relayout();

    LWEditor &m_editor;
    QScrollArea *m_scroll;
    CanvasContent *m_content;
    PageCanvas *m_page;
};
