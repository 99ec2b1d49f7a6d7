#pragma once
// The home-screen stand-in: its runtime classes and the simulated device they answer for.

#include "hosts/common/scenario.h"
#include "platform/runtime/object.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace sb {

// The C++ side of an "SBApplication" object: what the `app` command installed.
struct ApplicationState : sv::rt::ObjectState {
    sv::rt::Ref bundleIdentifier;  // NSString or null (`no-id`)
    sv::rt::Ref displayIdentifier; // NSString or null (`no-id`)
    std::string key;               // the identifier scenarios name it by
    std::string name;              // display name
    double memoryMB = 0;           // footprint while running (`mem=`)
    // Declared background modes.
    bool audio = false;
    bool location = false;
    bool voip = false;
    // The process and what it is doing.
    bool hasProcess = true;        // false: `no-process`
    bool taskAssertions = true;    // false: `no-tasks`
    bool playing = false;
    bool recording = false;
    bool sockets = false;
    bool watchdog = false;
    bool drawsIcon = true;         // false: `noimage`
};

class Springboard {
public:
    static Springboard& shared();

    // Where events go: the scenario's output in the host, a list in tests.
    using EventSink = std::function<void(std::string_view)>;
    void setEventSink(EventSink sink) { sink_ = std::move(sink); }
    void attach(sv::host::Scenario& scenario)
    {
        setEventSink([&scenario](std::string_view text) { scenario.event(text); });
    }
    void event(std::string_view text) const;

    // The application object of an identifier, made on first mention.
    id application(const std::string& bundleID);
    id findApplication(std::string_view bundleID) const;
    // Forgets every application (tests starting afresh).
    void reset() { applications_.clear(); }
    const std::map<std::string, sv::rt::Ref, std::less<>>& applications() const { return applications_; }

private:
    EventSink sink_;
    std::map<std::string, sv::rt::Ref, std::less<>> applications_;
};

// "SBApplication" and "SBApplicationController".
void registerApplicationClasses();
ApplicationState* applicationState(id application);

// app <bundle-id> "<name>" [flags], state <bundle-id> <n>
void addApplicationCommands(sv::host::Scenario& scenario);

} // namespace sb
