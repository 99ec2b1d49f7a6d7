#pragma once
// Seeded synthetic days of phone use, calibrated to published statistics (see the README):
// application popularity by a Zipf law, times between sessions log-normal, sessions of median
// 1 min 46 s holding a median of 2 applications.

#include "tools/replay/day.h"

#include <vector>

namespace replay {

struct Session {
    double start = 0;    // seconds since midnight
    double duration = 0; // seconds
    std::vector<AppId> apps;
    std::vector<double> spans; // seconds each application is in the foreground
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

    explicit Synthetic(unsigned seed)
        : seed_(seed)
    {
    }
    // The applications a person has (most used first) and that person's sessions on one day.
    std::vector<App> catalogue(int person) const;
    std::vector<Session> sessions(int person, int day) const;
    Day day(int person, int day) const;
    std::vector<Day> days(int people, int daysEach) const;

private:
    unsigned seed_;
};

} // namespace replay
