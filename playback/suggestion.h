#pragma once
// A threshold suggested from this phone's own diary, for the settings pane: the diary's whole days
// (diary_trace.h; the newest date is still going on, and is left out) replayed on the device the
// diary shows, under the rules the phone uses with a diary (Learn From Use is on, and its lists),
// at every value of the slider, and the recommendation the tool makes of such figures
// (recommend.h). The work goes a step at a time (reading
// the diary, then one day at one threshold a step), so that a caller can spread it over turns of
// its run loop; what it found can be saved and read back whole while the whole days and the lists
// stay the same (key()).

#include "playback/cost.h"
#include "playback/diary_trace.h"
#include "playback/recommend.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace replay {

struct SliderRange {
    int minimum = kSliderMinimumMB, maximum = kSliderMaximumMB, step = kSliderStepMB;
};

class Suggestion {
public:
    static constexpr long kLeastDays = 2;
    static constexpr const char* kPolicy = kLearnFromUsePolicy;

    // TooLittle: fewer than kLeastDays whole days of use, or a diary that holds anything that is
    // no line of one (the library sets such a diary aside); Within: a slider value to suggest.
    enum class Outcome { TooLittle, Within };

    // The part of a diary's text its whole days hold: every line dated before its newest line.
    static std::string_view wholeDays(std::string_view diary);
    // What the result depends on: the diary's whole days, the lists and the slider.
    static std::uint64_t key(std::string_view diary, SliderRange slider, const Lists& lists);

    // diary: the diary's text; current: the threshold the slider shows; lists: the settings file's.
    Suggestion(std::string diary, SliderRange slider, int current, Lists lists);
    Suggestion(const Suggestion&) = delete;
    Suggestion& operator=(const Suggestion&) = delete;
    // A result saved by saved(), done at once; nothing when the text is no such result.
    static std::unique_ptr<Suggestion> fromSaved(std::string_view text, SliderRange slider, int current);

    // One step of the work; false once none is left.
    bool step();
    bool done() const { return stage_ == Stage::TooLittle || stage_ == Stage::Within; }

    // Once done:
    Outcome outcome() const { return stage_ == Stage::Within ? Outcome::Within : Outcome::TooLittle; }
    // Within: the slider value to suggest.
    int threshold() const { return threshold_; }
    // Whole days of use replayed.
    long days() const { return days_; }
    // What a threshold played costs (the slider's values and the current one); nothing for another.
    struct Played {
        long days = 0;
        long restarts = 0;       // within 10 minutes
        double minutesLow = 0;
        double cost = 0;         // seconds waiting, summed
    };
    const Played* at(int threshold) const;
    // The result as text, for fromSaved.
    std::string saved() const;

private:
    void read();
    void playStep();
    void startNext();
    void finish();

    std::string diary_;
    SliderRange slider_;
    int current_;
    Lists lists_;
    Costs costs_;
    Footprints footprints_;
    std::vector<Day> replayed_;
    std::unique_ptr<Replay> replay_;
    std::unique_ptr<Recommender> recommender_;
    std::vector<int> queue_; // thresholds still to play, the next first
    std::unique_ptr<ThresholdPlay> playing_;
    std::size_t day_ = 0;
    std::map<int, Played> played_;
    // Reading the diary at the next step, playing a day at a threshold a step, then done with one
    // of the outcomes.
    enum class Stage { Reading, Playing, TooLittle, Within };
    Stage stage_ = Stage::Reading;
    long days_ = 0;
    int threshold_ = 0;
};

} // namespace replay
