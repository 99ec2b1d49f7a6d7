#include "platform/foundation/run_loop.h"

#include "platform/runtime/object.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <poll.h>

namespace sv {

Clock::Duration SteadyClock::now() const
{
    return std::chrono::steady_clock::now().time_since_epoch();
}

RunLoop& RunLoop::main()
{
    static RunLoop loop;
    return loop;
}

RunLoop::RunLoop() : clock_(std::make_shared<SteadyClock>()) { }

void RunLoop::setClock(std::shared_ptr<Clock> clock)
{
    clock_ = std::move(clock);
}

RunLoop::TimerId RunLoop::scheduleTimer(double interval, std::function<void()> action)
{
    TimerId id = nextId_++;
    timers_.emplace(TimerKey { nowSeconds() + std::max(0.0, interval), id }, std::move(action));
    return id;
}

bool RunLoop::cancelTimer(TimerId timer)
{
    auto found = std::find_if(timers_.begin(), timers_.end(), [&](const auto& entry) { return entry.first.id == timer; });
    if (found == timers_.end())
        return false;
    timers_.erase(found);
    return true;
}

RunLoop::SourceId RunLoop::addSource(int fd, std::function<void()> onReadable)
{
    SourceId id = nextId_++;
    sources_.emplace(id, std::make_pair(fd, std::move(onReadable)));
    return id;
}

void RunLoop::removeSource(SourceId source)
{
    sources_.erase(source);
}

bool RunLoop::fireNextDueTimer(double upTo)
{
    if (timers_.empty() || timers_.begin()->first.fireAt > upTo)
        return false;
    auto node = timers_.extract(timers_.begin());
    rt::AutoreleasePool pool;
    node.mapped()();
    return true;
}

bool RunLoop::dispatchSources(int timeoutMilliseconds)
{
    if (sources_.empty()) {
        if (timeoutMilliseconds > 0) {
            struct timespec pause { timeoutMilliseconds / 1000, (timeoutMilliseconds % 1000) * 1000000L };
            while (nanosleep(&pause, &pause) != 0 && errno == EINTR) { }
        }
        return false;
    }
    std::vector<pollfd> fds;
    std::vector<SourceId> ids;
    for (const auto& [id, source] : sources_) {
        fds.push_back({ source.first, POLLIN, 0 });
        ids.push_back(id);
    }
    int ready = ::poll(fds.data(), fds.size(), timeoutMilliseconds);
    if (ready <= 0)
        return false;
    bool dispatched = false;
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        auto found = sources_.find(ids[i]);
        if (found == sources_.end())
            continue;
        // The callback may remove its own source; call a copy.
        auto callback = found->second.second;
        rt::AutoreleasePool pool;
        callback();
        dispatched = true;
    }
    return dispatched;
}

void RunLoop::drainSources()
{
    for (int round = 0; round < 10000 && dispatchSources(0); ++round) { }
}

void RunLoop::runOnce(double maxWait)
{
    double wait = std::max(0.0, maxWait);
    // A clock that moves only when moved moves only through runFor; meanwhile the loop just
    // waits for sources.
    if (!timers_.empty() && !clock_->movesOnlyWhenMoved())
        wait = std::min(wait, std::max(0.0, timers_.begin()->first.fireAt - nowSeconds()));
    int milliseconds = static_cast<int>(std::min(std::ceil(wait * 1000), 3600e3));
    dispatchSources(milliseconds);
    double current = nowSeconds();
    while (!stopped_ && fireNextDueTimer(current)) { }
}

void RunLoop::runFor(double seconds)
{
    double deadline = nowSeconds() + std::max(0.0, seconds);
    if (clock_->movesOnlyWhenMoved()) {
        drainSources();
        while (!stopped_ && !timers_.empty() && timers_.begin()->first.fireAt <= deadline) {
            clock_->advanceTo(Clock::Duration(timers_.begin()->first.fireAt));
            fireNextDueTimer(nowSeconds());
            drainSources();
        }
        clock_->advanceTo(Clock::Duration(deadline));
        drainSources();
        return;
    }
    while (!stopped_ && nowSeconds() < deadline)
        runOnce(deadline - nowSeconds());
    drainSources();
    // Only what fell due by the wait's end: work that re-arms itself from turn to turn would
    // otherwise run to its end here, however long that takes.
    double end = nowSeconds();
    while (!stopped_ && fireNextDueTimer(end)) { }
}

void RunLoop::run()
{
    while (!stopped_)
        runOnce(3600);
}

} // namespace sv
