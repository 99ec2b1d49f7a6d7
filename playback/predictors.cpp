#include "playback/predictors.h"

#include "model/usage.h"

#include <algorithm>
#include <cmath>

namespace replay {

Predictor::Predictor(const Knobs& knobs)
    : half_(knobs.half.value_or(model::kHalfLifeUses))
    , extra_(knobs.extra.value_or(model::kReturnExtra))
    , follow_(knobs.follow.value_or(model::kFollowWeight))
    , size_(knobs.size.value_or(0))
    , margin_(knobs.margin.value_or(model::kScoreMargin))
    , window_(knobs.window.value_or(0))
    , recency_(knobs.recency)
    , keep_(static_cast<std::size_t>(knobs.keep.value_or(int(model::kRecentKept))))
{
}

double Predictor::decayed(const std::string& id) const
{
    auto found = score_.find(id);
    if (found == score_.end())
        return 0;
    if (recency_)
        return -double(uses_ - found->second.at);
    if (window_ > 0)
        return found->second.value;
    return found->second.value * std::exp2(-double(uses_ - found->second.at) / half_);
}

void Predictor::foreground(const std::string& id, bool returned)
{
    double earned = 1 + (returned ? extra_ : 0);
    if (last_ && *last_ != id)
        model::learnSuccessor(follows_[*last_], id);
    last_ = id;
    if (window_ > 0) {
        recent_.push_back(id);
        score_[id].value += earned;
        if (recent_.size() > std::size_t(window_)) {
            score_[recent_.front()].value -= 1;
            recent_.erase(recent_.begin());
        }
        return;
    }
    double value = decayed(id) + earned;
    ++uses_;
    score_[id] = Score { recency_ ? 0 : value * std::exp2(-1 / half_), uses_ };
}

double Predictor::likelihood(const std::string& id) const
{
    auto row = last_ ? follows_.find(*last_) : follows_.end();
    return decayed(id) + follow_ * model::successorShare(row != follows_.end() ? &row->second : nullptr, id);
}

std::optional<std::size_t> Predictor::pick(const std::vector<std::string>& closable,
                                           const std::function<double(const std::string&)>& megabytes) const
{
    if (closable.empty())
        return std::nullopt;
    // As the rule: another than the oldest only when `margin` times less likely (size: per
    // megabyte to that power) and freeing no less than the oldest's close.
    auto weighed = [&](std::size_t i) {
        return (likelihood(closable[i]) + 1) / std::pow(std::max(megabytes(closable[i]), 1.0), size_);
    };
    std::size_t chosen = 0;
    double lowest = weighed(0), least = megabytes(closable[0]);
    for (std::size_t i = 1; i < model::pickable(closable.size(), keep_); ++i) {
        if (megabytes(closable[i]) < least)
            continue;
        if (double likely = weighed(i) * margin_; likely < lowest) {
            chosen = i;
            lowest = likely;
        }
    }
    return chosen;
}

} // namespace replay
