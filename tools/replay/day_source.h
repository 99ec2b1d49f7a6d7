#pragma once
// Where replayed days come from, one person's days at a time, and the seeded generator's days.

#include "tools/replay/day.h"
#include "tools/replay/synthetic.h"

#include <vector>

namespace replay {

class DaySource {
public:
    virtual ~DaySource() = default;
    virtual long people() const = 0;
    virtual long days() const = 0;
    // The next person's days in time order; false once every person has had theirs.
    virtual bool next(std::vector<Day>& days) = 0;
};

// people x daysEach synthetic days, made as they are asked for.
class SyntheticDays final : public DaySource {
public:
    SyntheticDays(Synthetic generator, int people, int daysEach)
        : generator_(std::move(generator))
        , people_(people)
        , daysEach_(daysEach)
    {
    }
    long people() const override { return people_; }
    long days() const override { return long(people_) * daysEach_; }
    bool next(std::vector<Day>& days) override;

private:
    Synthetic generator_;
    int people_, daysEach_;
    int person_ = 0;
};

} // namespace replay
