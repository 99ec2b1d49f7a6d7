#include "playback/replay.h"

#include <algorithm>
#include <cmath>

namespace replay {

void Figures::add(const Figures& other)
{
    days += other.days;
    daysWithoutSystemKill += other.daysWithoutSystemKill;
    switches += other.switches;
    lowLeaves += other.lowLeaves;
    launches += other.launches;
    coldLaunches += other.coldLaunches;
    lowLaunches += other.lowLaunches;
    closes += other.closes;
    restarts60s += other.restarts60s;
    restarts10min += other.restarts10min;
    regretted60s += other.regretted60s;
    restartsAfterOurCloses10min += other.restartsAfterOurCloses10min;
    systemKills += other.systemKills;
    foregroundKills += other.foregroundKills;
    restartsAfterSystemKills60s += other.restartsAfterSystemKills60s;
    restartsAfterSystemKills10min += other.restartsAfterSystemKills10min;
    secondsUnderThreshold += other.secondsUnderThreshold;
    secondsLow += other.secondsLow;
    lowestFree = std::min(lowestFree, other.lowestFree);
}

std::optional<double> shareOfGap(long rules, long policy, long bound)
{
    if (rules <= bound)
        return std::nullopt;
    return double(rules - policy) / double(rules - bound);
}

SliderSetting sliderSetting(int threshold)
{
    int ramValue = std::clamp(threshold, kSliderMinimumMB, kSliderMaximumMB);
    return { ramValue, double(threshold - ramValue) };
}

std::vector<double> footprintsOf(const Day& day, const Footprints& footprints)
{
    std::vector<double> sizes;
    sizes.reserve(day.apps.size());
    for (const App& app : day.apps)
        sizes.push_back(app.memoryMB ? *app.memoryMB : footprints.of(app.name, app.bundleID));
    return sizes;
}

Day withFootprints(Day day, const Footprints& footprints)
{
    std::vector<double> sizes = footprintsOf(day, footprints);
    for (std::size_t i = 0; i < sizes.size(); ++i)
        day.apps[i].memoryMB = sizes[i];
    return day;
}

namespace {

    class Play final : public Stage {
    public:
        Play(const Day& day, int threshold, double total, double base, double floor, std::vector<double> sizes,
             std::vector<Closed>* closes)
            : day_(day)
            , threshold_(threshold)
            , total_(total)
            , base_(base)
            , floor_(floor)
            , sizes_(std::move(sizes))
            , closedAt_(day.apps.size(), -kNever)
            , killedAt_(day.apps.size(), -kNever)
            , closes_(closes)
        {
            figures_.threshold = threshold;
            figures_.days = 1;
            figures_.lowestFree = free();
        }

        const Day& day() const override { return day_; }
        int threshold() const override { return threshold_; }
        double totalMB() const override { return total_; }
        double baseMB() const override { return base_; }
        double floorMB() const override { return floor_; }
        double freeMB() const override { return free(); }
        double freeFigure() const override { return std::floor(free()); }
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
            changed();
            ++figures_.closes;
            closedAt_[app] = time;
            if (closes_)
                closes_->push_back({ time, app });
            return true;
        }

        // Time moves on: the minutes under the threshold and under the low line add up.
        void advance(double time)
        {
            if (time > now_ && counting_) {
                if (freeFigure() <= threshold_)
                    figures_.secondsUnderThreshold += time - now_;
                if (free() < floor_ + kLowMarginMB)
                    figures_.secondsLow += time - now_;
            }
            now_ = std::max(now_, time);
        }

        void apply(const Event& event, Policy& policy)
        {
            advance(event.time);
            bool waited = false;
            long kills = 0;
            switch (event.kind) {
            case Event::Kind::Launch:
                if (top_ == event.app)
                    break;
                ++figures_.launches;
                waited = free() < floor_ + kLowMarginMB;
                kills = figures_.systemKills;
                if (!running(event.app)) {
                    ++figures_.coldLaunches;
                    double closed = event.time - closedAt_[event.app], killed = event.time - killedAt_[event.app];
                    figures_.regretted60s += closed <= kRegrettedWithin;
                    figures_.restartsAfterOurCloses10min += closed <= kRestartWithin;
                    figures_.restartsAfterSystemKills60s += killed <= kRegrettedWithin;
                    figures_.restartsAfterSystemKills10min += killed <= kRestartWithin;
                    figures_.restarts60s += std::min(closed, killed) <= kRegrettedWithin;
                    figures_.restarts10min += std::min(closed, killed) <= kRestartWithin;
                } else {
                    std::erase(switcher_, event.app);
                }
                closedAt_[event.app] = killedAt_[event.app] = -kNever;
                switcher_.insert(switcher_.begin(), event.app);
                top_ = event.app;
                changed();
                figures_.lowLaunches += waited || figures_.systemKills > kills;
                break;
            case Event::Kind::Home:
                top_ = kNoApp;
                break;
            case Event::Kind::State:
                if (event.state == 2 || event.state == 3) {
                    ++figures_.switches;
                    figures_.lowLeaves += freeFigure() <= threshold_;
                }
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
        bool counting_ = true; // the minutes count until the day's last event

    private:
        double free() const { return std::max(0.0, total_ - base_ - appsMB_); }

        // Memory changed: the system's killer acts when free memory is under the floor.
        void changed()
        {
            sum();
            while (floor_ > 0 && total_ - base_ - appsMB_ < floor_ && !switcher_.empty())
                kill(victim());
            figures_.lowestFree = std::min(figures_.lowestFree, free());
        }

        void sum()
        {
            appsMB_ = 0;
            for (AppId app : switcher_) // in the order the library's model adds them
                appsMB_ += sizes_[app];
        }

        // The largest in the lowest band; the one in front when no other is left.
        AppId victim() const
        {
            AppId previous = kNoApp, largest = kNoApp;
            for (AppId app : switcher_) {
                if (app == top_)
                    continue;
                if (previous == kNoApp)
                    previous = app;
                else if (largest == kNoApp || sizes_[app] >= sizes_[largest]) // of equal size, the older
                    largest = app;
            }
            return largest != kNoApp ? largest : previous != kNoApp ? previous : switcher_.front();
        }

        void kill(AppId app)
        {
            std::erase(switcher_, app);
            sum();
            ++figures_.systemKills;
            if (app == top_) {
                ++figures_.foregroundKills;
                top_ = kNoApp;
            }
            killedAt_[app] = now_;
        }

        const Day& day_;
        int threshold_;
        double total_, base_, floor_;
        std::vector<double> sizes_;
        std::vector<double> closedAt_, killedAt_;
        std::vector<Closed>* closes_;
        std::vector<AppId> switcher_; // most recent first
        AppId top_ = kNoApp;
        Call call_ = Call::None;
        double appsMB_ = 0;
        double now_ = 0;
    };

} // namespace

Figures Replay::play(const Day& day, Policy& policy, int threshold, std::vector<Closed>* closes) const
{
    double total = day.totalMB.value_or(device_.totalMB);
    Play stage(day, threshold, total, day.baseMB.value_or(device_.baseMB), device_.floorFor(total),
               footprintsOf(day, footprints_), closes);
    stage.figures_.policy = policy.name();
    policy.beginDay(stage);
    for (const Event& event : day.events) {
        policy.advanceTo(event.time);
        stage.apply(event, policy);
    }
    stage.counting_ = false;
    policy.advanceTo(day.end() + kTail);
    stage.figures_.daysWithoutSystemKill = stage.figures_.systemKills == 0;
    return stage.figures_;
}

Replay Replay::withoutSystemKiller() const
{
    DeviceSize device = device_;
    device.floorMB = 0;
    return Replay(device, footprints_);
}

} // namespace replay
