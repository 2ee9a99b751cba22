// Builds the whole library. A program of its own, so that the tables' first use really happens
// on several threads at once.
#include "masked.h"
#include "model/documentio.h"
#include "render/fonts.h"
#include "render/icons.h"
#include "render/preflight.h"
#include "templates/templates.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

namespace {

TEST(TemplateLibrary, EveryTemplateBuildsTheSameOnFourThreadsAndIsPrintable)
{
    LWFonts::registerBundled(); // on the main thread, before any text is measured
    constexpr int threads = 4, count = 500;
    std::vector<LWDocument> parallel(count);
    std::latch start(threads);
    std::vector<std::thread> workers;
    for (int w = 0; w < threads; ++w) {
        workers.emplace_back([&, w] {
            start.arrive_and_wait();
            const QList<LWTemplate> &list = LWTemplates::all(); // first use, on all four at once
            for (int i = w; i < list.size(); i += threads)
                parallel[i] = list[i].make();
        });
    }
    for (std::thread &t : workers)
        t.join();

    const QList<LWTemplate> &list = LWTemplates::all();
    ASSERT_EQ(list.size(), count);
    const QStringList icons = LWIcons::names();
    for (int i = 0; i < count; ++i) {
        const LWDocument doc = list[i].make();
        const std::string id = list[i].id.toStdString();
        EXPECT_EQ(masked(doc), masked(parallel[i])) << id;
        EXPECT_TRUE(LWDocumentIO::encode(doc).ok()) << id;
        for (const LWElement &e : doc.allElements())
            EXPECT_TRUE(!e.icon || icons.contains(*e.icon)) << id << " " << e.icon->toStdString();
        for (const LWExport::Issue &issue : LWExport::preflight(doc))
            EXPECT_NE(issue.level, LWExport::Issue::Level::problem)
                << id << " " << issue.message.toStdString();
    }
}

} // namespace
