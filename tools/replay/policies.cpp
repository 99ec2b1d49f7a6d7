// largest-first and oracle, and the timing they share with the library.
#include "tools/replay/policy.h"

#include <algorithm>

namespace replay {

namespace {
    constexpr double kCloseDelay = 1.0;
    // The re-check chain's wait, as the library's single-precision 3.6 widened.
    constexpr double kRecheckDelay = 3.5999999046325684;
} // namespace

bool fixedIdentifier(const std::string& bundleID)
{
    return bundleID == "com.apple.springboard" || bundleID == "com.apple.mobilephone"
        || bundleID == "com.apple.AdSheetPhone";
}

void VictimPolicy::beginDay(Stage& stage)
{
    stage_ = &stage;
    next_ = Next::Nothing;
    due_ = kNever;
}

void VictimPolicy::observe(const Event& event)
{
    // One chain at a time: a leave while a close or a re-check waits adds nothing.
    bool leave = event.kind == Event::Kind::State && (event.state == 2 || event.state == 3);
    if (!leave || next_ != Next::Nothing || stage_->call() != Call::None || !low())
        return;
    next_ = Next::Close;
    due_ = event.time + kCloseDelay;
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
            if (!fixedIdentifier(id) && std::find(day.never.begin(), day.never.end(), id) == day.never.end())
                candidates.push_back(app);
        }
        AppId victim = candidates.empty() ? kNoApp : choose(candidates, time);
        if (victim != kNoApp)
            stage_->close(victim, time);
        next_ = Next::Check;
        due_ = time + kRecheckDelay;
    } else if (next_ == Next::Check) {
        bool again = low() && stage_->call() == Call::None && !stage_->background().empty();
        next_ = again ? Next::Close : Next::Nothing;
        due_ = again ? time + kCloseDelay : kNever;
    }
}

namespace {

    // Closes the backgrounded application with the largest footprint, as general-purpose killers
    // choose (the most memory back for one close).
    class LargestFirst final : public VictimPolicy {
    public:
        std::string name() const override { return "largest-first"; }

    protected:
        AppId choose(const std::vector<AppId>& candidates, double) override
        {
            return *std::max_element(candidates.begin(), candidates.end(), [this](AppId a, AppId b) {
                return stage_->footprintMB(a) < stage_->footprintMB(b);
            });
        }
    };

    // Knows the day ahead: closes the application whose next use lies furthest away (never again
    // today first, the largest of those), which is what knowing the future is worth.
    class Oracle final : public VictimPolicy {
    public:
        std::string name() const override { return "oracle"; }

        void beginDay(Stage& stage) override
        {
            VictimPolicy::beginDay(stage);
            uses_.assign(stage.day().apps.size(), {});
            for (const Event& event : stage.day().events)
                if (event.kind == Event::Kind::Launch)
                    uses_[event.app].push_back(event.time);
        }

    protected:
        AppId choose(const std::vector<AppId>& candidates, double time) override
        {
            AppId best = kNoApp;
            double bestNext = -1, bestSize = -1;
            for (AppId app : candidates) {
                const auto& uses = uses_[app];
                auto next = std::upper_bound(uses.begin(), uses.end(), time);
                double when = next == uses.end() ? kNever : *next;
                double size = stage_->footprintMB(app);
                if (when > bestNext || (when == bestNext && size > bestSize)) {
                    best = app;
                    bestNext = when;
                    bestSize = size;
                }
            }
            return best;
        }

    private:
        std::vector<std::vector<double>> uses_;
    };

} // namespace

std::unique_ptr<Policy> makePartsPolicy();

std::unique_ptr<Policy> makePolicy(const std::string& name)
{
    if (name == "parts")
        return makePartsPolicy();
    if (name == "largest-first")
        return std::make_unique<LargestFirst>();
    if (name == "oracle")
        return std::make_unique<Oracle>();
    return nullptr;
}

std::vector<std::string> policyNames() { return { "parts", "largest-first", "oracle" }; }

} // namespace replay
