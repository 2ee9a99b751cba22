#pragma once
#include "editor/editor.h"
#include "model/prefs.h"
#include "model/testflags.h"

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

    LWEditor::Clock clock()
    {
        return {[this] {
                    return std::chrono::steady_clock::time_point(
                        std::chrono::nanoseconds(std::llround(monotonic * 1e9)));
                },
                [this] { return QDateTime::fromMSecsSinceEpoch(wallMs, Qt::UTC); }};
    }
    std::unique_ptr<LWEditor> make(LWDocument doc) { return std::make_unique<LWEditor>(std::move(doc), std::nullopt, clock()); }
    // Both clocks move on together.
    void advance(double seconds)
    {
        monotonic += seconds;
        wallMs += std::llround(seconds * 1000);
    }

    QTemporaryDir dir;
    double monotonic = 0;            // seconds
    qint64 wallMs = 1700000000000;   // ms since 1970
};

// A US card: on the front rectangles a (back-most) and b, then group g holding one child;
// on the back rectangle c.
struct SampleCard {
    LWDocument doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt);
    QUuid a, b, g, child, c;

    SampleCard()
    {
        const auto rect = [](double x, double y, const char *name) {
            return LWElement::makeShape(LWShapeKind::rectangle, LWRect(x, y, 40, 30), LWFill::solid(LWColor::black),
                                        std::nullopt, 0, QString::fromLatin1(name));
        };
        LWElement ea = rect(10, 10, "a"), eb = rect(30, 20, "b"), ec = rect(0, 0, "c"), inner = rect(150, 80, "child");
        LWElement eg(LWElementKind::group, QStringLiteral("g"), inner.frame);
        eg.children = QList<LWElement>{inner};
        a = ea.id, b = eb.id, g = eg.id, child = inner.id, c = ec.id;
        doc.pages[0].elements = {ea, eb, eg};
        doc.pages[1].elements = {ec};
    }
};
