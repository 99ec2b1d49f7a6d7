#include "settings/threshold_suggestion.h"

#include "contract/diary_file.h"
#include "contract/settings_contract.h"
#include "platform/foundation/files.h"
#include "platform/foundation/run_loop.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace {

// A saved suggestion is a few kilobytes; anything larger is none.
constexpr std::size_t kMaximumSaved = 64 * 1024;

// A list of the settings file as the library reads it.
std::vector<std::string> identifiers(const sv::Dictionary* settings, std::string_view key)
{
    std::vector<std::string> ids;
    if (const sv::Array* list = settings ? sv::findArray(*settings, key) : nullptr)
        for (const sv::Value& entry : *list)
            if (const std::string* id = slv::entryBundleID(entry))
                ids.push_back(*id);
    return ids;
}

// "about 3 fewer restarts a week", "1 more restart a week"; empty when it rounds to none.
std::string restartsWeek(double fewer)
{
    long n = std::lround(std::fabs(fewer));
    if (n == 0)
        return {};
    return "about " + std::to_string(n) + (fewer > 0 ? " fewer" : " more") + (n == 1 ? " restart" : " restarts")
        + " a week";
}

// "an hour less a day with memory low", "20 minutes more ..."; empty when under 5 minutes.
std::string lowDay(double lessMinutes)
{
    double m = std::fabs(lessMinutes);
    if (m < 5)
        return {};
    std::string amount;
    if (m < 50)
        amount = std::to_string(long(std::lround(m / 5) * 5)) + " minutes";
    else if (m < 90)
        amount = "an hour";
    else {
        double hours = std::round(m / 30) / 2;
        char text[16];
        std::snprintf(text, sizeof text, hours == std::floor(hours) ? "%.0f" : "%.1f", hours);
        amount = std::string(text) + " hours";
    }
    return amount + (lessMinutes > 0 ? " less" : " more") + " a day with memory low";
}

std::string days(long count)
{
    return count == 1 ? "your last whole day" : "your last " + std::to_string(count) + " whole days";
}

} // namespace

std::shared_ptr<SLVThresholdSuggestion> SLVThresholdSuggestion::start(int current, std::function<void()> done)
{
    std::shared_ptr<SLVThresholdSuggestion> self(new SLVThresholdSuggestion);
    self->done_ = std::move(done);
    self->current_ = current;
    self->scheduleStep(kFirstStep);
    return self;
}

void SLVThresholdSuggestion::scheduleStep(double delay)
{
    std::weak_ptr<SLVThresholdSuggestion> weak = weak_from_this();
    sv::RunLoop::main().scheduleTimer(delay, [weak] {
        if (auto self = weak.lock())
            self->step();
    });
}

void SLVThresholdSuggestion::step()
{
    if (!work_) {
        // What the library wrote, and the lists it closes by: read once, at the first step.
        auto bytes = sv::fs::readData(slv::diary::Path, slv::diary::kMaximumSize);
        std::string text = bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
        auto settings = slv::settingsSnapshot();
        replay::Lists lists;
        lists.never = identifiers(settings.get(), slv::key::NeverIdentifiers);
        lists.always = identifiers(settings.get(), slv::key::AlwaysIdentifiers);
        lists.alwaysKill = slv::closeEveryApp(settings.get());
        key_ = replay::Suggestion::key(text, kSlider, lists);
        if (auto saved = sv::fs::readData(slv::diary::SuggestionPath, kMaximumSaved)) {
            std::string_view kept(reinterpret_cast<const char*>(saved->data()), saved->size());
            std::string line = "key " + std::to_string(key_) + "\n";
            if (kept.substr(0, line.size()) == line)
                work_ = replay::Suggestion::fromSaved(kept.substr(line.size()), kSlider, current_);
            fromSaved_ = work_ != nullptr;
        }
        if (!work_)
            work_ = std::make_unique<replay::Suggestion>(std::move(text), kSlider, current_, std::move(lists));
    }
    if (work_->step()) {
        scheduleStep();
        return;
    }
    // Kept for the next opening, only beside a diary (a diary deleted meanwhile takes it along).
    if (!fromSaved_ && sv::fs::exists(slv::diary::Path)) {
        std::string kept = "key " + std::to_string(key_) + "\n" + work_->saved();
        sv::fs::writeDataAtomically(slv::diary::SuggestionPath, kept.data(), kept.size());
    }
    if (auto done = std::exchange(done_, {}))
        done();
}

bool SLVThresholdSuggestion::shown() const
{
    return finished() && work_->outcome() != replay::Suggestion::Outcome::TooLittle;
}

std::optional<int> SLVThresholdSuggestion::rowThreshold() const
{
    if (!shown())
        return std::nullopt;
    return work_->threshold();
}

std::string SLVThresholdSuggestion::footer() const
{
    if (!shown())
        return {};
    const replay::Suggestion& work = *work_;
    std::string text = "From " + days(work.days()) + ": ";
    int best = work.threshold();
    const auto *there = work.at(best), *here = work.at(current_);
    if (!there || !here || best == current_)
        return text + std::to_string(current_) + " MB, the slider's value, is already the best setting.";
    double perDay = 1.0 / double(std::max(1L, here->days));
    std::string restarts = restartsWeek(7 * double(here->restarts - there->restarts) * perDay);
    std::string low = lowDay((here->minutesLow - there->minutesLow) * perDay);
    // "and" when both go the same way, "but" when one is paid for the other.
    bool sameWay = (here->restarts >= there->restarts) == (here->minutesLow >= there->minutesLow);
    std::string felt = restarts.empty() ? low : low.empty() ? restarts : restarts + (sameWay ? " and " : " but ") + low;
    std::string than = " than at ";
    if (felt.empty() && there->cost < here->cost)
        felt = "a little less waiting";
    else if (felt.empty())
        felt = "much the same", than = " as at ";
    return text + "at " + std::to_string(best) + " MB, " + felt + than + std::to_string(current_) + " MB.";
}
