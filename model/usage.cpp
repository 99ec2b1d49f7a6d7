#include "model/usage.h"

#include <algorithm>
#include <cmath>

namespace model {

double Usage::decayed(const std::string& id) const
{
    auto found = score_.find(id);
    if (found == score_.end())
        return 0;
    if (p_.recencyOnly)
        return -double(uses_ - found->second.at);
    return found->second.value * std::exp2(-double(uses_ - found->second.at) / p_.halfLifeUses);
}

void Usage::foreground(const std::string& id, bool returned)
{
    double earned = 1 + (returned ? p_.returnExtra : 0);
    if (last_ && *last_ != id)
        follows_[*last_][id] += 1;
    last_ = id;
    if (p_.windowUses > 0) {
        recent_.push_back(id);
        score_[id].value += earned;
        if (recent_.size() > std::size_t(p_.windowUses)) {
            score_[recent_.front()].value -= 1;
            recent_.erase(recent_.begin());
        }
        return;
    }
    double value = decayed(id) + earned;
    ++uses_;
    // Brought to the new count of uses: the use just earned is one use old.
    score_[id] = Score { p_.recencyOnly ? 0 : value * std::exp2(-1 / p_.halfLifeUses), uses_ };
}

double Usage::likelihood(const std::string& id) const
{
    if (answer_)
        return answer_(id);
    double score = p_.windowUses > 0 ? (score_.count(id) ? score_.at(id).value : 0) : decayed(id);
    if (p_.followWeight > 0 && last_) {
        auto row = follows_.find(*last_);
        if (row != follows_.end()) {
            double total = 0;
            for (const auto& [next, count] : row->second)
                total += count;
            auto cell = row->second.find(id);
            if (cell != row->second.end() && total > 0)
                score += p_.followWeight * cell->second / total;
        }
    }
    return score;
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
