#pragma once
#include "app/printing.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// `work` on a thread of its own, waited for while `steps`' stop is heard: none when the stop came
// first, and the work then ends by itself, unwaited for, with what it holds and makes. Every
// pdfium call of a print goes this way: pdfium cannot be interrupted, and Qt PDF runs one call at
// a time in the whole program, so any call may wait for a band another print left behind.
// `giveUp`, asked at each step too, ends the wait as the stop does.
template <typename T>
std::optional<T> offThread(std::function<T()> work, const LWPrintSteps &steps,
                           const std::function<bool()> &giveUp = {})
{
    struct Answer {
        std::mutex mutex;
        std::condition_variable ready;
        std::optional<T> value;
        bool abandoned = false;
    };
    const auto answer = std::make_shared<Answer>();
    std::thread([answer, work = std::move(work), counted = std::make_unique<LWPrinting::Unfinished>()]() mutable {
        std::optional<T> value = work();
        work = {};
        {
            const std::lock_guard lock(answer->mutex);
            if (!answer->abandoned) {
                answer->value = std::move(value);
                answer->ready.notify_all();
            }
        }
        value.reset();
        counted.reset(); // last: what the work held went first
    }).detach();
    std::unique_lock lock(answer->mutex);
    while (!answer->ready.wait_for(lock, std::chrono::milliseconds(20), [&] { return answer->value.has_value(); }))
        if (steps.stopped() || (giveUp && giveUp())) {
            answer->abandoned = true;
            return std::nullopt;
        }
    return std::move(answer->value);
}
