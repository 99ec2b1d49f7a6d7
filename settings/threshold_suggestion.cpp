#include "settings/threshold_suggestion.h"

#include "contract/diary.h"
#include "contract/settings_contract.h"
#include "platform/foundation/files.h"
#include "platform/foundation/run_loop.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace {

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

// Apps a day: whole from 10, else to a tenth ("0.4", "3", "2.5").
std::string perDay(double count)
{
    char text[32];
    double tenths = std::round(count * 10) / 10;
    std::snprintf(text, sizeof text, tenths >= 10 || tenths == std::floor(tenths) ? "%.0f" : "%.1f", tenths);
    return text;
}

std::string days(long count)
{
    return count == 1 ? "your last day" : "your last " + std::to_string(count) + " days";
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
        work_ = std::make_unique<replay::Suggestion>(std::move(text), kSlider, current_, std::move(lists));
    }
    if (work_->step()) {
        scheduleStep();
        return;
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
    if (!finished())
        return std::nullopt;
    switch (work_->outcome()) {
    case replay::Suggestion::Outcome::Within: return work_->threshold();
    // The most the slider holds, said as such in the footer.
    case replay::Suggestion::Outcome::AboveSlider: return kSlider.maximum;
    default: return std::nullopt;
    }
}

std::string SLVThresholdSuggestion::footer() const
{
    if (!shown())
        return {};
    const replay::Suggestion& work = *work_;
    std::string text = "From " + days(work.days()) + ": ";
    auto at = [&](int threshold) { return work.regrettedPerDay(threshold); };
    // ", 9 at 250 MB": what the slider's own setting costs, when it is elsewhere.
    auto beside = [&](int threshold) {
        auto regretted = at(current_);
        if (current_ == threshold || !regretted)
            return std::string(".");
        return ", " + perDay(*regretted) + " at " + std::to_string(current_) + " MB.";
    };
    if (work.outcome() == replay::Suggestion::Outcome::None)
        return text + "the phone ran out of memory and closed apps itself at every threshold up to "
            + std::to_string(work.highestPlayed()) + " MB; no setting would have spared it.";
    int shown = *rowThreshold();
    double regretted = at(shown).value_or(0);
    std::string apps = perDay(regretted) + (perDay(regretted) == "1" ? " app" : " apps");
    if (work.outcome() == replay::Suggestion::Outcome::AboveSlider)
        text += "even at " + std::to_string(kSlider.maximum) + " MB, the most the slider holds, the phone ran out of "
            "memory and closed apps itself; " + std::to_string(work.threshold()) + " MB would have spared it. ";
    return text + apps + " a day closed and opened again soon at " + std::to_string(shown) + " MB" + beside(shown);
}
