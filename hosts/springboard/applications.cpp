#include "hosts/springboard/springboard.h"

#include "contract/home_screen.h"
#include "platform/runtime/class_builder.h"
#include "platform/runtime/foundation_objects.h"

#include <charconv>
#include <map>
#include <utility>

namespace sb {
namespace {

    Class applicationClass()
    {
        return objc_getClass("SBApplication");
    }

    ApplicationState* appState(id self)
    {
        return sv::rt::state<ApplicationState>(self);
    }

    // Installs (or re-describes) an application.
    std::optional<std::string> appCommand(const sv::host::Scenario::Words& words)
    {
        if (words.size() < 3 || words[1].empty())
            return "app takes a bundle identifier and a name";
        sv::scenario::AppLine line;
        if (auto why = sv::scenario::readApp(words, line))
            return why;
        ApplicationState fresh;
        fresh.name = line.name;
        if (line.memoryMB)
            fresh.memoryMB = *line.memoryMB;
        // Each flag sets one switch of the application to the value it names.
        static const std::map<std::string, std::pair<bool ApplicationState::*, bool>, std::less<>> kSwitches = {
            { "audio", { &ApplicationState::audio, true } },
            { "location", { &ApplicationState::location, true } },
            { "voip", { &ApplicationState::voip, true } },
            { "no-tasks", { &ApplicationState::taskAssertions, false } },
            { "playing", { &ApplicationState::playing, true } },
            { "recording", { &ApplicationState::recording, true } },
            { "sockets", { &ApplicationState::sockets, true } },
            { "watchdog", { &ApplicationState::watchdog, true } },
            { "no-process", { &ApplicationState::hasProcess, false } },
            { "noimage", { &ApplicationState::drawsIcon, false } },
        };
        bool noId = false;
        for (const std::string& flag : line.flags) {
            if (auto found = kSwitches.find(flag); found != kSwitches.end())
                fresh.*found->second.first = found->second.second;
            else
                noId = noId || flag == "no-id";
        }
        id app = Springboard::shared().application(words[1]);
        ApplicationState* state = appState(app);
        fresh.key = state->key;
        fresh.bundleIdentifier = noId ? nullptr : state->bundleIdentifier;
        fresh.displayIdentifier = noId ? nullptr : state->displayIdentifier;
        if (!noId && !fresh.bundleIdentifier) {
            fresh.bundleIdentifier = sv::rt::makeString(words[1]);
            fresh.displayIdentifier = sv::rt::makeString(words[1]);
        }
        *state = std::move(fresh);
        return std::nullopt;
    }

    id bundleIdentifier(id self, SEL) { return appState(self)->bundleIdentifier.get(); }
    id displayIdentifier(id self, SEL) { return appState(self)->displayIdentifier.get(); }

    // The home screen's own handler: it only reports what it was told.
    void applicationStateChanged(id, SEL, id application, int state)
    {
        const std::string* identifier = sv::rt::stringValue(sv::rt::msgSend<id>(application, "bundleIdentifier"));
        Springboard::shared().event("state " + (identifier ? *identifier : std::string("(none)")) + " "
                                    + std::to_string(state));
    }

    id sharedController(id, SEL)
    {
        static sv::rt::Ref controller
            = sv::rt::Ref::adopt(sv::rt::alloc(objc_getClass(sv::home::cls::ApplicationController)));
        return controller.get();
    }

} // namespace

Springboard& Springboard::shared()
{
    static Springboard instance;
    return instance;
}

void Springboard::event(std::string_view text) const
{
    if (sink_)
        sink_(text);
}

id Springboard::application(const std::string& bundleID)
{
    if (id existing = findApplication(bundleID))
        return existing;
    sv::rt::Ref app = sv::rt::Ref::adopt(sv::rt::alloc(applicationClass()));
    ApplicationState* state = appState(app.get());
    state->bundleIdentifier = sv::rt::makeString(bundleID);
    state->displayIdentifier = sv::rt::makeString(bundleID);
    state->key = bundleID;
    state->name = bundleID;
    id raw = app.get();
    applications_.emplace(bundleID, std::move(app));
    return raw;
}

id Springboard::findApplication(std::string_view bundleID) const
{
    auto found = applications_.find(bundleID);
    return found == applications_.end() ? nullptr : found->second.get();
}

void registerApplicationClasses()
{
    sv::rt::ClassBuilder("SBApplication")
        .state<ApplicationState>()
        .method(sv::home::sel::bundleIdentifier, &bundleIdentifier)
        .method(sv::home::sel::displayIdentifier, &displayIdentifier)
        .registerClass();
    sv::rt::ClassBuilder(sv::home::cls::ApplicationController)
        .method(sv::home::sel::applicationStateChanged, &applicationStateChanged)
        .classMethod(sv::home::sel::sharedInstance, &sharedController)
        .registerClass();
}

ApplicationState* applicationState(id application)
{
    return appState(application);
}

void addApplicationCommands(sv::host::Scenario& scenario)
{
    scenario.addCommand("app", sv::scenario::appUsage(), appCommand);
    scenario.addCommand("state", "state <bundle-id> <n>", [](const sv::host::Scenario::Words& words) -> std::optional<std::string> {
        int state = 0;
        if (words.size() != 3 || words[1].empty())
            return "state takes a bundle identifier and a state number";
        auto [end, error] = std::from_chars(words[2].data(), words[2].data() + words[2].size(), state);
        if (error != std::errc() || end != words[2].data() + words[2].size())
            return "the state must be a whole number";
        id app = Springboard::shared().application(words[1]);
        id controller = sv::rt::msgSend<id>(sv::rt::classObject(sv::home::cls::ApplicationController),
                                            sv::home::sel::sharedInstance);
        sv::rt::msgSend<void>(controller, sv::home::sel::applicationStateChanged, app, state);
        return std::nullopt;
    });
}

} // namespace sb
