#include "tools/replay/run.h"

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

std::vector<Figures> Player::play(const std::vector<Day>& days)
{
    std::vector<Figures> sums;
    for (const auto& policy : policies_)
        for (int threshold : thresholds_) {
            Figures sum;
            sum.policy = policy->name();
            sum.threshold = threshold;
            sums.push_back(sum);
        }
    // The rules' play of each threshold, for the foresight bound to plan on.
    std::vector<std::pair<Figures, std::vector<Closed>>> rules(thresholds_.size());
    for (const Day& given : days) {
        Day day = withFootprints(given, replay_.footprints());
        std::size_t row = 0;
        bool ruled = false;
        for (const auto& policy : policies_) {
            bool rulesToKeep = policy->name() == "parts";
            auto* planner = dynamic_cast<PlansOnTheRules*>(policy.get());
            for (std::size_t t = 0; t < thresholds_.size(); ++t) {
                if (planner && ruled)
                    planner->rulesPlayed(rules[t].first, rules[t].second);
                if (rulesToKeep)
                    rules[t].second.clear();
                Figures figures = replay_.play(day, *policy, thresholds_[t], rulesToKeep ? &rules[t].second : nullptr);
                if (rulesToKeep)
                    rules[t].first = figures;
                sums[row++].add(figures);
            }
            ruled = ruled || rulesToKeep;
        }
    }
    return sums;
}

Run::Run(const std::vector<std::string>& policies, const std::vector<int>& thresholds)
    : thresholds_(thresholds)
{
    for (const std::string& name : policies) {
        if (!makePolicy(name))
            continue;
        recommenders_.emplace_back(name, thresholds);
        for (int threshold : thresholds) {
            Figures sum;
            sum.policy = name;
            sum.threshold = threshold;
            rows_.push_back(sum);
        }
    }
}

void Run::add(const std::string& person, const std::vector<Figures>& figures)
{
    for (std::size_t row = 0; row < rows_.size() && row < figures.size(); ++row) {
        rows_[row].add(figures[row]);
        recommenders_[row / thresholds_.size()].add(person, figures[row].threshold, figures[row]);
    }
    if (!figures.empty())
        days_ += figures.front().days;
}

void Run::saw(const std::vector<Day>& days)
{
    for (const Day& day : days)
        for (const App& app : day.apps)
            apps_.try_emplace(app.bundleID, app);
}

std::vector<Recommendation> Run::recommendations() const
{
    std::vector<Recommendation> all;
    for (const Recommender& recommender : recommenders_)
        all.push_back(recommender.result());
    return all;
}

Run playAll(DaySource& source, const Replay& replay, const std::vector<std::string>& policies,
            const std::vector<int>& thresholds, unsigned threads, const std::function<void(long)>& progress)
{
    Run run(policies, thresholds);
    std::mutex mutex;
    long taken = 0, merged = 0;
    std::map<long, std::pair<std::string, std::vector<Figures>>> waiting; // done, not yet summed
    auto work = [&] {
        Player player(replay, policies, thresholds);
        std::vector<Day> days;
        for (;;) {
            long index;
            {
                std::lock_guard lock(mutex);
                if (!source.next(days))
                    return;
                index = taken++;
                run.saw(days);
            }
            std::string person = days.empty() ? "" : days.front().whose();
            auto figures = player.play(days);
            std::lock_guard lock(mutex);
            waiting.emplace(index, std::pair(person, std::move(figures)));
            for (auto next = waiting.find(merged); next != waiting.end(); next = waiting.find(merged)) {
                run.add(next->second.first, next->second.second);
                waiting.erase(next);
                ++merged;
            }
            if (progress)
                progress(run.days());
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
    return run;
}

} // namespace replay
