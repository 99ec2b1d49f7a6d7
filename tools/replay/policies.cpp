// largest-first and oracle, and the timing they share with the library.
#include "tools/replay/policy.h"
#include "tools/replay/replay.h"

#include <algorithm>
#include <tuple>

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
            if (!fixedIdentifier(id) && std::find(never_->begin(), never_->end(), id) == never_->end())
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

    // Knows the day ahead. A close costs by when the application is next used: never again today
    // costs nothing, after 10 minutes a cold launch, within 10 minutes or 60 s a regret as well.
    // It closes the cheapest, and of those the largest (the fewer closes memory then needs), and of
    // equal size the one used furthest ahead.
    class Foresight final : public VictimPolicy {
    public:
        std::string name() const override { return "foresight"; }

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
            std::tuple<int, double, double> bestKey { 0, 0, 0 };
            for (AppId app : candidates) {
                const auto& uses = uses_[app];
                auto next = std::upper_bound(uses.begin(), uses.end(), time);
                double after = next == uses.end() ? kNever : *next - time;
                int cost = after == kNever ? 0 : after > 600 ? 1 : after > 60 ? 2 : 3;
                std::tuple<int, double, double> key { -cost, stage_->footprintMB(app), after };
                if (best == kNoApp || key > bestKey) {
                    best = app;
                    bestKey = key;
                }
            }
            return best;
        }

    private:
        std::vector<std::vector<double>> uses_;
    };

    // The bound: plays the day ahead under each plan it knows (foresight, and the schedules of
    // the rules and of largest-first, whose every close is then known in advance), and carries out
    // the plan that costs least, never one that costs more than the rules in regrets or cold
    // launches. A greedy choice alone can lose: a small close that leaves memory low forces
    // more closes later.
    class Oracle final : public Policy {
    public:
        std::string name() const override { return "oracle"; }

        void beginDay(Stage& stage) override
        {
            stage_ = &stage;
            Day day = stage.day();
            for (std::size_t i = 0; i < day.apps.size(); ++i)
                day.apps[i].memoryMB = stage.footprintMB(static_cast<AppId>(i));
            // Figures in this policy's own replay of the day need no table: each footprint is set.
            Footprints none;
            Replay ahead({ stage.totalMB(), stage.baseMB() }, none);
            day.totalMB = stage.totalMB();
            day.baseMB = stage.baseMB();
            auto cost = [](const Figures& f) { return std::tuple(f.regretted10min, f.regretted60s, f.coldLaunches); };
            std::vector<Closed> partsPlan;
            auto parts = makePolicy("parts");
            Figures rules = ahead.play(day, *parts, stage.threshold(), &partsPlan);
            plan_ = std::move(partsPlan);
            auto best = cost(rules);
            std::unique_ptr<Policy> others[] = { std::make_unique<Foresight>(), makePolicy("largest-first") };
            for (auto& other : others) {
                std::vector<Closed> closes;
                Figures f = ahead.play(day, *other, stage.threshold(), &closes);
                bool noWorse = f.regretted10min <= rules.regretted10min && f.regretted60s <= rules.regretted60s
                    && f.coldLaunches <= rules.coldLaunches;
                if (noWorse && cost(f) < best) {
                    best = cost(f);
                    plan_ = std::move(closes);
                }
            }
            next_ = 0;
        }

        void observe(const Event&) override { }

        void advanceTo(double time) override
        {
            for (; next_ < plan_.size() && plan_[next_].time <= time; ++next_)
                stage_->close(plan_[next_].app, plan_[next_].time);
        }

    private:
        Stage* stage_ = nullptr;
        std::vector<Closed> plan_;
        std::size_t next_ = 0;
    };

} // namespace

std::unique_ptr<Policy> makePartsPolicy();
std::unique_ptr<Policy> makeLearnFromUsePolicy(const std::string& name);

std::unique_ptr<Policy> makePolicy(const std::string& name)
{
    if (name == "parts")
        return makePartsPolicy();
    if (name == "largest-first")
        return std::make_unique<LargestFirst>();
    if (name == "oracle")
        return std::make_unique<Oracle>();
    if (name == "learn-from-use" || name.starts_with("learn-from-use:"))
        return makeLearnFromUsePolicy(name);
    return nullptr;
}

std::vector<std::string> policyNames() { return { "parts", "largest-first", "oracle", "learn-from-use" }; }

} // namespace replay
