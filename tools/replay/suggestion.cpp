#include "tools/replay/suggestion.h"

#include <algorithm>
#include <cmath>

namespace replay {

Suggestion::Suggestion(std::string diary, SliderRange slider, int current, Lists lists)
    : diary_(std::move(diary))
    , slider_(slider)
    , current_(current)
    , lists_(std::move(lists))
{
}

bool Suggestion::step()
{
    if (done_)
        return false;
    if (!read_) {
        read();
    } else if (next_ < thresholds_.size()) {
        int threshold = thresholds_[next_++];
        Figures& figures = played_[threshold];
        figures.threshold = threshold;
        playThreshold(replayed_, *replay_, kPolicy, threshold, *recommender_, &figures);
    }
    if (read_ && next_ == thresholds_.size())
        finish();
    return !done_;
}

void Suggestion::read()
{
    read_ = true;
    DiaryTrace trace = DiaryTrace::read(diary_, "this phone");
    std::string().swap(diary_);
    trace.estimateInto(footprints_);
    auto device = trace.device(footprints_);
    if (trace.daysOfUse() < kLeastDays || !device)
        return;
    trace.setDevice(*device);
    for (Day& day : trace.days()) {
        if (std::none_of(day.events.begin(), day.events.end(),
                         [](const Event& event) { return event.kind == Event::Kind::Launch; }))
            continue;
        day.never = lists_.never;
        day.always = lists_.always;
        day.alwaysKill = lists_.alwaysKill;
        replayed_.push_back(std::move(day));
    }
    days_ = static_cast<long>(replayed_.size());

    std::vector<int> recommended;
    for (int threshold = slider_.minimum; threshold <= slider_.maximum; threshold += std::max(1, slider_.step))
        recommended.push_back(threshold);
    int beyond = static_cast<int>(std::min<double>(kHighest, std::ceil(device->totalMB - device->baseMB)));
    for (int threshold = slider_.maximum + kBeyondStep; threshold <= std::max(beyond, slider_.maximum + kBeyondStep)
         && threshold <= kHighest;
         threshold += kBeyondStep)
        recommended.push_back(threshold);
    recommender_ = std::make_unique<Recommender>(kPolicy, recommended);
    thresholds_ = recommended;
    // The slider's own value, to say what it costs, though the slider may hold it between steps.
    if (std::find(thresholds_.begin(), thresholds_.end(), current_) == thresholds_.end())
        thresholds_.push_back(current_);
    replay_ = std::make_unique<Replay>(DeviceSize { device->totalMB, device->baseMB, std::nullopt }, footprints_);
}

void Suggestion::finish()
{
    done_ = true;
    if (!recommender_) {
        outcome_ = Outcome::TooLittle;
        return;
    }
    recommendation_ = recommender_->result();
    if (!recommendation_.threshold)
        outcome_ = Outcome::None;
    else if (*recommendation_.threshold <= slider_.maximum)
        outcome_ = Outcome::Within;
    else
        outcome_ = Outcome::AboveSlider;
    // What was replayed is no longer needed.
    recommender_.reset();
    replay_.reset();
    std::vector<Day>().swap(replayed_);
}

std::optional<double> Suggestion::regrettedPerDay(int threshold) const
{
    auto found = played_.find(threshold);
    if (found == played_.end() || found->second.days == 0)
        return std::nullopt;
    return double(found->second.regretted10min) / double(found->second.days);
}

} // namespace replay
