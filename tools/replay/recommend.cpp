#include "tools/replay/recommend.h"

#include <algorithm>

namespace replay {

Recommender::Recommender(std::string policy, std::vector<int> thresholds)
    : policy_(std::move(policy))
    , thresholds_(std::move(thresholds))
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

void Recommender::add(const std::string& person, int threshold, const Figures& day)
{
    std::size_t i = index(threshold);
    if (i >= thresholds_.size() || thresholds_[i] != threshold)
        return;
    sums_[i].add(day);
    auto& days = people_[person];
    days.resize(thresholds_.size());
    days[i].all += day.days;
    days[i].withoutKill += day.daysWithoutSystemKill;
}

std::optional<std::size_t> lowestQualifying(const std::vector<long>& days, const std::vector<long>& withoutKill)
{
    for (std::size_t i = 0; i < days.size(); ++i)
        if (days[i] > 0 && double(withoutKill[i]) >= kKillFreeShare * double(days[i]))
            return i;
    return std::nullopt;
}

Recommendation Recommender::result() const
{
    Recommendation r;
    r.policy = policy_;
    std::vector<long> days, withoutKill;
    for (const Figures& f : sums_) {
        days.push_back(f.days);
        withoutKill.push_back(f.daysWithoutSystemKill);
    }
    auto chosen = lowestQualifying(days, withoutKill);
    if (chosen) {
        r.threshold = thresholds_[*chosen];
        r.figures = sums_[*chosen];
    } else if (!sums_.empty()) {
        // The nearest miss: the most days without a kill, of equal shares the lowest threshold.
        auto share = [](const Figures& f) { return f.days ? double(f.daysWithoutSystemKill) / double(f.days) : 0; };
        r.figures = *std::max_element(sums_.begin(), sums_.end(),
                                      [&](const Figures& a, const Figures& b) { return share(a) < share(b); });
    }
    for (const auto& [person, perThreshold] : people_) {
        std::vector<long> all, without;
        for (const auto& d : perThreshold) {
            all.push_back(d.all);
            without.push_back(d.withoutKill);
        }
        if (std::all_of(all.begin(), all.end(), [](long n) { return n == 0; }))
            continue;
        ++r.people;
        auto own = lowestQualifying(all, without);
        if (chosen && own && (*own > *chosen ? *own - *chosen : *chosen - *own) <= 1)
            ++r.peopleWithin;
    }
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
                                        const std::vector<int>& thresholds)
{
    if (!makePolicy(policy))
        return std::nullopt;
    Recommender recommender(policy, thresholds);
    for (int threshold : recommender.thresholds())
        playThreshold(days, replay, policy, threshold, recommender);
    return recommender.result();
}

} // namespace replay
