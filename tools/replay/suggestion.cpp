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
    if (!read_)
        read();
    else
        playStep();
    return !done_;
}

void Suggestion::read()
{
    read_ = true;
    DiaryTrace trace = DiaryTrace::read(diary_, "this phone");
    std::string().swap(diary_);
    trace.estimateInto(footprints_);
    auto device = trace.device(footprints_);
    if (!trace.problems().empty() || trace.daysOfUse() < kLeastDays || !device) {
        finish();
        return;
    }
    trace.setDevice(*device);
    for (Day& day : trace.days()) {
        if (!day.used())
            continue;
        day.never = lists_.never;
        day.always = lists_.always;
        day.alwaysKill = lists_.alwaysKill;
        replayed_.push_back(std::move(day));
    }
    days_ = static_cast<long>(replayed_.size());

    for (int threshold = slider_.minimum; threshold <= slider_.maximum; threshold += std::max(1, slider_.step))
        sliderValues_.push_back(threshold);
    int applications = static_cast<int>(std::min<double>(kHighest, std::ceil(device->totalMB - device->baseMB)));
    for (int threshold = slider_.maximum + kBeyondStep;
         threshold <= kHighest && (threshold <= applications || beyond_.empty()); threshold += kBeyondStep)
        beyond_.push_back(threshold);
    std::vector<int> all = sliderValues_;
    all.insert(all.end(), beyond_.begin(), beyond_.end());
    recommender_ = std::make_unique<Recommender>(kPolicy, all);
    queue_ = sliderValues_;
    replay_ = std::make_unique<Replay>(DeviceSize { device->totalMB, device->baseMB, std::nullopt }, footprints_);
    startNext();
}

void Suggestion::playStep()
{
    playing_->play(replayed_[day_++], *recommender_);
    if (day_ < replayed_.size())
        return;
    const Figures& figures = playing_->figures();
    played_[figures.threshold] = figures;
    // The first to qualify, going upwards, is the lowest that does: the rest need not be played.
    if (!qualified_ && !currentQueued_ && lowestQualifying({ figures.days }, { figures.daysWithoutSystemKill })) {
        qualified_ = true;
        queue_.clear();
    }
    playing_.reset();
    startNext();
}

void Suggestion::startNext()
{
    if (queue_.empty() && !qualified_ && !beyondQueued_) {
        beyondQueued_ = true;
        queue_ = beyond_;
    }
    if (queue_.empty() && !currentQueued_) {
        currentQueued_ = true;
        if (!played_.count(current_))
            queue_.push_back(current_);
    }
    if (queue_.empty()) {
        finish();
        return;
    }
    playing_ = std::make_unique<ThresholdPlay>(*replay_, kPolicy, queue_.front());
    queue_.erase(queue_.begin());
    day_ = 0;
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

const Figures* Suggestion::figuresAt(int threshold) const
{
    auto found = played_.find(threshold);
    return found == played_.end() ? nullptr : &found->second;
}

std::optional<double> Suggestion::regrettedPerDay(int threshold) const
{
    auto found = played_.find(threshold);
    if (found == played_.end() || found->second.days == 0)
        return std::nullopt;
    return double(found->second.regretted10min) / double(found->second.days);
}

} // namespace replay
