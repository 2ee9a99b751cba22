#include "diagnostics/groups/editingchecks.h"
#include "diagnostics/selftestaids.h"
#include "diagnostics/selftestgroups.h"
#include "model/geometry.h"
#include "templates/templates.h"

#include <algorithm>

namespace LWSelfTest {

namespace {

bool hasID(const QList<LWElement> &list, const QUuid &id)
{
    return std::any_of(list.cbegin(), list.cend(), [&id](const LWElement &e) { return e.id == id; });
}

bool idAt(const QList<LWElement> &list, qsizetype i, const QUuid &id)
{
    return i >= 0 && i < list.size() && list[i].id == id;
}

LWElement blackShape(LWShapeKind kind, const LWRect &frame, const QString &name)
{
    return LWElement::makeShape(kind, frame, LWFill::solid(LWColor::black), std::nullopt, 0, name);
}

// The page point of handle 0 after the element's rotation.
QPointF turnedTopLeft(const LWElement &e)
{
    return LWGeometry::rotation(e).map(LWEditor::handlePoint(0, e.frame));
}

// Steps 3 to 17 of the script: the page of A, B and C.
void arrangeChecks(LWTestRun &run, LWEditor &ed, const QUuid &a, const QUuid &b, const QUuid &c)
{
    const auto all = [&ed](const auto &pred) {
        const QList<LWElement> &list = ed.elements();
        return !list.isEmpty() && std::all_of(list.cbegin(), list.cend(), pred);
    };

    ed.setSelection({a, b, c});
    ed.align(LWAlign::left);
    run.check(all([](const LWElement &e) { return close(e.frame.minX(), 50); }), QStringLiteral("align left edges"));
    ed.align(LWAlign::vMiddle);
    const double midY = ed.elements().isEmpty() ? 0 : ed.elements().first().frame.midY();
    run.check(all([midY](const LWElement &e) { return close(e.frame.midY(), midY); }), QStringLiteral("align middles"));
    ed.undo();
    ed.undo();

    ed.distribute(true);
    QList<LWRect> bounds;
    for (const LWElement &e : ed.elements())
        bounds.append(LWGeometry::bounds(e));
    std::sort(bounds.begin(), bounds.end(), [](const LWRect &l, const LWRect &r) { return l.minX() < r.minX(); });
    run.check(bounds.size() >= 3 && std::abs((bounds[1].minX() - bounds[0].maxX()) -
                                             (bounds[2].minX() - bounds[1].maxX())) <= 0.05,
              QStringLiteral("distribute: equal gaps between items"));

    ed.setSelection({b});
    ed.align(LWAlign::hCenter);
    const std::optional<LWElement> centred = ed.element(b);
    run.check(centred && close(centred->frame.midX(), 306), QStringLiteral("one item aligns to the page center"));

    ed.setSelection({a, b});
    ed.group();
    const auto isPair = [](const LWElement &e) {
        return e.kind == LWElementKind::group && e.children && e.children->size() == 2;
    };
    run.check(ed.elements().size() == 2 && std::any_of(ed.elements().cbegin(), ed.elements().cend(), isPair),
              QStringLiteral("group: two items become one group"));

    // The group grouping selected, moved as a whole, then taken apart.
    const std::optional<LWElement> group = ed.selection().isEmpty() ? std::nullopt : ed.element(ed.selection().first());
    QList<LWElement> members;
    if (group && group->kind == LWElementKind::group) {
        ed.updateElements({group->id}, QStringLiteral("move"), std::nullopt, [](LWElement &e) { e.offset(10, 10); });
        if (const std::optional<LWElement> moved = ed.element(group->id); moved && moved->children)
            members = *moved->children;
        ed.ungroup();
    }
    run.check(!members.isEmpty() && ed.elements().size() == 3 && hasID(ed.elements(), a) && hasID(members, a),
              QStringLiteral("ungroup gives the items back, moved with the group"));

    ed.setSelection({c});
    ed.setLocked(true);
    const std::optional<LWElement> locked = ed.element(c);
    const LWRect lockedFrame = locked ? locked->frame : LWRect();
    ed.nudge(10, 10);
    ed.deleteSelection();
    const std::optional<LWElement> kept = ed.element(c);
    run.check(locked && kept && kept->frame == lockedFrame, QStringLiteral("locked: can't be moved or deleted"));
    run.check(locked && !ed.hitTest(lockedFrame.center(), 1, false),
              QStringLiteral("locked items can't be picked on the page (use Layers)"));
    ed.setLocked(false);

    ed.setSelection({a});
    ed.arrange(LWArrange::front);
    run.check(idAt(ed.elements(), ed.elements().size() - 1, a), QStringLiteral("bring to front"));
    ed.arrange(LWArrange::back);
    run.check(idAt(ed.elements(), 0, a), QStringLiteral("send to back"));
    ed.arrange(LWArrange::forward);
    run.check(idAt(ed.elements(), 1, a), QStringLiteral("bring forward one step"));

    ed.setSelection({b});
    ed.copy();
    ed.paste();
    const QList<LWElement> pasted = ed.selected();
    const std::optional<LWElement> source = ed.element(b);
    run.check(!pasted.isEmpty() && source && pasted.first().id != b &&
                  close(pasted.first().frame.minX(), source->frame.minX() + 9) && ed.elements().size() == 4,
              QStringLiteral("copy + paste: a new item, slightly offset"));
    ed.duplicate();
    run.check(ed.elements().size() == 5, QStringLiteral("duplicate"));
}

} // namespace

void editingChecks(LWTestRun &run, const std::optional<LWDocument> &flyer)
{
    run.begin(QStringLiteral("Editing: align, distribute, group, lock, order, copy / paste, snapping, resize, rotate"));

    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    const LWElement a = blackShape(LWShapeKind::rectangle, LWRect(50, 100, 40, 40), QStringLiteral("A"));
    const LWElement b = blackShape(LWShapeKind::ellipse, LWRect(200, 160, 60, 20), QStringLiteral("B"));
    const LWElement c = blackShape(LWShapeKind::star, LWRect(400, 300, 30, 30), QStringLiteral("C"));
    doc.pages[0].elements = {a, b, c};
    const std::unique_ptr<LWEditor> ed = editor(doc);

    arrangeChecks(run, *ed, a.id, b.id, c.id);

    ed->switchSide(0);
    const LWRect moving(302, 500, 10, 10);
    const LWEditor::SnapResult snapped = ed->snap(moving, {}, 5);
    const bool onCentre = std::any_of(snapped.lines.cbegin(), snapped.lines.cend(),
                                      [](const LWSnapLine &l) { return l.vertical && close(l.position, 306); });
    run.check(close(snapped.offset.x(), -1) && onCentre,
              QStringLiteral("snapping: a box near the center snaps to the page center"));
    ed->setSnapping(false);
    run.check(ed->snap(moving, {}, 5).offset == QPointF(0, 0), QStringLiteral("snapping off: no snap"));

    LWElement r = LWElement::makeShape(LWShapeKind::rectangle, LWRect(100, 100, 80, 40), LWFill::solid(LWColor::black),
                             std::nullopt, 0);
    r.rotation = 30;
    const QPointF p0 = turnedTopLeft(r);
    LWElement resizedR = r;
    resizedR.frame = LWEditor::resized(r, 4, QPointF(220, 190), false, 2);
    const QPointF p1 = turnedTopLeft(resizedR);
    run.check(close(p1.x(), p0.x()) && close(p1.y(), p0.y()) && resizedR.frame.width() > 80,
              QStringLiteral("resizing a rotated item keeps the opposite corner in place"));

    const LWElement s = LWElement::makeShape(LWShapeKind::rectangle, LWRect(0, 0, 100, 50), LWFill::none(),
                                             std::nullopt, 0);
    const LWRect f = LWEditor::resized(s, 4, QPointF(300, 60), true, 2);
    run.check(f.height() > 0 && close(f.width() / f.height(), 2), QStringLiteral("Shift-resize keeps proportions"));

    ed->addGuide(true);
    const QList<double> xs = ed->snapTargets({}).xs;
    run.check(ed->doc().guides.size() == 1 && xs.contains(306.0),
              QStringLiteral("guides are added and act as snap targets"));

    const bool resized = ed->resize(792, 612, QStringLiteral("letter"), 18, true);
    const QList<LWElement> &fitted = ed->elements();
    run.check(resized && ed->doc().width == 792 && std::all_of(fitted.cbegin(), fitted.cend(), [](const LWElement &e) {
                  return e.frame.maxY() <= 612.5;
              }),
              QStringLiteral("change size (landscape) with content scaled to fit"));

    bool backSide = false;
    if (flyer) {
        const std::unique_ptr<LWEditor> second = editor(*flyer);
        second->addBackSide();
        backSide = second->doc().pages.size() == 2 && second->side() == 1;
    }
    run.check(backSide, QStringLiteral("flyers can get a back side"));
}

void editing(LWTestRun &run)
{
    const QList<LWTemplate> &flyers = LWTemplates::flyers();
    editingChecks(run, flyers.isEmpty() ? std::nullopt : std::optional<LWDocument>(flyers.first().make()));
}

} // namespace LWSelfTest
