#include "playback/recommend.h"

#include "playback/policies.h"

#include <algorithm>
#include <cstdlib>

namespace replay {

std::vector<int> sliderValues()
{
    std::vector<int> values;
    for (int threshold = kSliderMinimumMB; threshold <= kSliderMaximumMB; threshold += kSliderStepMB)
        values.push_back(threshold);
    return values;
}

std::optional<std::size_t> leastCost(const std::vector<Figures>& figures, const Costs& costs)
{
    std::optional<std::size_t> best;
    double bestCost = 0;
    for (std::size_t i = 0; i < figures.size(); ++i) {
        const Figures& f = figures[i];
        if (!onSlider(f.threshold) || f.days == 0)
            continue;
        double cost = costs.perDay(f);
        if (!best || cost < bestCost || (cost == bestCost && f.threshold < figures[*best].threshold)) {
            best = i;
            bestCost = cost;
        }
    }
    return best;
}

Recommender::Recommender(std::string policy, std::vector<int> thresholds, Costs costs)
    : policy_(std::move(policy))
    , thresholds_(std::move(thresholds))
    , costs_(costs)
{
    std::sort(thresholds_.begin(), thresholds_.end());
    thresholds_.erase(std::unique(thresholds_.begin(), thresholds_.end()), thresholds_.end());
    for (int threshold : thresholds_) {
        Figures sum;
        sum.policy = policy_;
        sum.threshold = threshold;
        sums_.push_back(sum);
    }
}

std::size_t Recommender::index(int threshold) const
{
    return std::size_t(std::lower_bound(thresholds_.begin(), thresholds_.end(), threshold) - thresholds_.begin());
}

const Figures* Recommender::at(int threshold) const
{
    std::size_t i = index(threshold);
    return i < thresholds_.size() && thresholds_[i] == threshold ? &sums_[i] : nullptr;
}

void Recommender::add(const std::string& person, int threshold, const Figures& day)
{
    std::size_t i = index(threshold);
    if (i >= thresholds_.size() || thresholds_[i] != threshold)
        return;
    sums_[i].add(day);
    auto& costs = people_[person];
    costs.resize(thresholds_.size(), -1);
    if (day.days)
        costs[i] = std::max(0.0, costs[i]) + costs_.of(day);
}

Spread spreadOf(std::vector<int> own, std::optional<int> recommended)
{
    Spread s;
    if (own.empty())
        return s;
    std::sort(own.begin(), own.end());
    auto quantile = [&](double q) { return own[std::size_t(q * double(own.size() - 1) + 0.5)]; };
    s.people = long(own.size());
    s.lowest = own.front();
    s.quarter = quantile(0.25);
    s.median = quantile(0.5);
    s.threeQuarters = quantile(0.75);
    s.highest = own.back();
    if (recommended)
        s.near = std::count_if(own.begin(), own.end(),
                               [&](int t) { return std::abs(t - *recommended) <= Spread::kNearMB; });
    return s;
}

Recommendation Recommender::result() const
{
    Recommendation r;
    r.policy = policy_;
    auto chosen = leastCost(sums_, costs_);
    if (chosen) {
        r.threshold = thresholds_[*chosen];
        r.figures = sums_[*chosen];
        r.costPerDay = costs_.perDay(r.figures);
        for (const Figures& f : sums_)
            if (!sliderHolds(f.threshold) && f.days && costs_.perDay(f) < r.costPerDay
                && (!r.beyond || r.costPerDay - costs_.perDay(f) > r.beyondSaves)) {
                r.beyond = f.threshold;
                r.beyondSaves = r.costPerDay - costs_.perDay(f);
            }
    }
    std::vector<int> own;
    for (const auto& [person, costs] : people_) {
        std::optional<std::size_t> best;
        for (std::size_t i = 0; i < costs.size(); ++i)
            if (costs[i] >= 0 && onSlider(thresholds_[i]) && (!best || costs[i] < costs[*best]))
                best = i;
        if (best)
            own.push_back(thresholds_[*best]);
    }
    r.own = spreadOf(std::move(own), r.threshold);
    return r;
}

ThresholdPlay::ThresholdPlay(const Replay& replay, const std::string& policy, int threshold)
    : replay_(replay)
    , policy_(makePolicy(policy))
{
    figures_.policy = policy;
    figures_.threshold = threshold;
}

void ThresholdPlay::play(const Day& day, Recommender& recommender)
{
    Figures f = replay_.play(day, *policy_, figures_.threshold);
    recommender.add(day.whose(), figures_.threshold, f);
    figures_.add(f);
}

bool playThreshold(const std::vector<Day>& days, const Replay& replay, const std::string& policy, int threshold,
                   Recommender& recommender, Figures* figures)
{
    ThresholdPlay played(replay, policy, threshold);
    if (!played.valid())
        return false;
    for (const Day& day : days)
        played.play(day, recommender);
    if (figures)
        *figures = played.figures();
    return true;
}

std::optional<Recommendation> recommend(const std::vector<Day>& days, const Replay& replay, const std::string& policy,
                                        const std::vector<int>& thresholds, const Costs& costs)
{
    if (!makePolicy(policy))
        return std::nullopt;
    Recommender recommender(policy, thresholds, costs);
    for (int threshold : recommender.thresholds())
        playThreshold(days, replay, policy, threshold, recommender);
    return recommender.result();
}

} // namespace replay
