#pragma once
// One replay run: every day under every policy at every threshold, summed, with a recommended
// threshold for each policy.

#include "playback/cost.h"
#include "playback/recommend.h"
#include "playback/replay.h"
#include "playback/day_source.h"
#include "playback/policies.h"

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
    // Policy by policy, the thresholds in the order given: the days' figures summed; with later,
    // the days from the split on are summed there instead (alike in order).
    std::vector<Figures> play(const std::vector<Day>& days, std::vector<Figures>* later = nullptr,
                              std::size_t split = 0);
    // The same a day at a time: start() before a person's first day, playDay() each day in order
    // (a later day summed into later() instead of sums()), then sums() and later().
    void start();
    void playDay(const Day& day, bool later = false);
    const std::vector<Figures>& sums() const { return sums_; }
    const std::vector<Figures>& later() const { return later_; }

private:
    const Replay& replay_;
    std::vector<int> thresholds_;
    std::vector<std::unique_ptr<Policy>> policies_;
    std::vector<Figures> sums_, later_;
    // The rules' play of each threshold, for the foresight bound to plan on.
    std::vector<std::pair<Figures, std::vector<Closed>>> rules_;
};

// Advice drawn from each person's first days, scored on the rest of them.
struct Holdout {
    static constexpr int kDefaultThreshold = int(model::kDefaultThreshold); // the library's, when nothing is set
    long days = 0;       // the first days of each person the advice is drawn from
    Figures advice;      // the rest of the days at each person's advice
    Figures byDefault;   // ... at kDefaultThreshold
    Figures hindsight;   // ... at the slider value that cost each person least on them
    double adviceCost = 0, defaultCost = 0, hindsightCost = 0; // seconds
    long people = 0;     // people with days after the first ones
    long peopleNoWorse = 0; // ... whose advice restarted no more within 10 minutes and left memory low
                            // no longer than the default
    // ... whose advice restarted at most kHeldRestarts as many as the default and, where the default
    // left memory low as long as the advice sets out to cut (Advice::kLowMinutesADay) or more, left
    // it low at most kHeldLowShare as long
    long peopleHeld = 0;
    static constexpr double kHeldRestarts = 1.1, kHeldLowShare = 0.5;
};

// The figures of every person, summed, and a recommendation for each policy: the rows at the
// thresholds asked for, the recommendation from every slider value (played beside them).
class Run {
public:
    // holdoutDays: 0 for none.
    Run(const std::vector<std::string>& policies, const std::vector<int>& thresholds, Costs costs = {},
        long holdoutDays = 0);
    // Every threshold to play: those asked for and the slider's values, ascending.
    const std::vector<int>& played() const { return played_; }
    long holdoutDays() const { return holdoutDays_; }
    // One person's figures, as Player::play answers them at played(); later: those of the days
    // after the holdout's first ones (empty without one).
    void add(const std::string& person, const std::vector<Figures>& figures, const std::vector<Figures>& later = {});
    // The applications of a person's days, by identifier (the first met of each), for what
    // their footprints were.
    void saw(const std::vector<Day>& days);
    void saw(const Day& day);
    void saw(const std::map<std::string, App>& apps);
    const std::map<std::string, App>& apps() const { return apps_; }
    const std::vector<Figures>& rows() const { return rows_; }
    std::vector<Recommendation> recommendations() const;
    // A policy's holdout (with --holdout); nothing for another.
    const Holdout* holdout(const std::string& policy) const;
    long days() const { return days_; }
    const Costs& costs() const { return costs_; }
    const std::vector<std::string>& policies() const { return policies_; }

private:
    std::vector<std::string> policies_;
    std::vector<int> thresholds_, played_;
    std::vector<std::size_t> rowAt_; // for each row, its index among played_
    Costs costs_;
    long holdoutDays_;
    std::vector<Recommender> recommenders_;
    std::vector<Holdout> holdouts_;
    std::vector<Figures> rows_;
    std::map<std::string, App> apps_;
    long days_ = 0;
};

// Plays every person the source gives on up to `threads` threads, each with policies of its own,
// a day at a time (what the run holds does not grow with the days); the sums are made in the
// source's order, so the figures do not depend on the threads. progress is told the days played
// after each day. The run comes made (its policies, thresholds, costs and holdout).
void playAll(DaySource& source, const Replay& replay, Run& run, unsigned threads,
             const std::function<void(long)>& progress = {});
// The same for a run made of these, with the default costs and no holdout.
Run playAll(DaySource& source, const Replay& replay, const std::vector<std::string>& policies,
            const std::vector<int>& thresholds, unsigned threads, const std::function<void(long)>& progress = {});

} // namespace replay
