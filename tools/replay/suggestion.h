#pragma once
// A threshold suggested from this phone's own diary, for the settings pane: the diary's days
// (diary_trace.h) replayed on the device the diary shows, under the rules the phone uses with a
// diary (Learn From Use is on, and its lists), and the recommendation the tool makes of such
// figures (recommend.h): the lowest threshold at which the system killed nothing on enough days.
// The slider's values are played upwards until one qualifies (the lowest that does is the one
// the tool recommends from all of them), then the slider's own value, for what it costs. Nothing
// above the slider is played: the rules read a threshold above it as its top (contract/threshold.h),
// so no higher one would close anything more. The work goes a step at a time (reading the diary,
// then one day at one threshold a step), so that a caller can spread it over turns of its run
// loop.

#include "tools/replay/diary_trace.h"
#include "tools/replay/recommend.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace replay {

struct SliderRange {
    int minimum = 30, maximum = 300, step = 5;
};

class Suggestion {
public:
    static constexpr long kLeastDays = 2;
    static constexpr const char* kPolicy = "learn-from-use";

    // TooLittle: fewer than kLeastDays days of use, or a diary that holds anything that is no line
    // of one (the library sets such a diary aside); None: none of the slider's values qualifies.
    enum class Outcome { TooLittle, Within, None };

    // diary: the diary's text; current: the threshold the slider shows; lists: the settings file's.
    Suggestion(std::string diary, SliderRange slider, int current, Lists lists);
    Suggestion(const Suggestion&) = delete;
    Suggestion& operator=(const Suggestion&) = delete;

    // One step of the work; false once none is left.
    bool step();
    bool done() const { return done_; }

    // Once done:
    Outcome outcome() const { return outcome_; }
    // Within: the threshold to suggest.
    int threshold() const { return recommendation_.threshold.value_or(0); }
    // Days of use replayed.
    long days() const { return days_; }
    // The figures at a threshold played; nothing for another.
    const Figures* figuresAt(int threshold) const;
    // Closes regretted within 10 minutes, a day, at a threshold played (the slider's values up to
    // the suggestion, and the current one); nothing for another.
    std::optional<double> regrettedPerDay(int threshold) const;
    const Recommendation& recommendation() const { return recommendation_; }
    const Footprints& footprints() const { return footprints_; }

private:
    void read();
    void playStep();
    void startNext();
    void finish();

    std::string diary_;
    SliderRange slider_;
    int current_;
    Lists lists_;
    Footprints footprints_;
    std::vector<Day> replayed_;
    std::unique_ptr<Replay> replay_;
    std::unique_ptr<Recommender> recommender_;
    std::vector<int> sliderValues_; // ascending
    std::vector<int> queue_;                  // thresholds still to play, the next first
    std::unique_ptr<ThresholdPlay> playing_;
    std::size_t day_ = 0;
    bool qualified_ = false, currentQueued_ = false;
    std::map<int, Figures> played_;
    bool read_ = false, done_ = false;
    long days_ = 0;
    Outcome outcome_ = Outcome::TooLittle;
    Recommendation recommendation_;
};

} // namespace replay
