#pragma once
// The home-screen stand-in: its runtime classes and the simulated device they answer for.

#include "hosts/common/scenario.h"
#include "platform/runtime/object.h"

#include <map>
#include <string>
#include <string_view>

namespace sb {

// The C++ side of an "SBApplication" object.
struct ApplicationState : sv::rt::ObjectState {
    sv::rt::Ref bundleIdentifier;  // NSString or null
    sv::rt::Ref displayIdentifier; // NSString or null
    std::string name;
};

class Springboard {
public:
    static Springboard& shared();

    void attach(sv::host::Scenario& scenario) { scenario_ = &scenario; }
    void event(std::string_view text) const;

    // The application object of an identifier, made on first mention.
    id application(const std::string& bundleID);
    id findApplication(std::string_view bundleID) const;
    const std::map<std::string, sv::rt::Ref, std::less<>>& applications() const { return applications_; }

private:
    sv::host::Scenario* scenario_ = nullptr;
    std::map<std::string, sv::rt::Ref, std::less<>> applications_;
};

// "SBApplication" and "SBApplicationController".
void registerApplicationClasses();
// state <bundle-id> <n>
void addApplicationCommands(sv::host::Scenario& scenario);

} // namespace sb
