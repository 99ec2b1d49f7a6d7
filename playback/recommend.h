#pragma once
// Which threshold to recommend: the value the pane's slider can be set to (kSliderMinimumMB to
// kSliderMaximumMB in steps of kSliderStepMB) at which the days cost the least, by the one felt
// cost of cost.h (of equal costs the lower). Thresholds beyond the slider are told apart: when one
// played would cost less, by how much. Each person's own least-cost value says how far one setting
// fits everyone.

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

struct Spread {
    long people = 0; // people with days
    int lowest = 0, quarter = 0, median = 0, threeQuarters = 0, highest = 0;
    long near = 0; // people whose own value lies within kNearMB of the recommendation
    static constexpr int kNearMB = 25;
};

struct Recommendation {
    std::string policy;
    std::optional<int> threshold; // nothing only when no day was played
    Figures figures;              // at it
    double costPerDay = 0;
    // A threshold beyond the slider that was played and costs less (the least-cost such one), and
    // the seconds a day it would save.
    std::optional<int> beyond;
    double beyondSaves = 0;
    Spread own; // the people's own least-cost slider values
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
    std::map<std::string, std::vector<double>> people_; // seconds at each threshold
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
