#pragma once
// Time as the run loop sees it. Hosts use the steady clock; tests and virtual-clock runs use the
// manual clock, which moves only when the run loop moves it. Each clock also tells the wall time
// that goes with it, so that dates written and "how long ago" shown follow the same clock.

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
    virtual WallTime wallNow() const = 0;
    // Whether time moves only when moved (advanceTo): a run loop then jumps from one due timer
    // to the next instead of waiting for them.
    virtual bool movesOnlyWhenMoved() const { return false; }
    // Moves such a clock on to time, never back; a clock that moves by itself ignores it.
    virtual void advanceTo(Duration time) { (void)time; }
};

class SteadyClock final : public Clock {
public:
    Duration now() const override;
    WallTime wallNow() const override { return std::chrono::system_clock::now(); }
};

class ManualClock final : public Clock {
public:
    // Every manual clock starts at the same wall time, so that virtual-clock runs (one process
    // or several) date alike every time they are played.
    static constexpr std::chrono::sys_seconds kWallOrigin { std::chrono::seconds { 1767225600 } }; // 2026-01-01 UTC

    Duration now() const override { return now_; }
    WallTime wallNow() const override
    {
        return kWallOrigin + std::chrono::duration_cast<std::chrono::system_clock::duration>(now_);
    }
    bool movesOnlyWhenMoved() const override { return true; }
    void advanceTo(Duration time) override { now_ = std::max(now_, time); }
    void set(Duration time) { now_ = time; }

private:
    Duration now_ { 0 };
};

} // namespace sv
