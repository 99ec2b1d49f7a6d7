#pragma once
// Time as the run loop sees it, in seconds. Hosts use the steady clock; tests and virtual-clock
// runs use the manual clock, which does not tick on its own. Each clock also tells the wall time
// that goes with it, so that dates written and "how long ago" shown follow the same clock.

#include <chrono>

namespace sv {

class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
    virtual std::chrono::system_clock::time_point wallNow() const = 0;
};

class SteadyClock final : public Clock {
public:
    double now() const override;
    std::chrono::system_clock::time_point wallNow() const override { return std::chrono::system_clock::now(); }
};

class ManualClock final : public Clock {
public:
    // Every manual clock starts at the same wall time, so that virtual-clock runs (one process
    // or several) date alike every time they are played.
    static constexpr std::chrono::sys_seconds kWallOrigin { std::chrono::seconds { 1767225600 } }; // 2026-01-01 UTC

    double now() const override { return now_; }
    std::chrono::system_clock::time_point wallNow() const override
    {
        return kWallOrigin + std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::duration<double>(now_));
    }
    void set(double seconds) { now_ = seconds; }

private:
    double now_ = 0;
};

} // namespace sv
