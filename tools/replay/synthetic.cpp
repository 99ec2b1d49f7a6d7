#include "tools/replay/synthetic.h"

#include <algorithm>
#include <cmath>
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

    std::mt19937_64 engine(unsigned seed, int person, int day)
    {
        std::seed_seq sequence { seed, static_cast<unsigned>(person), static_cast<unsigned>(day), 0x5eedu };
        return std::mt19937_64(sequence);
    }

} // namespace

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
    auto random = engine(seed_, person, day);
    std::size_t count = catalogue(person).size();
    // Zipf: the application of rank r is used in proportion to 1 / r^s.
    std::vector<double> weights;
    for (std::size_t r = 1; r <= count; ++r)
        weights.push_back(1 / std::pow(double(r), kZipfExponent));
    std::discrete_distribution<int> pick(weights.begin(), weights.end());
    std::lognormal_distribution<double> length(std::log(kSessionMedianSeconds), kSessionSigma);
    std::lognormal_distribution<double> gap(std::log(kGapMedianSeconds), kGapSigma);
    std::geometric_distribution<int> more(kFirstAppShare);
    std::exponential_distribution<double> share(1);

    std::vector<Session> sessions;
    double time = kDayStart + std::uniform_real_distribution<double>(0, 3600)(random);
    while (time < kDayEnd) {
        Session session;
        session.start = std::round(time);
        session.duration = std::max(2.0, std::round(length(random)));
        int apps = 1 + more(random);
        double total = 0;
        for (int i = 0; i < apps; ++i) {
            AppId app = pick(random);
            // The next application of a session is another one (a return to the same is no switch).
            for (int tries = 0; tries < 8 && !session.apps.empty() && app == session.apps.back(); ++tries)
                app = pick(random);
            if (!session.apps.empty() && app == session.apps.back())
                continue;
            session.apps.push_back(app);
            session.spans.push_back(share(random));
            total += session.spans.back();
        }
        for (double& span : session.spans)
            span = session.duration * span / total;
        sessions.push_back(std::move(session));
        time += sessions.back().duration + gap(random);
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
