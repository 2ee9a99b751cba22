#include "app/cupsline.h"

#include "app/offthread.h"

#include <algorithm>
#include <atomic>

struct LWCupsLine::Shared {
    LWCupsCalls cups;
    double idle;
    Clock::time_point deadline;
    std::atomic<bool> quit{false}, cut{false};
    int cancel = 0; // libcups' connect reads it; written with __atomic_store_n
    std::atomic<_http_s *> http{nullptr};
    std::atomic<Clock::rep> moved{Clock::now().time_since_epoch().count()};
    std::atomic<long> unsent{0}; // what was unsent at the last look, with what was written since

    ~Shared()
    {
        if (_http_s *h = http.load())
            cups.close(h);
    }
    void move() { moved = Clock::now().time_since_epoch().count(); }
    void look()
    {
        _http_s *h = http.load();
        if (!cups.unsent || !h)
            return;
        const long now = cups.unsent(h);
        if (now < 0)
            return;
        if (now < unsent.exchange(now))
            move();
    }
    bool silent() const
    {
        return Clock::now() - Clock::time_point(Clock::duration(moved.load())) > std::chrono::duration<double>(idle);
    }
    bool late() const { return Clock::now() > deadline; }
};

LWCupsLine::LWCupsLine(const LWCupsCalls &cups, double idle, Clock::time_point deadline)
    : cups_(cups), idle_(idle), deadline_(deadline), shared_(std::make_shared<Shared>())
{
    shared_->cups = cups;
    shared_->idle = idle;
    shared_->deadline = deadline;
}

LWCupsLine::~LWCupsLine() = default;

int LWCupsLine::keep(_http_s *, void *data)
{
    auto *s = static_cast<Shared *>(data);
    s->look();
    return s->quit || s->silent() || s->late() ? 0 : 1;
}

bool LWCupsLine::silent() const { return shared_->silent(); }

void LWCupsLine::wrote(long bytes)
{
    if (!cups_.unsent)
        shared_->move(); // nothing tells what the scheduler took: a call come back must do
    else
        shared_->unsent += bytes;
    shared_->look();
}

void LWCupsLine::drop()
{
    shared_->quit = true;
    __atomic_store_n(&shared_->cancel, 1, __ATOMIC_SEQ_CST);
    _http_s *h = shared_->http.load();
    if (h && cups_.interrupt && !shared_->cut.exchange(true))
        cups_.interrupt(h);
}

std::optional<LWCupsLine::Said> LWCupsLine::wait(const std::function<Said()> &call, const LWPrintSteps &steps)
{
    if (shared_->quit)
        return std::nullopt;
    Ended why = Ended::answered;
    // The call holds what it uses, the connection among it: it may outlive this wait.
    std::optional<Said> said = offThread<Said>([shared = shared_, call] { return call(); }, steps, [&] {
        shared_->look();
        why = shared_->silent() ? Ended::silent : shared_->late() ? Ended::late : Ended::answered;
        return why != Ended::answered;
    });
    ended_ = said ? Ended::answered : why == Ended::answered ? Ended::stopped : why;
    if (!said)
        drop();
    return said;
}

bool LWCupsLine::open(const LWPrintSteps &steps)
{
    using namespace std::chrono;
    const double left = deadline_ == Clock::time_point::max()
                            ? idle_
                            : std::min(idle_, duration<double>(deadline_ - Clock::now()).count());
    // A little past this line's own limits, which are told as such, not as a refusal.
    const int msec = int(std::clamp(left * 1000 + 500, 1.0, 1e9));
    Shared *s = shared_.get();
    const std::optional<Said> said = wait(
        [s, msec] {
            Said said;
            _http_s *h = s->cups.connect(&s->cancel, msec);
            if (h && s->cups.setTimeout)
                s->cups.setTimeout(h, LWCupsBackend::waitStep, &LWCupsLine::keep, s);
            s->http = h;
            said.value = h != nullptr;
            return said;
        },
        steps);
    if (said && said->value)
        shared_->move();
    return said && said->value;
}

std::optional<LWCupsLine::Said> LWCupsLine::run(const std::function<long(_http_s *)> &call, const LWPrintSteps &steps,
                                                bool answers)
{
    _http_s *h = shared_->http.load();
    if (!h)
        return std::nullopt;
    const LWCupsCalls cups = cups_;
    std::optional<Said> said = wait(
        [cups, h, call] {
            Said said;
            said.value = call(h);
            said.status = cups.lastError ? cups.lastError() : 0;
            if (cups.lastErrorString)
                said.reason = cups.lastErrorString();
            return said;
        },
        steps);
    if (said && answers && !shared_->silent()) // one that failed for the silence does not end it
        shared_->move();
    return said;
}
