#include "platform/foundation/run_loop.h"

#include "platform/runtime/object.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <poll.h>

namespace sv {

double SteadyClock::now() const
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
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
    manual_ = dynamic_cast<ManualClock*>(clock_.get());
}

RunLoop::TimerId RunLoop::scheduleTimer(double interval, std::function<void()> action)
{
    TimerId id = nextId_++;
    timers_.emplace(TimerKey { now() + std::max(0.0, interval), id }, std::move(action));
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
    // The manual clock moves only through runFor; meanwhile the loop just waits for sources.
    if (!timers_.empty() && !manual_)
        wait = std::min(wait, std::max(0.0, timers_.begin()->first.fireAt - now()));
    int milliseconds = static_cast<int>(std::min(std::ceil(wait * 1000), 3600e3));
    dispatchSources(milliseconds);
    double current = now();
    while (!stopped_ && fireNextDueTimer(current)) { }
}

void RunLoop::runFor(double seconds)
{
    double deadline = now() + std::max(0.0, seconds);
    if (manual_) {
        drainSources();
        while (!stopped_ && !timers_.empty() && timers_.begin()->first.fireAt <= deadline) {
            manual_->set(std::max(manual_->now(), timers_.begin()->first.fireAt));
            fireNextDueTimer(manual_->now());
            drainSources();
        }
        manual_->set(std::max(manual_->now(), deadline));
        drainSources();
        return;
    }
    while (!stopped_ && now() < deadline)
        runOnce(deadline - now());
    drainSources();
    while (!stopped_ && fireNextDueTimer(now())) { }
}

void RunLoop::run()
{
    while (!stopped_)
        runOnce(3600);
}

} // namespace sv
