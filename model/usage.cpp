#include "model/usage.h"

#include <algorithm>
#include <cmath>

namespace model {

std::size_t pickable(std::size_t n, std::size_t kept)
{
    return n > kept ? n - kept : std::min<std::size_t>(n, 1);
}

void learnSuccessor(Successors& row, const std::string& next)
{
    auto found = row.find(next);
    if (found == row.end()) {
        if (row.size() >= kSuccessorsKept)
            row.erase(std::min_element(row.begin(), row.end(), [](const auto& a, const auto& b) { return a.second < b.second; }));
        row.emplace(next, 1);
        return;
    }
    if (++found->second < kSuccessorLimit)
        return;
    for (auto& entry : row)
        entry.second /= 2;
    std::erase_if(row, [](const auto& entry) { return entry.second == 0; });
}

double successorShare(const Successors* row, const std::string& next)
{
    if (!row)
        return 0;
    std::int64_t total = 0, mine = 0;
    for (const auto& [id, count] : *row) {
        total += count;
        if (id == next)
            mine = count;
    }
    return total > 0 ? double(mine) / double(total) : 0;
}

double Usage::uses(const std::string& id) const
{
    auto found = score_.find(id);
    if (found == score_.end())
        return 0;
    return found->second.value * std::exp2(-double(uses_ - found->second.at) / kHalfLifeUses);
}

void Usage::foreground(const std::string& id, bool returned, double now)
{
    std::erase_if(named_, [&](const Trial& trial) { return now - trial.at > kRestartWindow; });
    for (Expert expert : { Expert::Rules, Expert::Score }) {
        bool named = false;
        for (Trial& trial : named_) {
            std::optional<std::string>& name = trial.name[static_cast<int>(expert)];
            if (name && *name == id) {
                named = true;
                name.reset();
            }
        }
        if (named)
            countRestart(expert);
    }
    if (last_ && *last_ != id)
        learnSuccessor(follows_[*last_], id);
    last_ = id;
    double value = uses(id) + 1 + (returned ? kReturnExtra : 0);
    ++uses_;
    // Brought to the new count of uses: the use just earned is one use old.
    score_[id] = Score { value * std::exp2(-1 / kHalfLifeUses), uses_ };
}

double Usage::likelihood(const std::string& id) const
{
    auto row = last_ ? follows_.find(*last_) : follows_.end();
    return uses(id) + kFollowWeight * successorShare(row != follows_.end() ? &row->second : nullptr, id);
}

void Usage::closed(const std::string& id, std::int64_t freeBefore, std::int64_t freeAfter)
{
    if (freeAfter <= freeBefore)
        return;
    std::int64_t rise = freeAfter - freeBefore;
    auto [found, first] = footprint_.try_emplace(id, rise);
    if (!first)
        found->second = found->second / 2 + rise / 2 + (found->second % 2 + rise % 2) / 2;
}

std::int64_t Usage::footprint(const std::string& id) const
{
    auto found = footprint_.find(id);
    return found == footprint_.end() ? 0 : found->second;
}

void Usage::setHalvings(std::int64_t rules, std::int64_t score)
{
    std::int64_t least = std::min(rules, score);
    halvings_[0] = std::min(rules - least, kMostHalvings);
    halvings_[1] = std::min(score - least, kMostHalvings);
}

void Usage::countRestart(Expert expert)
{
    int e = static_cast<int>(expert);
    halvings_[e] += 1;
    setHalvings(halvings_[0], halvings_[1]);
}

Expert Usage::trusted() const { return halvings_[1] < halvings_[0] ? Expert::Score : Expert::Rules; }

std::int64_t Usage::megabytes(const std::string& id) const
{
    if (std::int64_t learned = footprint(id))
        return learned;
    std::int64_t sum = 0;
    for (const auto& entry : footprint_)
        sum += entry.second;
    return footprint_.empty() ? 1 : std::max<std::int64_t>(1, sum / std::int64_t(footprint_.size()));
}

std::optional<std::size_t> Usage::named(Expert expert, const std::vector<std::string>& closable) const
{
    if (closable.empty())
        return std::nullopt;
    if (expert == Expert::Rules)
        return 0;
    if (scorer_)
        return scorer_(closable);
    std::size_t chosen = 0;
    double lowest = likelihood(closable[0]) + 1;
    std::int64_t least = megabytes(closable[0]);
    for (std::size_t i = 1; i < pickable(closable.size()); ++i) {
        if (megabytes(closable[i]) < least)
            continue;
        double likely = (likelihood(closable[i]) + 1) * kScoreMargin;
        if (likely < lowest) {
            chosen = i;
            lowest = likely;
        }
    }
    return chosen;
}

std::optional<std::size_t> Usage::pick(const std::vector<std::string>& closable, double now)
{
    if (answer_)
        return answer_(closable);
    std::optional<std::size_t> rules = named(Expert::Rules, closable), score = named(Expert::Score, closable);
    if (!rules)
        return std::nullopt;
    if (*rules != *score) {
        named_.push_back(Trial { now, { closable[*rules], closable[*score] } });
    }
    return trusted() == Expert::Score ? score : rules;
}

std::vector<std::pair<std::string, double>> Usage::ranked() const
{
    std::vector<std::pair<std::string, double>> all;
    for (const auto& [id, score] : score_)
        all.emplace_back(id, likelihood(id));
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return all;
}

} // namespace model
