#pragma once
#include "editor/editor.h"
#include "model/file/prefs.h"
#include "model/testflags.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

// Editors under test read and write a throw-away settings file and an injected clock.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
        VELKTestFlags::running = false;
    }
    void TearDown() override
    {
        VELKTestFlags::running = false;
        LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("spent.ini"))));
    }
    std::unique_ptr<LWEditor> make(LWDocument doc, QList<QUuid> selection = {})
    {
        LWEditor::Clock clock{[this] {
                                  return std::chrono::steady_clock::time_point(
                                      std::chrono::nanoseconds(std::llround(monotonic * 1e9)));
                              },
                              [this] { return QDateTime::fromMSecsSinceEpoch(wallMs, Qt::UTC); }};
        auto ed = std::make_unique<LWEditor>(std::move(doc), std::nullopt, std::move(clock));
        ed->setSelection(std::move(selection));
        return ed;
    }
    void advance(double seconds) // both clocks move on together
    {
        monotonic += seconds;
        wallMs += std::llround(seconds * 1000);
    }

    QTemporaryDir dir;
    double monotonic = 0;          // seconds
    qint64 wallMs = 1700000000000; // ms since 1970
};

// A black rectangle, by default 40 x 30 at the origin.
inline LWElement rect(const QString &name, const LWRect &frame = {0, 0, 40, 30}, bool locked = false)
{
    LWElement e = LWElement::makeShape(LWShapeKind::rectangle, frame, LWFill::solid(LWColor::black), std::nullopt, 0,
                                       name);
    e.locked = locked;
    return e;
}
inline LWElement box(const LWRect &frame) { return rect(QString(), frame); }

inline LWElement groupOf(const QList<LWElement> &children, const QString &name = QStringLiteral("G"))
{
    LWRect frame = children.first().frame;
    for (const LWElement &c : children)
        frame = frame.united(c.frame);
    LWElement g(LWElementKind::group, name, frame);
    g.children = children;
    return g;
}

// A Letter flyer (612 x 792) whose one page holds the elements.
inline LWDocument letter(const QList<LWElement> &elements = {})
{
    LWDocument doc = LWDocument::blank(LWSizePreset::letter, std::nullopt);
    doc.pages[0].elements = elements;
    return doc;
}

inline QStringList names(const QList<LWElement> &list)
{
    QStringList out;
    for (const LWElement &e : list)
        out << e.name;
    return out;
}
inline QList<QUuid> ids(const QList<LWElement> &list)
{
    QList<QUuid> out;
    for (const LWElement &e : list)
        out << e.id;
    return out;
}

// A US card: on the front rectangles a (back-most) and b, then group g holding one child;
// on the back rectangle c.
struct SampleCard {
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    QUuid a, b, g, child, c;

    SampleCard()
    {
        const LWElement ea = rect("a", {10, 10, 40, 30}), eb = rect("b", {30, 20, 40, 30}), ec = rect("c"),
                        eg = groupOf({rect("child", {150, 80, 40, 30})}, "g");
        a = ea.id, b = eb.id, g = eg.id, child = eg.children->first().id, c = ec.id;
        doc.pages[0].elements = {ea, eb, eg};
        doc.pages[1].elements = {ec};
    }
};
