#pragma once
// Which threshold to advise, among the values the pane's slider can be set to (kSliderMinimumMB to
// kSliderMaximumMB in steps of kSliderStepMB). A person feels two things: applications that start
// anew when they come back to them (and the other waits priced in cost.h), and a phone short of
// memory. Measured against the slider's default (model::kDefaultThreshold):
// - when the default leaves memory low an hour a day or more, the advice is among the values that
//   cut that time to at most kLowShare of the default's; of those, the least cost;
// - otherwise it is the least-cost value of those leaving memory low no longer than the default
//   (within kLowSlackMinutesADay) when it saves clearly against the default (kClearSaving of its
//   cost, and kClearSecondsADay), else the default itself.
// One value's figures are noisy (a few MB more closes another application, and the day plays
// out otherwise), so costs and times low are compared averaged over the values within
// kNeighbourMB; and each MB above the lowest value that qualifies adds kPerMB to its cost, since
// a higher value closes more on days not yet seen. Of equal costs the lower value. Thresholds
// beyond the slider are told apart: when one played would cost less, by how much.

#include "playback/cost.h"
#include "playback/replay.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace replay {

inline constexpr int kSliderStepMB = slv::kThresholdStep;
// The slider's values, ascending.
std::vector<int> sliderValues();
inline bool onSlider(int threshold)
{
    return sliderHolds(threshold) && (threshold - kSliderMinimumMB) % kSliderStepMB == 0;
}

// The index of the least-cost slider value among figures (any order); of equal costs the lower
// threshold. Nothing when no slider value has a day.
std::optional<std::size_t> leastCost(const std::vector<Figures>& figures, const Costs& costs);

// What the advice weighs at one threshold, over the days played there.
struct Weighed {
    int threshold = 0;
    long days = 0;
    double cost = 0;       // seconds spent waiting
    double secondsLow = 0; // with free memory low
};
Weighed weigh(const Figures& figures, const Costs& costs);

struct Advice {
    static constexpr double kLowMinutesADay = 60; // at the default, the time low that must be cut
    static constexpr double kLowShare = 0.3;      // ... to at most this share (half is promised)
    // A lighter phone moves off the default only for a saving of this share of its cost and at
    // least kClearSecondsADay (a restart a day): less is within what one week differs from the next.
    static constexpr double kClearSaving = 0.1;
    static constexpr double kClearSecondsADay = 3;
    static constexpr double kLowSlackMinutesADay = 5; // less is not told (the pane's footer neither)
    static constexpr int kNeighbourMB = 10;
    static constexpr double kPerMB = 0.005;

    enum class Why {
        LeastCost,   // the default was not played: the least cost
        CutsLow,     // the least cost of the values that cut the default's time low
        NoneCutsLow, // none cuts it enough: the value that leaves memory low the least
        SavesClearly,
        Default,     // nothing saves clearly against the default
    };
    std::size_t index = 0; // into the values given
    Why why = Why::LeastCost;
};

// The value to advise among values (any order; those off the slider or without a day are passed
// over), by the rule above; nothing when no slider value has a day.
std::optional<Advice> advise(const std::vector<Weighed>& values);
std::optional<Advice> advise(const std::vector<Figures>& figures, const Costs& costs);

struct Spread {
    long people = 0; // people with days
    int lowest = 0, quarter = 0, median = 0, threeQuarters = 0, highest = 0;
    long near = 0; // people whose own value lies within kNearMB of the recommendation
    static constexpr int kNearMB = 25;
};

struct Recommendation {
    std::string policy;
    std::optional<int> threshold; // nothing only when no day was played
    Advice::Why why = Advice::Why::LeastCost;
    Figures figures;              // at it
    double costPerDay = 0;
    // A threshold beyond the slider that was played and costs less (the least-cost such one), and
    // the seconds a day it would save.
    std::optional<int> beyond;
    double beyondSaves = 0;
    Spread own; // the values each person would be advised on their own days
};

// The days' figures of one policy, threshold by threshold and person by person.
class Recommender {
public:
    // Thresholds in any order.
    Recommender(std::string policy, std::vector<int> thresholds, Costs costs = {});
    void add(const std::string& person, int threshold, const Figures& day);
    Recommendation result() const;
    const std::vector<int>& thresholds() const { return thresholds_; }
    // The summed figures at a threshold played; nothing for another.
    const Figures* at(int threshold) const;

private:
    std::size_t index(int threshold) const;
    std::string policy_;
    std::vector<int> thresholds_; // ascending
    Costs costs_;
    std::vector<Figures> sums_;
    std::map<std::string, std::vector<Weighed>> people_; // at each threshold
};

// The figures of a spread of people's own values.
Spread spreadOf(std::vector<int> own, std::optional<int> recommended);

// One threshold played under a new policy of that name, day after day (a person's days together,
// in order: what the policy learns is carried over them, as in a run), each day's figures told to
// the recommender and summed.
class ThresholdPlay {
public:
    // Null policy (see valid()) when the name is unknown.
    ThresholdPlay(const Replay& replay, const std::string& policy, int threshold);
    // The policy given, under its name.
    ThresholdPlay(const Replay& replay, std::unique_ptr<Policy> policy, const std::string& name, int threshold);
    bool valid() const { return policy_ != nullptr; }
    void play(const Day& day, Recommender& recommender);
    const Figures& figures() const { return figures_; }

private:
    const Replay& replay_;
    std::unique_ptr<Policy> policy_;
    Figures figures_;
};

// The days at one threshold, as ThresholdPlay plays them; false when the policy is unknown.
bool playThreshold(const std::vector<Day>& days, const Replay& replay, const std::string& policy, int threshold,
                   Recommender& recommender, Figures* figures = nullptr);

// Plays the days (a person's days together, in order) under the policy at each threshold and
// recommends one; nothing when the policy is unknown.
std::optional<Recommendation> recommend(const std::vector<Day>& days, const Replay& replay, const std::string& policy,
                                        const std::vector<int>& thresholds, const Costs& costs = {});

} // namespace replay
