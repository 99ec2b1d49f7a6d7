#pragma once
// Where replayed days come from, one person's days at a time: trace files (the LSApp format, or
// the home-screen host's scenarios, one day a file) or the seeded generator.

#include "tools/replay/day.h"
#include "tools/replay/lsapp.h"
#include "tools/replay/synthetic.h"

#include <istream>
#include <memory>
#include <string>
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

// A home-screen scenario as one day (none when it holds no event).
Trace readScenario(std::istream& in, const std::string& source);

// Trace files, each indexed when added: an LSApp file when its first line is the header or its
// name ends in .tsv (each of its people in turn), otherwise a scenario (its day a person).
class TraceDays final : public DaySource {
public:
    // False, with "sleepvane-replay: cannot read <file>: <why>" on standard error, when the file
    // cannot be read at all.
    bool add(const std::string& path);
    long people() const override;
    long days() const override;
    bool next(std::vector<Day>& days) override;
    int badLines() const { return badLines_; }
    // The files that hold no day of use.
    const std::vector<std::string>& withoutUsage() const { return withoutUsage_; }

private:
    struct File {
        std::unique_ptr<LsappFile> lsapp;
        Day scenario;
    };
    std::vector<File> files_;
    std::vector<std::string> withoutUsage_;
    int badLines_ = 0;
    std::size_t file_ = 0, person_ = 0;
};

} // namespace replay
