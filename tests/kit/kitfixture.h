#pragma once
#include "kit/help/help.h"
#include "kit/host/kithost.h"
#include "model/file/prefs.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Runs each test against a throw-away settings file, never the user's own.
class KitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
    }
    void TearDown() override { LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("spent.ini")))); }

    QTemporaryDir dir;
};

// Host and help state is process-wide: each test starts from a fresh bundle, no host topics and no opener.
class Help : public KitTest {
protected:
    void SetUp() override
    {
        KitTest::SetUp();
        VELKKitHost::setBundleInfo({});
        VELKHelp::setTopics({});
    }
    void TearDown() override
    {
        VELKHelp::setTopics({});
        VELKHelp::setOpener({});
        KitTest::TearDown();
    }
};

// The ids of themes or help topics, in order.
template <typename List> QStringList ids(const List &items)
{
    QStringList out;
    for (const auto &item : items)
        out.append(item.id);
    return out;
}

// A help topic from literals.
inline VELKHelpTopic topic(const char *id, const char *title, const char *body = "Body.", QStringList keywords = {})
{
    return {QString::fromUtf8(id), QString::fromUtf8(title), QString::fromUtf8(body), keywords};
}
