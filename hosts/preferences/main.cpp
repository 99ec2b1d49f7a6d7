// preferences-host: the Settings application stand-in. Shows the Settings list, loads the
// injected libraries, loads the pane's bundle when it is first opened, then plays a scenario on
// its main run loop.
#include "hosts/common/host_main.h"
#include "hosts/common/scenario.h"
#include "hosts/preferences/settings_app.h"
#include "platform/foundation/injection.h"
#include "platform/foundation/run_loop.h"
#include "platform/notify/darwin_notify.h"

namespace {
void printPost(const char* name, void* context)
{
    static_cast<sv::host::Scenario*>(context)->event(std::string("posted ") + name);
}
}

int main(int argc, char** argv)
{
    const char* program = "preferences-host";
    auto options = sv::host::parseCommandLine(argc, argv, program);
    if (!options)
        return 2;
    int input = sv::host::prepareHost(*options, program);
    if (input < 0)
        return 2;

    sv::RunLoop& loop = sv::RunLoop::main();
    sv::host::Scenario scenario(program, loop);
    int status;
    {
        prefs_host::SettingsApp app(scenario);
        app.addCommands();

        sv::notify::startListening();
        sv::notify::setTap(printPost, &scenario);
        sv::injection::loadInjectedLibraries();

        status = scenario.run(input);
        sv::notify::setTap(nullptr, nullptr);
    }
    // Pending timers hold screens; they go while everything they use still exists.
    loop.removeAllTimers();
    return status;
}
