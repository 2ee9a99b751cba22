// Precompiled once for every test program (lw_test reuses it): GoogleTest and QTest with the
// headers of the libraries' own set.
#pragma once
#include "widgets.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
