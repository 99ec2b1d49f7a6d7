#include "tools/replay/replay.h"

#include <algorithm>
#include <cmath>

namespace replay {

void Figures::add(const Figures& other)
{
    switches += other.switches;
    launches += other.launches;
    coldLaunches += other.coldLaunches;
    closes += other.closes;
    regretted60s += other.regretted60s;
    regretted10min += other.regretted10min;
    secondsUnderThreshold += other.secondsUnderThreshold;
    lowestFree = std::min(lowestFree, other.lowestFree);
}

std::vector<double> footprintsOf(const Day& day, const Footprints& footprints)
{
    std::vector<double> sizes;
    sizes.reserve(day.apps.size());
    for (const App& app : day.apps)
        sizes.push_back(app.memoryMB ? *app.memoryMB : footprints.of(app.name, app.bundleID));
    return sizes;
}

namespace {

    class Play final : public Stage {
    public:
        Play(const Day& day, int threshold, double total, double base, std::vector<double> sizes,
             std::vector<Closed>* closes)
            : day_(day)
            , threshold_(threshold)
            , total_(total)
            , base_(base)
            , sizes_(std::move(sizes))
            , closedAt_(day.apps.size(), -1)
            , closes_(closes)
        {
            figures_.threshold = threshold;
            figures_.lowestFree = free();
        }

        const Day& day() const override { return day_; }
        int threshold() const override { return threshold_; }
        double totalMB() const override { return total_; }
        double baseMB() const override { return base_; }
        int freeMB() const override { return static_cast<int>(std::floor(free())); }
        double footprintMB(AppId app) const override { return sizes_[app]; }
        std::vector<AppId> background() const override
        {
            std::vector<AppId> apps;
            for (AppId app : switcher_)
                if (app != top_)
                    apps.push_back(app);
            return apps;
        }
        bool running(AppId app) const override
        {
            return std::find(switcher_.begin(), switcher_.end(), app) != switcher_.end();
        }
        Call call() const override { return call_; }

        bool close(AppId app, double time) override
        {
            auto found = std::find(switcher_.begin(), switcher_.end(), app);
            if (found == switcher_.end() || app == top_)
                return false;
            advance(time);
            switcher_.erase(found);
            appsMB_ -= sizes_[app];
            changed();
            ++figures_.closes;
            closedAt_[app] = time;
            if (closes_)
                closes_->push_back({ time, app });
            return true;
        }

        // Time moves on: the minutes under the threshold add up.
        void advance(double time)
        {
            if (time > now_ && counting_ && freeMB() <= threshold_)
                figures_.secondsUnderThreshold += time - now_;
            now_ = std::max(now_, time);
        }

        void apply(const Event& event, Policy& policy)
        {
            advance(event.time);
            switch (event.kind) {
            case Event::Kind::Launch:
                if (top_ == event.app)
                    break;
                ++figures_.launches;
                if (!running(event.app)) {
                    ++figures_.coldLaunches;
                    appsMB_ += sizes_[event.app];
                    changed();
                    if (closedAt_[event.app] >= 0) {
                        double after = event.time - closedAt_[event.app];
                        figures_.regretted60s += after <= 60;
                        figures_.regretted10min += after <= 600;
                    }
                } else {
                    std::erase(switcher_, event.app);
                }
                closedAt_[event.app] = -1;
                switcher_.insert(switcher_.begin(), event.app);
                top_ = event.app;
                break;
            case Event::Kind::Home:
                top_ = kNoApp;
                break;
            case Event::Kind::State:
                figures_.switches += event.state == 2 || event.state == 3;
                break;
            case Event::Kind::Call:
                call_ = event.call;
                break;
            case Event::Kind::Lists:
                break;
            }
            policy.observe(event);
        }

        Figures figures_;
        bool counting_ = true; // the minutes under the threshold count until the day's last event

    private:
        double free() const { return std::max(0.0, total_ - base_ - appsMB_); }
        void changed() { figures_.lowestFree = std::min(figures_.lowestFree, free()); }

        const Day& day_;
        int threshold_;
        double total_, base_;
        std::vector<double> sizes_;
        std::vector<double> closedAt_;
        std::vector<Closed>* closes_;
        std::vector<AppId> switcher_; // most recent first
        AppId top_ = kNoApp;
        Call call_ = Call::None;
        double appsMB_ = 0;
        double now_ = 0;
    };

    // How long after the last event a day's pending closes and re-checks still play out.
    constexpr double kTail = 60;

} // namespace

Figures Replay::play(const Day& day, Policy& policy, int threshold, std::vector<Closed>* closes) const
{
    Play stage(day, threshold, day.totalMB.value_or(device_.totalMB), day.baseMB.value_or(device_.baseMB),
               footprintsOf(day, footprints_), closes);
    stage.figures_.policy = policy.name();
    policy.beginDay(stage);
    for (const Event& event : day.events) {
        policy.advanceTo(event.time);
        stage.apply(event, policy);
    }
    stage.counting_ = false;
    policy.advanceTo(day.end() + kTail);
    return stage.figures_;
}

} // namespace replay
