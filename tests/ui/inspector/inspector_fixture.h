#pragma once
#include "editor/editor_fixture.h"
#include "model/style.h"

#include <QList>
#include <QString>
#include <QWidget>
#include <gtest/gtest.h>

#include <optional>

// Inspector pieces run on the editor tests' throw-away settings.
using InspectorTest = EditorTest;

// What an editor block handed its caller, one entry per changed() signal.
template <class Value> struct Handed {
    Value value;
    std::optional<QString> key;
};

// Whether each widget would show while its block is shown.
inline QList<bool> shown(QWidget &block, std::initializer_list<QWidget *> widgets)
{
    QList<bool> out;
    for (QWidget *w : widgets)
        out << w->isVisibleTo(&block);
    return out;
}

inline void expectColor(const LWColor &got, const LWColor &want, double tolerance = 1e-12)
{
    EXPECT_NEAR(got.r, want.r, tolerance);
    EXPECT_NEAR(got.g, want.g, tolerance);
    EXPECT_NEAR(got.b, want.b, tolerance);
    EXPECT_NEAR(got.a, want.a, tolerance);
}
