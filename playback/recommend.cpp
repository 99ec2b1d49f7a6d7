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

Weighed weigh(const Figures& figures, const Costs& costs)
{
    return Weighed { figures.threshold, figures.days, costs.of(figures), figures.secondsLow };
}

std::optional<Advice> advise(const std::vector<Weighed>& values)
{
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < values.size(); ++i)
        if (onSlider(values[i].threshold) && values[i].days > 0)
            order.push_back(i);
    if (order.empty())
        return std::nullopt;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return values[a].threshold < values[b].threshold;
    });
    // Per day, averaged over the values within kNeighbourMB.
    std::vector<double> cost(order.size()), low(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        int n = 0;
        for (std::size_t j : order) {
            const Weighed& w = values[j];
            if (std::abs(w.threshold - values[order[i]].threshold) > Advice::kNeighbourMB)
                continue;
            cost[i] += w.cost / double(w.days);
            low[i] += w.secondsLow / double(w.days);
            ++n;
        }
        cost[i] /= n;
        low[i] /= n;
    }
    // The least cost of those qualifying from the first that does, each MB above it costing more.
    auto leastFrom = [&](auto qualifies, double perMB) {
        std::optional<std::size_t> best, first;
        double bestCost = 0;
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (!qualifies(i))
                continue;
            if (!first)
                first = i;
            double above = values[order[i]].threshold - values[order[*first]].threshold;
            double c = cost[i] * (1 + perMB * above);
            if (!best || c < bestCost) {
                best = i;
                bestCost = c;
            }
        }
        return best;
    };
    auto all = [](std::size_t) { return true; };
    auto at = [&](std::size_t i, Advice::Why why) { return Advice { order[i], why }; };
    auto byDefault = std::find_if(order.begin(), order.end(), [&](std::size_t i) {
        return values[i].threshold == int(model::kDefaultThreshold);
    });
    if (byDefault == order.end())
        return at(*leastFrom(all, 0), Advice::Why::LeastCost);
    std::size_t d = std::size_t(byDefault - order.begin());
    const Weighed& atDefault = values[*byDefault];
    if (atDefault.secondsLow / double(atDefault.days) >= 60 * Advice::kLowMinutesADay) {
        auto cuts = leastFrom([&](std::size_t i) { return low[i] <= Advice::kLowShare * low[d]; }, Advice::kPerMB);
        if (cuts)
            return at(*cuts, Advice::Why::CutsLow);
        std::size_t least = std::size_t(std::min_element(low.begin(), low.end()) - low.begin());
        return at(least, Advice::Why::NoneCutsLow);
    }
    std::size_t best = *leastFrom([&](std::size_t i) { return low[i] <= low[d] + 60 * Advice::kLowSlackMinutesADay; }, 0);
    double saves = cost[d] - cost[best];
    if (saves >= Advice::kClearSaving * cost[d] && saves >= Advice::kClearSecondsADay)
        return at(best, Advice::Why::SavesClearly);
    return at(d, Advice::Why::Default);
}

std::optional<Advice> advise(const std::vector<Figures>& figures, const Costs& costs)
{
    std::vector<Weighed> values;
    for (const Figures& f : figures)
        values.push_back(weigh(f, costs));
    return advise(values);
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
    auto& weighed = people_[person];
    if (weighed.empty())
        for (int threshold : thresholds_)
            weighed.push_back(Weighed { threshold, 0, 0, 0 });
    Weighed add = weigh(day, costs_);
    weighed[i].days += add.days;
    weighed[i].cost += add.cost;
    weighed[i].secondsLow += add.secondsLow;
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
    auto chosen = advise(sums_, costs_);
    if (chosen) {
        r.threshold = thresholds_[chosen->index];
        r.why = chosen->why;
        r.figures = sums_[chosen->index];
        r.costPerDay = costs_.perDay(r.figures);
        for (const Figures& f : sums_)
            if (!sliderHolds(f.threshold) && f.days && costs_.perDay(f) < r.costPerDay
                && (!r.beyond || r.costPerDay - costs_.perDay(f) > r.beyondSaves)) {
                r.beyond = f.threshold;
                r.beyondSaves = r.costPerDay - costs_.perDay(f);
            }
    }
    std::vector<int> own;
    for (const auto& [person, weighed] : people_)
        if (auto best = advise(weighed))
            own.push_back(thresholds_[best->index]);
    r.own = spreadOf(std::move(own), r.threshold);
    return r;
}

ThresholdPlay::ThresholdPlay(const Replay& replay, const std::string& policy, int threshold)
    : ThresholdPlay(replay, makePolicy(policy), policy, threshold)
{
}

ThresholdPlay::ThresholdPlay(const Replay& replay, std::unique_ptr<Policy> policy, const std::string& name,
                             int threshold)
    : replay_(replay)
    , policy_(std::move(policy))
{
    figures_.policy = name;
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
