// preferences-host: the Settings application stand-in. Shows the Settings list, loads the
// injected libraries, loads the pane's bundle when it is first opened, then plays a scenario on
// its main run loop.
#include "hosts/common/host_main.h"
#include "hosts/common/scenario.h"
#include "hosts/preferences/settings_app.h"

int main(int argc, char** argv)
{
    sv::host::HostParts parts;
    parts.memoryEventsHelp = "taken, so that a runner may start both hosts alike; the Settings host reports nothing more";
    parts.setUp = [](sv::host::Scenario& scenario) -> std::shared_ptr<void> {
        auto app = std::make_shared<prefs_host::SettingsApp>(scenario);
        app->addCommands();
        return app;
    };
    return sv::host::runHost(argc, argv, "preferences-host", parts);
}
