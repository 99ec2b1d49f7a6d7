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

void Usage::foreground(const std::string& id, bool returned)
{
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

std::optional<std::size_t> Usage::pick(const std::vector<std::string>& closable) const
{
    if (answer_)
        return answer_(closable);
    std::optional<std::size_t> chosen;
    double lowest = 0;
    for (std::size_t i = 0; i < pickable(closable.size()); ++i) {
        double likely = likelihood(closable[i]);
        if (!chosen || likely < lowest) {
            chosen = i;
            lowest = likely;
        }
    }
    return chosen;
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
