#pragma once
#include "model/element.h"
#include "ui/inspector/inspectorsection.h"

#include <QUuid>
#include <functional>
#include <optional>

class FillEditor;
class LabeledSlider;
class StrokeEditor;

// A section of one element, found by id on the shown page at each refresh (the routing keeps it
// there, unlocked and of the same kind). Every edit is one updateElements of that id alone,
// locked elements left out.
class ElementSection : public InspectorSection {
    Q_OBJECT
public:
    ElementSection(LWEditor &editor, QUuid id, QWidget *parent = nullptr);

    QUuid id() const { return id_; }
    // The element as read at the last refresh.
    const LWElement &element() const { return element_; }

protected:
    // Reads the element again; keeps the last copy when the id is gone.
    void reread();
    void edit(const QString &label, const std::optional<QString> &key, const std::function<void(LWElement &)> &body);
    // Fill and stroke editors whose hand-overs are written whole under `label`, their keys
    // extended with the id. A line whose outline is switched off keeps black 0.5 pt instead.
    FillEditor *makeFillEditor(const QString &label);
    StrokeEditor *makeStrokeEditor(const QString &label, double defaultWidth);
    // "Corners" on the corner radius ("Corner Radius", key "rad-"); showCorners bounds it by half
    // the frame's shorter side, following the frame (a larger stored radius stays until it moves).
    LabeledSlider *makeCornersSlider();
    void showCorners(LabeledSlider *corners) const;
    // Shows the element's paints and the document colours in the editors, in place.
    void showPaints(FillEditor *fill, StrokeEditor *stroke) const;

private:
    QUuid id_;
    LWElement element_;
};
