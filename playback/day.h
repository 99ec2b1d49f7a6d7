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

// The settings file's lists and Close Every App.
struct Lists {
    std::vector<std::string> never, always;
    bool alwaysKill = false;
};

struct Event {
    // Lists: a scenario changed the settings file's lists during the day.
    enum class Kind { Launch, Home, State, Call, Lists };
    Kind kind = Kind::Launch;
    double time = 0; // seconds since the day began
    AppId app = kNoApp;
    int state = 0;
    Call call = Call::None;
    int lists = -1; // Lists: what is in force from then on, in Day::listChanges
};

// A close the library made, as its diary recorded it.
struct RecordedClose {
    double time = 0;
    AppId app = kNoApp;
    std::string reason;
};

struct Day {
    std::string label; // who and when, for messages
    std::string person; // whose day: what a policy learns from use is carried over that person's days
    std::vector<App> apps;
    std::vector<Event> events; // in time order
    // What a scenario set (the lists as the day starts); nothing means the command line's device
    // and empty lists.
    std::optional<double> totalMB, baseMB;
    std::vector<std::string> never, always;
    bool alwaysKill = false;
    std::vector<Lists> listChanges; // what each Lists event puts in force
    // A day of the library's diary, and the closes the library made on it.
    bool diary = false;
    std::vector<RecordedClose> recordedCloses;

    double end() const { return events.empty() ? 0 : events.back().time; }
    // Whose day it is: the person, else the label.
    const std::string& whose() const { return person.empty() ? label : person; }
    // An application came to the foreground.
    bool used() const;
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
