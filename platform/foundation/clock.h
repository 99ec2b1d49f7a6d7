#pragma once
// Time as the run loop sees it, in seconds. Hosts use the steady clock; tests and virtual-clock
// runs use the manual clock, which does not tick on its own.

namespace sv {

class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
};

class SteadyClock final : public Clock {
public:
    double now() const override;
};

class ManualClock final : public Clock {
public:
    double now() const override { return now_; }
    void set(double seconds) { now_ = seconds; }

private:
    double now_ = 0;
};

} // namespace sv
