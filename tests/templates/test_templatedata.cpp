#include "templates/templatedata.h"

#include <gtest/gtest.h>

TEST(TemplateData, UnknownKeysFallBack)
{
    EXPECT_EQ(LWTemplates::palette(QStringLiteral("nope")).name, QStringLiteral("navyGold"));
    EXPECT_EQ(LWTemplates::fonts(QStringLiteral("nope")).name, QStringLiteral("modern"));
}
