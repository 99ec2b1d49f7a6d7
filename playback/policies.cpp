// largest-first, the timing it shares with the library, and the policies by name.
#include "playback/policies.h"

#include "playback/model_policies.h"
#include "playback/oracle.h"
#include "playback/scenario_words.h"

#include "model/day.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

namespace replay {

bool fixedIdentifier(const std::string& bundleID)
{
    return std::find(std::begin(model::kFixedIdentifiers), std::end(model::kFixedIdentifiers), bundleID)
        != std::end(model::kFixedIdentifiers);
}

void VictimPolicy::beginDay(Stage& stage)
{
    stage_ = &stage;
    next_ = Next::Nothing;
    due_ = kNever;
    never_ = &stage.day().never;
}

void VictimPolicy::observe(const Event& event)
{
    if (event.kind == Event::Kind::Lists)
        never_ = &stage_->day().listChanges[static_cast<std::size_t>(event.lists)].never;
    // One chain at a time: a leave while a close or a re-check waits adds nothing.
    bool leave = event.kind == Event::Kind::State && (event.state == 2 || event.state == 3);
    if (!leave || next_ != Next::Nothing || stage_->call() != Call::None || !low())
        return;
    next_ = Next::Close;
    due_ = event.time + model::kCloseDelay;
}

void VictimPolicy::advanceTo(double time)
{
    while (due_ <= time)
        runDue(due_);
}

void VictimPolicy::runDue(double time)
{
    if (next_ == Next::Close) {
        std::vector<AppId> candidates;
        const Day& day = stage_->day();
        for (AppId app : stage_->background()) {
            const std::string& id = day.apps[app].bundleID;
            if (!fixedIdentifier(id) && std::find(never_->begin(), never_->end(), id) == never_->end())
                candidates.push_back(app);
        }
        AppId victim = candidates.empty() ? kNoApp : choose(candidates, time);
        if (victim != kNoApp)
            stage_->close(victim, time);
        next_ = Next::Check;
        due_ = time + model::kRecheckDelay;
    } else if (next_ == Next::Check) {
        bool again = low() && stage_->call() == Call::None && !stage_->background().empty();
        next_ = again ? Next::Close : Next::Nothing;
        due_ = again ? time + model::kCloseDelay : kNever;
    }
}

namespace {

    // Closes the backgrounded application with the largest footprint, as general-purpose killers
    // choose (the most memory back for one close).
    class LargestFirst final : public VictimPolicy {
    public:
        std::string name() const override { return kLargestFirstPolicy; }

    protected:
        AppId choose(const std::vector<AppId>& candidates, double) override
        {
            return *std::max_element(candidates.begin(), candidates.end(), [this](AppId a, AppId b) {
                return stage_->footprintMB(a) < stage_->footprintMB(b);
            });
        }
    };

    // A knob's value reads as a number of the scenario language does.
    std::optional<double> finite(std::string_view text) { return sv::scenario::parseNumber(text); }

} // namespace

std::optional<Knobs> policyKnobs(std::string_view text, std::string* why)
{
    Knobs knobs;
    auto fail = [&](std::string reason) -> std::optional<Knobs> {
        if (why)
            *why = std::move(reason);
        return std::nullopt;
    };
    std::vector<std::string> seen;
    while (!text.empty()) {
        std::string_view knob = text.substr(0, text.find(':'));
        text.remove_prefix(std::min(text.size(), knob.size() + 1));
        auto eq = knob.find('=');
        std::string key(knob.substr(0, eq));
        std::optional<std::string_view> value;
        if (eq != std::string_view::npos)
            value = knob.substr(eq + 1);
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            return fail("learn-from-use: " + key + " is given twice");
        seen.push_back(key);
        if (key == "recency" || key == "alone") {
            if (value)
                return fail("learn-from-use: " + key + " takes no value");
            (key == "recency" ? knobs.recency : knobs.alone) = true;
            continue;
        }
        if (key != "half" && key != "extra" && key != "follow" && key != "window" && key != "keep" && key != "size"
            && key != "margin")
            return fail("learn-from-use: unknown knob '" + key
                        + "' (half=, extra=, follow=, window=, recency, keep=, size=, margin=, alone)");
        auto number = value ? finite(*value) : std::nullopt;
        if (key == "half" && (!number || *number <= 0))
            return fail("learn-from-use: half= takes a number of uses above 0");
        if ((key == "extra" || key == "follow" || key == "size" || key == "margin") && (!number || *number < 0))
            return fail("learn-from-use: " + key + "= takes a number, 0 or more");
        if (key == "window" && (!number || *number < 1 || *number != std::floor(*number) || *number > 1e6))
            return fail("learn-from-use: window= takes a whole number of uses from 1");
        if (key == "keep" && (!number || *number < 0 || *number != std::floor(*number) || *number > 100))
            return fail("learn-from-use: keep= takes a whole number of suspects from 0 to 100");
        if (key == "half")
            knobs.half = number;
        else if (key == "extra")
            knobs.extra = number;
        else if (key == "follow")
            knobs.follow = number;
        else if (key == "size")
            knobs.size = number;
        else if (key == "margin")
            knobs.margin = number;
        else if (key == "keep")
            knobs.keep = static_cast<int>(*number);
        else
            knobs.window = static_cast<int>(*number);
    }
    return knobs;
}

std::unique_ptr<Policy> makePolicy(const std::string& name, std::string* why)
{
    const std::string_view learning = kLearnFromUsePolicy;
    if (name == kPartsPolicy)
        return makePartsPolicy();
    if (name == kLargestFirstPolicy)
        return std::make_unique<LargestFirst>();
    if (name == kOraclePolicy)
        return makeOracle();
    if (name == learning || name.starts_with(std::string(learning) + ":")) {
        auto knobs = policyKnobs(std::string_view(name).substr(std::min(name.size(), learning.size() + 1)), why);
        return knobs ? makeLearnFromUsePolicy(name, *knobs) : nullptr;
    }
    if (why)
        *why = "unknown policy '" + name + "' (parts, largest-first, oracle, learn-from-use[:<knobs>])";
    return nullptr;
}

std::vector<std::string> policyNames() { return { kPartsPolicy, kLargestFirstPolicy, kOraclePolicy, kLearnFromUsePolicy }; }

} // namespace replay
