// Builds the whole library on four threads. A program of its own, so that the tables' first use
// really happens on several threads at once. Saving, icons and preflight are test_library's.
#include "masked.h"
#include "render/text/fonts.h"
#include "templates/templates.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

namespace {

TEST(TemplateLibrary, EveryTemplateBuildsTheSameOnFourThreads)
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
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(masked(list[i].make()), masked(parallel[i])) << list[i].id.toStdString();
}

} // namespace
