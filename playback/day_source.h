#pragma once
// Where replayed days come from, one person's days at a time, and the seeded generator's days.

#include "playback/day.h"
#include "playback/synthetic.h"

#include <memory>
#include <vector>

namespace replay {

// One person's days, handed out one at a time in time order, so that a player need hold only the
// day it plays.
class PersonDays {
public:
    virtual ~PersonDays() = default;
    // The next day; false once the person has no more.
    virtual bool next(Day& day) = 0;
};

// Days already made (a trace's), handed out in turn.
class HeldDays final : public PersonDays {
public:
    explicit HeldDays(std::vector<Day> days)
        : days_(std::move(days))
    {
    }
    bool next(Day& day) override;

private:
    std::vector<Day> days_;
    std::size_t next_ = 0;
};

class DaySource {
public:
    virtual ~DaySource() = default;
    virtual long people() const = 0;
    virtual long days() const = 0;
    // The next person's days; null once every person has had theirs.
    virtual std::unique_ptr<PersonDays> nextPerson() = 0;
    // The next person's days whole; false once every person has had theirs.
    bool next(std::vector<Day>& days);
};

// people x daysEach synthetic days, each made when it is asked for.
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
    std::unique_ptr<PersonDays> nextPerson() override;

private:
    Synthetic generator_;
    int people_, daysEach_;
    int person_ = 0;
};

} // namespace replay
