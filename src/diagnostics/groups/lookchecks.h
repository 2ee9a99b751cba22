#pragma once
#include "diagnostics/groups/verdict.h"

#include <QColor>
#include <QList>
#include <QSet>
#include <QString>

// The parts of the look checks that judge measured values, apart from the measuring.
namespace LWSelfTest
{

// The accent's sRGB components with two decimals each, run together ("0.120.450.78"); empty
// when the colour is not valid.
QString accentKey(const QColor &accent);
// Seven themes, seven accents.
Verdict accentCheck(const QSet<QString> &keys);
// Exactly seven renders, and their corner samples (r + 10 g + 100 b) cut to hundredths give at
// least six different numbers.
Verdict startScreenCheck(const QList<double> &samples);

} // namespace LWSelfTest
