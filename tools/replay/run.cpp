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
    start();
    for (const Day& day : days)
        playDay(day);
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
    rules_.assign(thresholds_.size(), {});
}

void Player::playDay(const Day& given)
{
    Day day = withFootprints(given, replay_.footprints());
    std::size_t row = 0;
    bool ruled = false;
    for (const auto& policy : policies_) {
        bool rulesToKeep = policy->name() == "parts";
        auto* planner = dynamic_cast<PlansOnTheRules*>(policy.get());
        for (std::size_t t = 0; t < thresholds_.size(); ++t) {
            if (planner && ruled)
                planner->rulesPlayed(rules_[t].first, rules_[t].second);
            if (rulesToKeep)
                rules_[t].second.clear();
            Figures figures = replay_.play(day, *policy, thresholds_[t], rulesToKeep ? &rules_[t].second : nullptr);
            if (rulesToKeep)
                rules_[t].first = figures;
            sums_[row++].add(figures);
        }
        ruled = ruled || rulesToKeep;
    }
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

Run playAll(DaySource& source, const Replay& replay, const std::vector<std::string>& policies,
            const std::vector<int>& thresholds, unsigned threads, const std::function<void(long)>& progress)
{
    Run run(policies, thresholds);
    std::mutex mutex;
    long taken = 0, merged = 0, played = 0;
    struct Done {
        std::string person;
        std::vector<Figures> figures;
        std::map<std::string, App> apps;
    };
    std::map<long, Done> waiting; // played, not yet summed
    auto work = [&] {
        Player player(replay, policies, thresholds);
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
            for (Day day; days->next(day);) {
                if (done.person.empty())
                    done.person = day.whose();
                for (const App& app : day.apps)
                    done.apps.try_emplace(app.bundleID, app);
                player.playDay(day);
                if (progress) {
                    std::lock_guard lock(mutex);
                    progress(++played);
                }
            }
            done.figures = player.sums();
            std::lock_guard lock(mutex);
            waiting.emplace(index, std::move(done));
            for (auto next = waiting.find(merged); next != waiting.end(); next = waiting.find(merged)) {
                run.saw(next->second.apps);
                run.add(next->second.person, next->second.figures);
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
    return run;
}

} // namespace replay
