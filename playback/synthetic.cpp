#include "playback/synthetic.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

namespace replay {
namespace {

    // Names the footprint table knows, so that a synthetic day mixes published figures with
    // seeded ones.
    const char* const kKnownNames[] = {
        "WhatsApp", "Chrome", "Facebook", "Instagram", "Gmail", "YouTube", "Google Maps", "Camera",
        "Messages", "Spotify", "Snapchat", "Twitter", "Telegram", "Netflix", "Settings", "Phone",
        "Clock", "Calculator", "Calendar", "Contacts", "Photos", "Play Store", "Weather", "News",
    };

    const char* const kHabitNames[] = { "returns", "successions", "dayparts", "bursts", "shifts" };

    std::mt19937_64 engine(unsigned seed, int person, int day)
    {
        std::seed_seq sequence { seed, static_cast<unsigned>(person), static_cast<unsigned>(day), 0x5eedu };
        return std::mt19937_64(sequence);
    }

    bool* habit(Habits& habits, std::size_t i)
    {
        bool* all[] = { &habits.returns, &habits.successions, &habits.dayparts, &habits.bursts, &habits.shifts };
        return all[i];
    }

    // What a person keeps from day to day beside the catalogue: each application's usual
    // successor and the popularity of each by daypart.
    struct Profile {
        std::vector<AppId> successor;
        std::vector<std::vector<double>> weights; // by daypart (one when dayparts are off)
    };

    std::vector<double> zipf(const std::vector<AppId>& byRank)
    {
        std::vector<double> weights(byRank.size());
        for (std::size_t r = 0; r < byRank.size(); ++r)
            weights[static_cast<std::size_t>(byRank[r])] = 1 / std::pow(double(r + 1), Synthetic::kZipfExponent);
        return weights;
    }

    // Favourites that change: each part of the day turns the order by a quarter of the
    // applications, and from the newcomer's day the last one, unused before, takes the first
    // one's place.
    void shift(Profile& p, std::size_t count, int day)
    {
        p.weights.resize(std::size_t(Synthetic::kDayparts), p.weights[0]);
        for (std::size_t part = 1; part < p.weights.size(); ++part) {
            std::vector<double> turned(count);
            for (std::size_t app = 0; app < count; ++app)
                turned[app] = p.weights[part][(app + part * count / 4) % count];
            p.weights[part] = std::move(turned);
        }
        AppId dropped = 0, newcomer = AppId(count - 1);
        bool arrived = day >= Synthetic::kShiftNewcomerDay;
        for (auto& weights : p.weights) {
            weights[std::size_t(newcomer)] = arrived ? weights[std::size_t(dropped)] : 0;
            if (arrived)
                weights[std::size_t(dropped)] = 0;
        }
        // What followed the one gone follows the newcomer; before, nothing leads to the newcomer.
        if (arrived)
            p.successor[std::size_t(newcomer)] = p.successor[std::size_t(dropped)];
        for (AppId& next : p.successor)
            if (next == (arrived ? dropped : newcomer))
                next = arrived ? newcomer : dropped;
    }

    Profile profile(unsigned seed, int person, std::size_t count, const Habits& habits, int day)
    {
        auto random = engine(seed, person, -2);
        std::vector<AppId> ranks(count);
        std::iota(ranks.begin(), ranks.end(), 0);
        Profile p;
        p.weights.push_back(zipf(ranks));
        if (habits.dayparts)
            for (int part = 1; part < Synthetic::kDayparts; ++part) {
                std::vector<AppId> byRank = ranks;
                auto first = byRank.begin() + std::min<long>(Synthetic::kDaypartKept, long(count));
                auto last = byRank.begin() + std::min<long>(Synthetic::kDaypartKept + Synthetic::kDaypartShuffled, long(count));
                std::shuffle(first, last, random);
                p.weights.push_back(zipf(byRank));
            }
        std::discrete_distribution<int> pick(p.weights[0].begin(), p.weights[0].end());
        for (std::size_t app = 0; app < count; ++app) {
            AppId next = pick(random);
            for (int tries = 0; tries < 8 && next == AppId(app); ++tries)
                next = pick(random);
            p.successor.push_back(next == AppId(app) ? AppId((app + 1) % count) : next);
        }
        if (habits.shifts)
            shift(p, count, day);
        return p;
    }

    int daypart(double time)
    {
        return time < 11 * 3600 ? 0 : time < 17 * 3600 ? 1 : time < 21 * 3600 ? 2 : 3;
    }

} // namespace

std::optional<Habits> Habits::parse(std::string_view text, std::string* why)
{
    if (text == "all")
        return Habits {};
    Habits habits = none();
    if (text == "none")
        return habits;
    while (true) {
        std::string_view word = text.substr(0, text.find(','));
        auto found = std::find(std::begin(kHabitNames), std::end(kHabitNames), word);
        if (found == std::end(kHabitNames)) {
            if (why)
                *why = "--habits takes returns, successions, dayparts, bursts and shifts, comma-separated, or all or none (not '"
                    + std::string(word) + "')";
            return std::nullopt;
        }
        *habit(habits, std::size_t(found - std::begin(kHabitNames))) = true;
        if (word.size() == text.size())
            return habits;
        text.remove_prefix(word.size() + 1);
    }
}

std::string Habits::text() const
{
    const bool on[] = { returns, successions, dayparts, bursts, shifts };
    std::string list;
    for (std::size_t i = 0; i < std::size(kHabitNames); ++i)
        if (on[i])
            list += (list.empty() ? "" : ",") + std::string(kHabitNames[i]);
    if (std::all_of(std::begin(on), std::end(on), [](bool b) { return b; }))
        return "all";
    return list.empty() ? "none" : list;
}

std::vector<App> Synthetic::catalogue(int person) const
{
    auto random = engine(seed_, person, -1);
    std::vector<std::string> names(std::begin(kKnownNames), std::end(kKnownNames));
    int count = std::uniform_int_distribution<int>(15, 40)(random);
    for (int i = 0; static_cast<int>(names.size()) < count + 6; ++i)
        names.push_back("App " + std::to_string(person) + "." + std::to_string(i));
    std::shuffle(names.begin(), names.end(), random);
    names.resize(static_cast<std::size_t>(count));
    std::vector<App> apps;
    for (const std::string& name : names)
        apps.push_back(App { name, bundleIDFor(name), std::nullopt, {} });
    return apps;
}

std::vector<Session> Synthetic::sessions(int person, int day) const
{
    std::size_t count = catalogue(person).size();
    Profile usual = profile(seed_, person, count, habits_, day);
    auto random = engine(seed_, person, day);
    std::vector<std::discrete_distribution<int>> pick;
    for (const auto& weights : usual.weights)
        pick.emplace_back(weights.begin(), weights.end());
    std::lognormal_distribution<double> length(std::log(kSessionMedianSeconds), kSessionSigma);
    std::lognormal_distribution<double> gap(std::log(kGapMedianSeconds), kGapSigma);
    std::lognormal_distribution<double> burstGap(std::log(kBurstGapMedianSeconds), kBurstGapSigma);
    std::geometric_distribution<int> more(kFirstAppShare);
    std::exponential_distribution<double> share(1);
    std::uniform_real_distribution<double> chance(0, 1);

    std::vector<Session> sessions;
    AppId burstApp = kNoApp;
    int burstLeft = 0;
    double time = std::round(kDayStart + std::uniform_real_distribution<double>(0, 3600)(random));
    while (time < kDayEnd) {
        auto& choose = pick[pick.size() > 1 ? std::size_t(daypart(time)) : 0];
        Session session;
        session.start = time;
        double duration = std::max(2.0, std::round(length(random)));
        int apps = 1 + more(random);
        if (burstLeft > 0) {
            session.apps.push_back(burstApp);
            --burstLeft;
        } else {
            session.apps.push_back(choose(random));
            if (habits_.bursts && chance(random) < kBurstShare) {
                burstApp = session.apps.back();
                burstLeft = std::uniform_int_distribution<int>(kBurstMin, kBurstMax)(random);
            }
        }
        for (int i = 1; i < apps; ++i) {
            AppId previous = session.apps.back(), next = kNoApp;
            if (habits_.returns && session.apps.size() >= 2 && chance(random) < kReturnShare)
                next = session.apps[session.apps.size() - 2];
            else if (habits_.successions && chance(random) < kFollowShare)
                next = usual.successor[std::size_t(previous)];
            else
                for (int tries = 0; tries < 8 && (next == kNoApp || next == previous); ++tries)
                    next = choose(random);
            // The next application of a session is another one (a return to the same is no switch).
            if (next != previous)
                session.apps.push_back(next);
        }
        // The session's time split at random, in whole seconds, and ended before midnight.
        duration = std::min(duration, 24 * 3600 - 1 - time - double(session.apps.size()));
        double total = 0;
        for (std::size_t i = 0; i < session.apps.size(); ++i) {
            session.spans.push_back(share(random));
            total += session.spans.back();
        }
        for (double& span : session.spans) {
            span = std::max(1.0, std::round(duration * span / total));
            session.duration += span;
        }
        time += session.duration + std::round(burstLeft > 0 ? burstGap(random) : gap(random));
        sessions.push_back(std::move(session));
    }
    return sessions;
}

Day Synthetic::day(int person, int dayIndex) const
{
    Day day;
    day.person = "synthetic person " + std::to_string(person);
    day.label = day.person + ", day " + std::to_string(dayIndex + 1);
    day.apps = catalogue(person);
    DayBuilder build(day);
    for (const Session& session : sessions(person, dayIndex)) {
        double time = session.start;
        for (std::size_t i = 0; i < session.apps.size(); ++i) {
            build.open(time, session.apps[i]);
            time += session.spans[i];
        }
        build.home(session.start + session.duration);
    }
    return day;
}

std::vector<Day> Synthetic::days(int people, int daysEach) const
{
    std::vector<Day> all;
    for (int person = 0; person < people; ++person)
        for (int d = 0; d < daysEach; ++d)
            all.push_back(day(person, d));
    return all;
}

} // namespace replay
