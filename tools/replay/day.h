#pragma once
// One day of one person's phone use as the replay plays it: what the home screen saw, in order.

#include "model/day.h"

#include <optional>
#include <string>
#include <vector>

namespace replay {

using AppId = int;
inline constexpr AppId kNoApp = -1;

struct App {
    std::string name;     // as the trace names it (footprints are looked up by it)
    std::string bundleID; // as the home screen knows it
    std::optional<double> memoryMB; // given by the trace itself (a scenario's `mem=`)
    std::vector<std::string> flags; // a scenario's background modes and process flags
};

using Call = model::Call;

struct Event {
    enum class Kind { Launch, Home, State, Call };
    Kind kind = Kind::Launch;
    double time = 0; // seconds since the day began
    AppId app = kNoApp;
    int state = 0;
    Call call = Call::None;
};

struct Day {
    std::string label; // who and when, for messages
    std::string person; // whose day: what a policy learns from use is carried over that person's days
    std::vector<App> apps;
    std::vector<Event> events; // in time order
    // What a scenario set; nothing means the command line's device and empty lists.
    std::optional<double> totalMB, baseMB;
    std::vector<std::string> never, always;
    bool alwaysKill = false;

    double end() const { return events.empty() ? 0 : events.back().time; }
    // The application of that name, added when it is new.
    AppId app(const std::string& name, const std::string& bundleID);
    AppId find(const std::string& bundleID) const;
};

// Days read from a trace; each bad line was reported on standard error as "<source>: line N: why".
struct Trace {
    std::vector<Day> days;
    int badLines = 0;
    long lines = 0;
};

// Builds a day from foreground spans: an application comes to the foreground (the one before it
// leaves, state 2) or the home screen does.
class DayBuilder {
public:
    explicit DayBuilder(Day& day)
        : day_(day)
    {
    }
    // At time, the application comes to the foreground (nothing when it is there already).
    void open(double time, AppId app);
    // At time, the foreground application leaves for the home screen (nothing when none is up).
    void home(double time);
    AppId foreground() const { return foreground_; }

private:
    void add(Event::Kind kind, double time, AppId app, int state = 0);
    Day& day_;
    AppId foreground_ = kNoApp;
};

// A name turned into an identifier the home screen accepts.
std::string bundleIDFor(const std::string& name);

} // namespace replay
