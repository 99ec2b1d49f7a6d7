#pragma once
// The main run loop of a process: one-shot timers, file-descriptor sources and a clock.

#include "platform/foundation/clock.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace sv {

class RunLoop {
public:
    using TimerId = std::uint64_t;
    using SourceId = std::uint64_t;

    static RunLoop& main();

    RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // Replaces the clock; pending timers keep their fire times.
    void setClock(std::shared_ptr<Clock> clock);
    const Clock& clock() const { return *clock_; }
    Clock::Duration now() const { return clock_->now(); }
    // The wall time of the same clock: dates and "how long ago" read this, never the system's.
    Clock::WallTime wallNow() const { return clock_->wallNow(); }

    // A one-shot timer firing after interval seconds. The action (and whatever it captures) is
    // kept until the timer has fired, then destroyed.
    TimerId scheduleTimer(double interval, std::function<void()> action);
    bool cancelTimer(TimerId timer);
    std::size_t pendingTimers() const { return timers_.size(); }
    // Drops every pending timer unfired (tests starting afresh).
    void removeAllTimers() { timers_.clear(); }

    SourceId addSource(int fd, std::function<void()> onReadable);
    void removeSource(SourceId source);

    // Waits at most maxWait seconds for a source or a timer, then dispatches what is ready.
    void runOnce(double maxWait);
    // Runs for the given time: with a clock that moves by itself by waiting, with one that moves
    // only when moved by moving it from one due timer to the next and delivering every ready
    // source before each move. It returns on time: at the end, only timers due by then fire, not
    // those they arm.
    void runFor(double seconds);
    // Runs until stop().
    void run();
    void stop() { stopped_ = true; }
    bool stopped() const { return stopped_; }

    // Dispatches every source that is readable now, without waiting, until none is.
    void drainSources();

private:
    struct TimerKey {
        double fireAt;
        TimerId id;
        bool operator<(const TimerKey& other) const
        {
            return fireAt != other.fireAt ? fireAt < other.fireAt : id < other.id;
        }
    };

    bool fireNextDueTimer(double upTo);
    double nowSeconds() const { return clock_->now().count(); }
    bool dispatchSources(int timeoutMilliseconds);

    std::shared_ptr<Clock> clock_;
    std::map<TimerKey, std::function<void()>> timers_;
    std::map<SourceId, std::pair<int, std::function<void()>>> sources_;
    std::uint64_t nextId_ = 1;
    bool stopped_ = false;
};

} // namespace sv
