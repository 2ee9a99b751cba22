#include "render/pictures/pictureclock.h"

#include "render/pictures/picturequeue.h"

#include <atomic>

namespace {

std::atomic<std::chrono::steady_clock::rep> moved{0};

} // namespace

namespace LWPictureClock {

Time now() { return std::chrono::steady_clock::now() + std::chrono::steady_clock::duration(moved.load()); }

void advanceForTests(std::chrono::milliseconds by)
{
    moved += std::chrono::duration_cast<std::chrono::steady_clock::duration>(by).count();
    LWPictureQueue::shared().wake();
}

} // namespace LWPictureClock
