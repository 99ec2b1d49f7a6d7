#pragma once
// A threshold suggested from this phone's own diary, for the settings pane: the diary's days
// (diary_trace.h) replayed on the device the diary shows, under the rules the phone uses with a
// diary (Learn From Use is on, and its lists), and the recommendation the tool makes of such
// figures (recommend.h): the lowest threshold at which the system killed nothing on enough days.
// The slider's values are played upwards until one qualifies (the lowest that does is the one
// the tool recommends from all of them); when none does, thresholds above the slider the same way
// (the replay plays them as themselves), so that "more than the slider holds" is told from "none
// at all"; then the slider's own value, for what it costs. The work goes a step at a time
// (reading the diary, then one day at one threshold a step), so that a caller can spread it over
// turns of its run loop.

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
    // Thresholds above the slider are played this far apart, up to what the phone leaves to
    // applications (at least one of them, at most the tool's 1000 MB).
    static constexpr int kBeyondStep = 50;
    static constexpr int kHighest = 1000;

    // TooLittle: fewer than kLeastDays days of use, or a diary that holds anything that is no line
    // of one (the library sets such a diary aside); AboveSlider: only a threshold above the
    // slider qualifies; None: none played does.
    enum class Outcome { TooLittle, Within, AboveSlider, None };

    // diary: the diary's text; current: the threshold the slider shows; lists: the settings file's.
    Suggestion(std::string diary, SliderRange slider, int current, Lists lists);
    Suggestion(const Suggestion&) = delete;
    Suggestion& operator=(const Suggestion&) = delete;

    // One step of the work; false once none is left.
    bool step();
    bool done() const { return done_; }

    // Once done:
    Outcome outcome() const { return outcome_; }
    // Within: the threshold to suggest; AboveSlider: the lowest above the slider that qualifies.
    int threshold() const { return recommendation_.threshold.value_or(0); }
    // Days of use replayed.
    long days() const { return days_; }
    // The figures at a threshold played; nothing for another.
    const Figures* figuresAt(int threshold) const;
    // The highest threshold played.
    int highestPlayed() const { return played_.empty() ? 0 : played_.rbegin()->first; }
    // Closes regretted within 10 minutes, a day, at a threshold played (the slider's values up to
    // the suggestion, those above it played, and the current one); nothing for another.
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
    std::vector<int> sliderValues_, beyond_; // ascending
    std::vector<int> queue_;                  // thresholds still to play, the next first
    std::unique_ptr<ThresholdPlay> playing_;
    std::size_t day_ = 0;
    bool qualified_ = false, beyondQueued_ = false, currentQueued_ = false;
    std::map<int, Figures> played_;
    bool read_ = false, done_ = false;
    long days_ = 0;
    Outcome outcome_ = Outcome::TooLittle;
    Recommendation recommendation_;
};

} // namespace replay
