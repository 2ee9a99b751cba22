#pragma once
#include "app/cupsbackend.h"

#include <QByteArray>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// One connection to the scheduler whose every call runs on a thread of its own, waited for in
// short steps that hear a stop, a deadline and the scheduler's silence: a call still waiting then
// is left behind, its connection cut and its waits told to give up, so that it ends within moments
// by itself; the connection closes once nothing uses it. Used by one thread.
class LWCupsLine {
public:
    using Clock = std::chrono::steady_clock;
    // What a call came to: its value, and the scheduler's status and reason read right after it.
    struct Said {
        long value = 0;
        int status = 0;
        QByteArray reason;
    };
    enum class Ended { answered, stopped, silent, late };

    // Silent once the scheduler took and said nothing for `idle` seconds; late after `deadline`.
    LWCupsLine(const LWCupsCalls &cups, double idle, Clock::time_point deadline = Clock::time_point::max());
    ~LWCupsLine();
    LWCupsLine(const LWCupsLine &) = delete;
    LWCupsLine &operator=(const LWCupsLine &) = delete;

    // Connects within the deadline; false when that failed or ended otherwise (see ended()).
    [[nodiscard]] bool open(const LWPrintSteps &steps);
    // `call` over the connection: none when it did not come back (see ended()). It must hold
    // copies of all it uses. A call that `answers` counts as the scheduler heard once back.
    [[nodiscard]] std::optional<Said> run(const std::function<long(_http_s *)> &call, const LWPrintSteps &steps,
                                          bool answers = true);
    // `bytes` more were handed to the connection: taken by the scheduler as they leave it.
    void wrote(long bytes);
    // Why the last open or run did not come back, or answered.
    Ended ended() const { return ended_; }
    // Whether the scheduler has taken and said nothing for the idle limit (a call that came back
    // failed for that).
    bool silent() const;
    // Leaves whatever runs behind and cuts the connection; every later open or run fails.
    void drop();

private:
    struct Shared;
    static int keep(_http_s *http, void *data);
    [[nodiscard]] std::optional<Said> wait(const std::function<Said()> &call, const LWPrintSteps &steps);

    LWCupsCalls cups_;
    double idle_;
    Clock::time_point deadline_;
    std::shared_ptr<Shared> shared_;
    Ended ended_ = Ended::answered;
};
