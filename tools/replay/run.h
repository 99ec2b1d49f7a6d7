#pragma once
// One replay run: every day under every policy at every threshold, summed, with a recommended
// threshold for each policy.

#include "tools/replay/recommend.h"
#include "tools/replay/replay.h"
#include "tools/replay/day_source.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace replay {

// Plays days under every policy at every threshold; what a policy learns is carried over a
// person's days, so a person's days come to one player, together and in order.
class Player {
public:
    // Policies by the names makePolicy knows (an unknown one is left out).
    Player(const Replay& replay, const std::vector<std::string>& policies, const std::vector<int>& thresholds);
    // Policy by policy, the thresholds in the order given: the days' figures summed.
    std::vector<Figures> play(const std::vector<Day>& days);
    // The same a day at a time: start() before a person's first day, playDay() each day in order,
    // then sums().
    void start();
    void playDay(const Day& day);
    const std::vector<Figures>& sums() const { return sums_; }

private:
    const Replay& replay_;
    std::vector<int> thresholds_;
    std::vector<std::unique_ptr<Policy>> policies_;
    std::vector<Figures> sums_;
    // The rules' play of each threshold, for the foresight bound to plan on.
    std::vector<std::pair<Figures, std::vector<Closed>>> rules_;
};

// The figures of every person, summed, and a recommendation for each policy.
class Run {
public:
    Run(const std::vector<std::string>& policies, const std::vector<int>& thresholds);
    // One person's figures, as Player::play answers them.
    void add(const std::string& person, const std::vector<Figures>& figures);
    // The applications of a person's days, by identifier (the first met of each), for what
    // their footprints were.
    void saw(const std::vector<Day>& days);
    void saw(const Day& day);
    void saw(const std::map<std::string, App>& apps);
    const std::map<std::string, App>& apps() const { return apps_; }
    const std::vector<Figures>& rows() const { return rows_; }
    std::vector<Recommendation> recommendations() const;
    long days() const { return days_; }

private:
    std::vector<int> thresholds_;
    std::vector<Recommender> recommenders_;
    std::vector<Figures> rows_;
    std::map<std::string, App> apps_;
    long days_ = 0;
};

// Plays every person the source gives on up to `threads` threads, each with policies of its own,
// a day at a time (what the run holds does not grow with the days); the sums are made in the
// source's order, so the figures do not depend on the threads. progress is told the days played
// after each day.
Run playAll(DaySource& source, const Replay& replay, const std::vector<std::string>& policies,
            const std::vector<int>& thresholds, unsigned threads, const std::function<void(long)>& progress = {});

} // namespace replay
