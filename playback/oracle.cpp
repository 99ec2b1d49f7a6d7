// The foresight bound: the library's rules and timing (who may be closed, when, and how many),
// choosing which suspect goes with the rest of the day known, the freedom Learn From Use has.
// It plays each day ahead three ways and carries out the best that costs no more than the rules
// in any figure it weighs, so it is never worse than `parts` by construction:
// - the rules themselves (the oldest suspect);
// - furthest next use: the suspect used again latest (never again today: the largest first);
// - restart cost per MB freed: a close costs 100 when the application comes back within 60 s
//   (regretted), 10 within 10 minutes (a restart), 1 later that day (a cold launch), 0 never; the
//   lowest cost per MB goes (of those never used again, the largest). A restart weighs far more
//   than the memory it frees: with costs 3, 2, 1 the rule takes a large application that comes
//   back within a minute over a small one that does not, and the bound loosens by 5 to 10 %.
// Neither is optimal: a small close that leaves memory low forces more closes later, and the
// system's killer answers to memory, not to restarts. It is a bound on these plans, not a proven
// optimum, and a policy may beat it on some days.
#include "playback/oracle.h"

#include "playback/model_policies.h"
#include "playback/replay.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace replay {
namespace {

    class Oracle final : public Policy, public PlansOnTheRules {
    public:
        std::string name() const override { return kOraclePolicy; }

        void rulesPlayed(const Figures& figures, const std::vector<Closed>& closes) override
        {
            given_ = true;
            rules_ = figures;
            plan_ = closes;
        }

        void beginDay(Stage& stage) override
        {
            // The day ahead with every footprint written in (the replayer's days mostly have them).
            Day copy;
            const Day* given = &stage.day();
            if (std::any_of(given->apps.begin(), given->apps.end(), [](const App& app) { return !app.memoryMB; })) {
                copy = *given;
                for (std::size_t i = 0; i < copy.apps.size(); ++i)
                    copy.apps[i].memoryMB = stage.footprintMB(static_cast<AppId>(i));
                given = &copy;
            }
            const Day& day = *given;
            uses_.assign(day.apps.size(), {});
            for (const Event& event : day.events)
                if (event.kind == Event::Kind::Launch)
                    uses_[event.app].push_back(event.time);

            // Every footprint is written in the day: this replay needs no table.
            Footprints none;
            Replay ahead({ stage.totalMB(), stage.baseMB(), stage.floorMB() }, none);
            auto weighed = [](const Figures& f) {
                return std::tuple(f.restartsAfterOurCloses10min, f.regretted60s, f.systemKills, f.restartsAfterSystemKills10min, f.coldLaunches);
            };
            if (!std::exchange(given_, false)) {
                plan_.clear();
                rules_ = ahead.play(day, *candidate(0), stage.threshold(), &plan_);
            }
            const Figures& partsFigures = rules_;
            auto rules = weighed(partsFigures), best = rules;
            // Which suspect goes only matters once a leave finds memory low (or a list or a call
            // decides): until then every plan is the rules' own.
            bool choice = partsFigures.lowLeaves > 0 || !day.always.empty() || day.alwaysKill
                || std::any_of(day.events.begin(), day.events.end(), [](const Event& e) { return e.kind == Event::Kind::Call; });
            for (int plan = 1; choice && plan < kPlans; ++plan) {
                std::vector<Closed> closes;
                auto cost = weighed(ahead.play(day, *candidate(plan), stage.threshold(), &closes));
                bool noWorse = std::get<0>(cost) <= std::get<0>(rules) && std::get<1>(cost) <= std::get<1>(rules)
                    && std::get<2>(cost) <= std::get<2>(rules) && std::get<3>(cost) <= std::get<3>(rules)
                    && std::get<4>(cost) <= std::get<4>(rules);
                if (noWorse && cost < best) {
                    best = cost;
                    plan_ = std::move(closes);
                }
            }
            // The day plays as it did ahead: the same closes at the same moments.
            stage_ = &stage;
            next_ = 0;
        }

        void observe(const Event&) override { }

        void advanceTo(double time) override
        {
            for (; next_ < plan_.size() && plan_[next_].time <= time; ++next_)
                stage_->close(plan_[next_].app, plan_[next_].time);
        }

    private:
        static constexpr int kPlans = 3;

        std::unique_ptr<Policy> candidate(int plan)
        {
            if (plan == 0)
                return makePartsPolicy();
            if (plan == 1)
                return makeForesightPolicy("furthest-next-use", [this](const Stage& stage, AppId app, double now) {
                    double after = nextUse(app, now);
                    return after == kNever ? -1e15 - stage.footprintMB(app) : -after;
                });
            return makeForesightPolicy("restart-cost-per-mb", [this](const Stage& stage, AppId app, double now) {
                double cost = restartCost(nextUse(app, now)), mb = std::max(stage.footprintMB(app), 1e-3);
                return cost == 0 ? -mb : cost / mb;
            });
        }

        // What a close costs by when the application is next used.
        static double restartCost(double after) { return after == kNever ? 0 : after > kRestartWithin ? 1 : after > kRegrettedWithin ? 10 : 100; }

        // Seconds from now to the application's next use; kNever when it is not used again today.
        double nextUse(AppId app, double now) const
        {
            const auto& uses = uses_[app];
            auto next = std::upper_bound(uses.begin(), uses.end(), now);
            return next == uses.end() ? kNever : *next - now;
        }

        std::vector<std::vector<double>> uses_;
        Stage* stage_ = nullptr;
        bool given_ = false;
        Figures rules_;
        std::vector<Closed> plan_;
        std::size_t next_ = 0;
    };

} // namespace

std::unique_ptr<Policy> makeOracle() { return std::make_unique<Oracle>(); }

} // namespace replay
