#pragma once
// Seeded synthetic days of phone use, calibrated to published statistics (see docs/replay.md):
// application popularity by a Zipf law, times between sessions log-normal, sessions of median
// 1 min 46 s holding a median of 2 applications. On top, four habits of real days, each of
// which can be switched off; their rates are our own choices (see the constants).

#include "playback/day.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace replay {

struct Habits {
    bool returns = true;     // back to the application before the previous one (A, B, A)
    bool successions = true; // B usually follows A
    bool dayparts = true;    // favourites change with the time of day
    bool bursts = true;      // an application reopened every few minutes for a while
    bool shifts = true;      // favourites that change: another set by time of day, a newcomer mid-week

    static Habits none() { return { false, false, false, false, false }; }
    // A comma-separated list of returns, successions, dayparts, bursts, shifts; or "all", or "none".
    static std::optional<Habits> parse(std::string_view text, std::string* why);
    // "all", "none", or the list of those on.
    std::string text() const;
};

struct Session {
    double start = 0;    // seconds since midnight, whole
    double duration = 0; // seconds, whole: the sum of the spans
    std::vector<AppId> apps;
    std::vector<double> spans; // whole seconds each application is in the foreground, 1 or more
};

class Synthetic {
public:
    static constexpr double kSessionMedianSeconds = 106; // 1 min 46 s
    static constexpr double kSessionSigma = 0.9;
    static constexpr double kFirstAppShare = 0.4; // P(one application): the median is then 2
    static constexpr double kGapMedianSeconds = 12 * 60;
    static constexpr double kGapSigma = 1.0;
    static constexpr double kZipfExponent = 1.0;
    static constexpr double kDayStart = 7 * 3600, kDayEnd = 23 * 3600;

    // The habits' rates, all our own choices.
    // returns: an application from the third of a session on is the one before the previous.
    static constexpr double kReturnShare = 0.3;
    // successions: otherwise, the usual successor of the previous one (each application has one,
    // drawn by popularity once a person).
    static constexpr double kFollowShare = 0.3;
    // dayparts: from 07:00, 11:00, 17:00 and 21:00 the ranks after the first two are reordered
    // among the next ten (the first two, messaging and the like, lead all day).
    static constexpr int kDayparts = 4;
    static constexpr int kDaypartKept = 2, kDaypartShuffled = 10;
    // bursts: a session starts a burst of its first application, which then opens the next 2 to
    // 6 sessions, each after a log-normal gap of median 3 minutes.
    static constexpr double kBurstShare = 0.1;
    static constexpr int kBurstMin = 2, kBurstMax = 6;
    static constexpr double kBurstGapMedianSeconds = 180, kBurstGapSigma = 0.5;
    // shifts: from 07:00, 11:00, 17:00 and 21:00 the whole order of popularity turns by a quarter
    // of the applications (the favourites of each part of the day are others), and from the
    // fourth day on an application never used before takes the place of the person's first
    // favourite, which is used no more (and what followed it follows the newcomer).
    static constexpr int kShiftNewcomerDay = 3;

    explicit Synthetic(unsigned seed, Habits habits = {})
        : seed_(seed)
        , habits_(habits)
    {
    }
    // The applications a person has (most used first) and that person's sessions on one day.
    std::vector<App> catalogue(int person) const;
    std::vector<Session> sessions(int person, int day) const;
    Day day(int person, int day) const;
    std::vector<Day> days(int people, int daysEach) const;
    const Habits& habits() const { return habits_; }

private:
    unsigned seed_;
    Habits habits_;
};

} // namespace replay
