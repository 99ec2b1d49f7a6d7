#pragma once
// Time as the run loop sees it. Hosts use the steady clock; tests and virtual-clock runs use the
// manual clock, which moves only when the run loop moves it. Both tell the same wall time, the
// system's: dates are compared across processes and with the file system's times, whatever
// clock each process runs on.

#include <algorithm>
#include <chrono>

namespace sv {

class Clock {
public:
    // Seconds since the clock's own start: only differences mean anything.
    using Duration = std::chrono::duration<double>;
    using WallTime = std::chrono::system_clock::time_point;

    virtual ~Clock() = default;
    virtual Duration now() const = 0;
    virtual WallTime wallTime() const;
    // Whether time moves only when moved (advanceTo): a run loop then jumps from one due timer
    // to the next instead of waiting for them.
    virtual bool movesOnlyWhenMoved() const { return false; }
    // Moves such a clock on to time, never back; a clock that moves by itself ignores it.
    virtual void advanceTo(Duration time) { (void)time; }
};

class SteadyClock final : public Clock {
public:
    Duration now() const override;
};

class ManualClock final : public Clock {
public:
    Duration now() const override { return now_; }
    bool movesOnlyWhenMoved() const override { return true; }
    void advanceTo(Duration time) override { now_ = std::max(now_, time); }
    void set(Duration time) { now_ = time; }

private:
    Duration now_ { 0 };
};

} // namespace sv
