#pragma once
// Which threshold to recommend. We close early so that the system's own killer, which picks
// without regard to the user and may take the application in front, never has to act: the
// recommendation is the lowest threshold at which the system killed nothing on at least 95 % of
// the days, with what it costs in regretted closes. Each person's own such threshold says how far
// one setting fits everyone.

#include "tools/replay/replay.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace replay {

inline constexpr double kKillFreeShare = 0.95;

struct Recommendation {
    std::string policy;
    std::optional<int> threshold; // nothing: no threshold qualifies
    Figures figures;              // at it; when none qualifies, at the one with the most days without a kill
    long people = 0;              // people with days
    long peopleWithin = 0;        // ... whose own threshold lies within one step of it (a neighbour in the list)
};

// The days' figures of one policy, threshold by threshold and person by person.
class Recommender {
public:
    // Thresholds in any order; one step is between neighbours once they are sorted.
    Recommender(std::string policy, std::vector<int> thresholds);
    void add(const std::string& person, int threshold, const Figures& day);
    Recommendation result() const;
    const std::vector<int>& thresholds() const { return thresholds_; }

private:
    std::size_t index(int threshold) const;
    std::string policy_;
    std::vector<int> thresholds_; // ascending
    std::vector<Figures> sums_;
    struct Days {
        long all = 0, withoutKill = 0;
    };
    std::map<std::string, std::vector<Days>> people_;
};

// The lowest of the thresholds (ascending) whose days are without a system kill often enough.
std::optional<std::size_t> lowestQualifying(const std::vector<long>& days, const std::vector<long>& withoutKill);

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
                                        const std::vector<int>& thresholds);

} // namespace replay
