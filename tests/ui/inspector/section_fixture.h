#pragma once
#include "inspector_fixture.h"
#include "kit/controls/labeledslider.h"
#include "kit/controls/numberfield.h"
#include "ui/inspector/inspectorsection.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include <memory>

// Sections under test: an editor on the injected clock, and a section refreshed after every
// editor change as the inspector's routing does.
class SectionTest : public InspectorTest {
protected:
    void open(LWDocument doc, QList<QUuid> selection)
    {
        section.reset();
        ed = make(std::move(doc), std::move(selection));
    }
    template <class Section, class... Args> Section *show(Args &&...args)
    {
        auto *s = new Section(*ed, std::forward<Args>(args)...);
        section.reset(s);
        QObject::connect(ed.get(), &LWEditor::docChanged, s, &InspectorSection::refresh);
        QObject::connect(ed.get(), &LWEditor::selectionChanged, s, &InspectorSection::refresh);
        s->resize(276, s->sizeHint().height());
        s->show();
        return s;
    }
    LWElement el(const QUuid &id) const { return *ed->element(id); }
    qsizetype steps() const { return ed->undoStack().size(); }

    std::unique_ptr<LWEditor> ed;
    std::unique_ptr<InspectorSection> section;
};

// Types `text` into the field and commits it as Return would.
inline void commit(NumberField *field, const QString &text)
{
    field->lineEdit()->selectAll();
    field->lineEdit()->insert(text); // as typed: only typed text commits
    field->commitPending();
}

// Sends one mouse event at a fractional x, as a trackpad may.
inline void mouseAt(QWidget *w, QEvent::Type type, double x, Qt::MouseButtons buttons)
{
    const QPointF pos(x, 10);
    QMouseEvent event(type, pos, w->mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
}

// The pointer x at which the slider writes `value`, inside its track.
inline double sliderX(const LWSlider *s, double value)
{
    return 8 + LWSlider::fraction(value, s->lower(), s->upper()) * (s->width() - 16);
}

// Presses the row's slider where it writes `value` (one write), and releases it there.
inline void slideTo(LabeledSlider *row, double value)
{
    LWSlider *s = row->slider();
    const double x = sliderX(s, value);
    mouseAt(s, QEvent::MouseButtonPress, x, Qt::LeftButton);
    mouseAt(s, QEvent::MouseButtonRelease, x, Qt::NoButton);
}
