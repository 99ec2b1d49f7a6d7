#include "playback/suggestion.h"

#include "playback/model_policies.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>

namespace replay {
namespace {

    // The date of a diary line (its third field), or nothing.
    std::string_view dateOf(std::string_view line)
    {
        std::size_t first = line.find('\t'), second = first == line.npos ? line.npos : line.find('\t', first + 1);
        if (second == line.npos || line.size() < second + 11)
            return {};
        return line.substr(second + 1, 10);
    }

    // Saved results begin with this line; a result of another making is not read.
    constexpr std::string_view kSavedHeader = "sleepvane suggestion 2";

} // namespace

std::string_view Suggestion::wholeDays(std::string_view diary)
{
    // Lines are [start, break); one cut short (no break) is no line.
    auto startOf = [&](std::size_t lineBreak) {
        std::size_t before = lineBreak == 0 ? diary.npos : diary.rfind('\n', lineBreak - 1);
        return before == diary.npos ? 0 : before + 1;
    };
    std::size_t end = diary.rfind('\n');
    if (end == diary.npos)
        return diary.substr(0, 0);
    std::size_t start = startOf(end);
    std::string_view newest = dateOf(diary.substr(start, end - start));
    while (start > 0) {
        std::size_t before = startOf(start - 1);
        if (dateOf(diary.substr(before, start - 1 - before)) != newest)
            break;
        start = before;
    }
    return diary.substr(0, start);
}

std::uint64_t Suggestion::key(std::string_view diary, SliderRange slider, const Lists& lists)
{
    std::string rest = std::string(kSavedHeader) + "\n" + std::to_string(slider.minimum) + " "
        + std::to_string(slider.maximum) + " " + std::to_string(slider.step) + " " + Costs().text()
        + (lists.alwaysKill ? " every" : "");
    for (const auto* list : { &lists.never, &lists.always }) {
        rest += "\n";
        for (const std::string& id : *list)
            rest += id + "\t";
    }
    std::hash<std::string_view> hash;
    return hash(wholeDays(diary)) * 1000003u ^ hash(rest);
}

Suggestion::Suggestion(std::string diary, SliderRange slider, int current, Lists lists)
    : diary_(std::move(diary))
    , slider_(slider)
    , current_(current)
    , lists_(std::move(lists))
{
}

bool Suggestion::step()
{
    if (done())
        return false;
    if (stage_ == Stage::Reading)
        read();
    else
        playStep();
    return !done();
}

void Suggestion::read()
{
    stage_ = Stage::Playing;
    DiaryTrace trace = DiaryTrace::read(wholeDays(diary_), "this phone");
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
        queue_.push_back(threshold);
    if (std::find(queue_.begin(), queue_.end(), current_) == queue_.end())
        queue_.push_back(current_);
    recommender_ = std::make_unique<Recommender>(kPolicy, queue_, costs_);
    replay_ = std::make_unique<Replay>(DeviceSize { device->totalMB, device->baseMB, std::nullopt }, footprints_);
    startNext();
}

void Suggestion::playStep()
{
    playing_->play(replayed_[day_++], *recommender_);
    if (day_ < replayed_.size())
        return;
    const Figures& f = playing_->figures();
    played_[f.threshold] = Played { f.days, f.restarts10min, f.secondsLow / 60, costs_.of(f) };
    playing_.reset();
    startNext();
}

void Suggestion::startNext()
{
    if (queue_.empty()) {
        finish();
        return;
    }
    playing_ = std::make_unique<ThresholdPlay>(*replay_, makeLearnFromUsePolicy(kPolicy, {}), kPolicy, queue_.front());
    queue_.erase(queue_.begin());
    day_ = 0;
}

void Suggestion::finish()
{
    stage_ = Stage::TooLittle;
    if (recommender_) {
        // The advice among the slider's own values (a current value off its steps is not one).
        std::vector<Figures> values;
        for (int threshold = slider_.minimum; threshold <= slider_.maximum; threshold += std::max(1, slider_.step))
            if (const Figures* f = recommender_->at(threshold))
                values.push_back(*f);
        if (auto best = advise(values, costs_)) {
            stage_ = Stage::Within;
            threshold_ = values[best->index].threshold;
        }
    }
    // What was replayed is no longer needed.
    recommender_.reset();
    replay_.reset();
    std::vector<Day>().swap(replayed_);
}

const Suggestion::Played* Suggestion::at(int threshold) const
{
    auto found = played_.find(threshold);
    return found == played_.end() ? nullptr : &found->second;
}

std::string Suggestion::saved() const
{
    std::string text = std::string(kSavedHeader) + "\n" + std::to_string(int(outcome())) + " "
        + std::to_string(threshold_) + " " + std::to_string(days_) + "\n";
    for (const auto& [threshold, p] : played_) {
        char line[128];
        std::snprintf(line, sizeof line, "%d %ld %ld %.17g %.17g\n", threshold, p.days, p.restarts, p.minutesLow, p.cost);
        text += line;
    }
    return text;
}

std::unique_ptr<Suggestion> Suggestion::fromSaved(std::string_view text, SliderRange slider, int current)
{
    std::istringstream in { std::string(text) };
    std::string header;
    int outcome = -1;
    auto work = std::make_unique<Suggestion>(std::string(), slider, current, Lists {});
    if (!std::getline(in, header) || header != kSavedHeader || !(in >> outcome >> work->threshold_ >> work->days_)
        || (outcome != int(Outcome::TooLittle) && outcome != int(Outcome::Within)))
        return nullptr;
    work->stage_ = outcome == int(Outcome::Within) ? Stage::Within : Stage::TooLittle;
    int threshold = 0;
    Played p;
    while (in >> threshold >> p.days >> p.restarts >> p.minutesLow >> p.cost)
        work->played_[threshold] = p;
    if (!in.eof() || (work->stage_ == Stage::Within && !work->at(work->threshold_)))
        return nullptr;
    // The current value, when it is no value of the slider, was played for another: not known.
    if (!work->at(current) && work->stage_ == Stage::Within)
        return nullptr;
    return work;
}

} // namespace replay
