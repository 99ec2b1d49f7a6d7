#include "playback/run.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

namespace replay {

Player::Player(const Replay& replay, const std::vector<std::string>& policies, const std::vector<int>& thresholds)
    : replay_(replay)
    , thresholds_(thresholds)
{
    for (const std::string& name : policies)
        if (auto policy = makePolicy(name))
            policies_.push_back(std::move(policy));
}

std::vector<Figures> Player::play(const std::vector<Day>& days, std::vector<Figures>* later, std::size_t split)
{
    start();
    for (std::size_t d = 0; d < days.size(); ++d)
        playDay(days[d], later && d >= split);
    if (later)
        *later = later_;
    return sums_;
}

void Player::start()
{
    sums_.clear();
    for (const auto& policy : policies_)
        for (int threshold : thresholds_) {
            Figures sum;
            sum.policy = policy->name();
            sum.threshold = threshold;
            sums_.push_back(sum);
        }
    later_ = sums_;
    rules_.assign(thresholds_.size(), {});
}

void Player::playDay(const Day& given, bool later)
{
    Day day = withFootprints(given, replay_.footprints());
    std::vector<Figures>& into = later ? later_ : sums_;
    std::size_t row = 0;
    bool ruled = false;
    for (const auto& policy : policies_) {
        bool rulesToKeep = policy->name() == kPartsPolicy;
        auto* planner = dynamic_cast<PlansOnTheRules*>(policy.get());
        for (std::size_t t = 0; t < thresholds_.size(); ++t) {
            if (planner && ruled)
                planner->rulesPlayed(rules_[t].first, rules_[t].second);
            if (rulesToKeep)
                rules_[t].second.clear();
            Figures figures = replay_.play(day, *policy, thresholds_[t], rulesToKeep ? &rules_[t].second : nullptr);
            if (rulesToKeep)
                rules_[t].first = figures;
            into[row++].add(figures);
        }
        ruled = ruled || rulesToKeep;
    }
}

Run::Run(const std::vector<std::string>& policies, const std::vector<int>& thresholds, Costs costs, long holdoutDays)
    : thresholds_(thresholds)
    , costs_(costs)
    , holdoutDays_(holdoutDays)
{
    played_ = sliderValues();
    played_.insert(played_.end(), thresholds.begin(), thresholds.end());
    std::sort(played_.begin(), played_.end());
    played_.erase(std::unique(played_.begin(), played_.end()), played_.end());
    for (const std::string& name : policies) {
        if (!makePolicy(name))
            continue;
        policies_.push_back(name);
        recommenders_.emplace_back(name, played_, costs);
        holdouts_.emplace_back().days = holdoutDays;
        for (int threshold : thresholds) {
            Figures sum;
            sum.policy = name;
            sum.threshold = threshold;
            rows_.push_back(sum);
            rowAt_.push_back(std::size_t(std::lower_bound(played_.begin(), played_.end(), threshold) - played_.begin()));
        }
    }
}

void Run::add(const std::string& person, const std::vector<Figures>& figures, const std::vector<Figures>& later)
{
    std::size_t n = played_.size();
    if (figures.size() < n * policies_.size())
        return;
    bool split = later.size() == figures.size();
    for (std::size_t p = 0; p < policies_.size(); ++p) {
        for (std::size_t t = 0; t < n; ++t) {
            Figures all = figures[p * n + t];
            if (split)
                all.add(later[p * n + t]);
            recommenders_[p].add(person, played_[t], all);
        }
        for (std::size_t r = 0; r < thresholds_.size(); ++r) {
            std::size_t at = p * n + rowAt_[p * thresholds_.size() + r];
            rows_[p * thresholds_.size() + r].add(figures[at]);
            if (split)
                rows_[p * thresholds_.size() + r].add(later[at]);
        }
        if (!split)
            continue;
        // The advice from the first days, against the default and hindsight on the rest.
        std::vector<Figures> first(figures.begin() + long(p * n), figures.begin() + long((p + 1) * n));
        std::vector<Figures> rest(later.begin() + long(p * n), later.begin() + long((p + 1) * n));
        auto advice = advise(first, costs_);
        auto best = leastCost(rest, costs_);
        auto byDefault = std::find(played_.begin(), played_.end(), Holdout::kDefaultThreshold);
        if (!advice || !best || byDefault == played_.end())
            continue;
        const Figures &a = rest[advice->index], &d = rest[std::size_t(byDefault - played_.begin())], &h = rest[*best];
        Holdout& o = holdouts_[p];
        o.advice.add(a);
        o.byDefault.add(d);
        o.hindsight.add(h);
        o.adviceCost += costs_.of(a);
        o.defaultCost += costs_.of(d);
        o.hindsightCost += costs_.of(h);
        ++o.people;
        o.peopleNoWorse += a.restarts10min <= d.restarts10min && a.secondsLow <= d.secondsLow;
        bool low = d.days && d.secondsLow / double(d.days) >= 60 * Advice::kLowMinutesADay;
        o.peopleHeld += double(a.restarts10min) <= Holdout::kHeldRestarts * double(d.restarts10min)
            && (!low || a.secondsLow <= Holdout::kHeldLowShare * d.secondsLow);
    }
    if (!figures.empty())
        days_ += figures.front().days + (split ? later.front().days : 0);
}

const Holdout* Run::holdout(const std::string& policy) const
{
    for (std::size_t p = 0; p < policies_.size(); ++p)
        if (policies_[p] == policy && holdoutDays_ > 0)
            return &holdouts_[p];
    return nullptr;
}

void Run::saw(const std::vector<Day>& days)
{
    for (const Day& day : days)
        saw(day);
}

void Run::saw(const Day& day)
{
    for (const App& app : day.apps)
        apps_.try_emplace(app.bundleID, app);
}

void Run::saw(const std::map<std::string, App>& apps)
{
    for (const auto& [id, app] : apps)
        apps_.try_emplace(id, app);
}

std::vector<Recommendation> Run::recommendations() const
{
    std::vector<Recommendation> all;
    for (const Recommender& recommender : recommenders_)
        all.push_back(recommender.result());
    return all;
}

void playAll(DaySource& source, const Replay& replay, Run& run, unsigned threads, const std::function<void(long)>& progress)
{
    std::mutex mutex;
    long taken = 0, merged = 0, played = 0;
    struct Done {
        std::string person;
        std::vector<Figures> figures, later;
        std::map<std::string, App> apps;
    };
    std::map<long, Done> waiting; // played, not yet summed
    auto work = [&] {
        Player player(replay, run.policies(), run.played());
        for (;;) {
            std::unique_ptr<PersonDays> days;
            long index;
            {
                std::lock_guard lock(mutex);
                days = source.nextPerson();
                if (!days)
                    return;
                index = taken++;
            }
            Done done;
            player.start();
            long d = 0;
            for (Day day; days->next(day); ++d) {
                if (done.person.empty())
                    done.person = day.whose();
                for (const App& app : day.apps)
                    done.apps.try_emplace(app.bundleID, app);
                player.playDay(day, run.holdoutDays() && d >= run.holdoutDays());
                if (progress) {
                    std::lock_guard lock(mutex);
                    progress(++played);
                }
            }
            done.figures = player.sums();
            if (run.holdoutDays())
                done.later = player.later();
            std::lock_guard lock(mutex);
            waiting.emplace(index, std::move(done));
            for (auto next = waiting.find(merged); next != waiting.end(); next = waiting.find(merged)) {
                run.saw(next->second.apps);
                run.add(next->second.person, next->second.figures, next->second.later);
                waiting.erase(next);
                ++merged;
            }
        }
    };
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < std::max(1u, threads); ++i) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // fewer threads than asked: the work is the same
        }
    }
    work();
    for (auto& worker : workers)
        worker.join();
}

Run playAll(DaySource& source, const Replay& replay, const std::vector<std::string>& policies,
            const std::vector<int>& thresholds, unsigned threads, const std::function<void(long)>& progress)
{
    Run run(policies, thresholds);
    playAll(source, replay, run, threads, progress);
    return run;
}

} // namespace replay
