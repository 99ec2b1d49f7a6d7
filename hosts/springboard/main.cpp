// springboard-host: the home-screen stand-in. Registers the home screen's classes, loads the
// injected libraries, then plays a scenario on its main run loop.
#include "hosts/common/host_main.h"
#include "hosts/common/scenario.h"
#include "hosts/springboard/icon_model.h"
#include "hosts/springboard/springboard.h"
#include "platform/foundation/injection.h"
#include "platform/foundation/run_loop.h"
#include "platform/notify/darwin_notify.h"

#include <cstdio>

namespace {
void printPost(const char* name, void* context)
{
    static_cast<sv::host::Scenario*>(context)->event(std::string("posted ") + name);
}
}

int main(int argc, char** argv)
{
    const char* program = "springboard-host";
    auto options = sv::host::parseCommandLine(argc, argv, program);
    if (!options)
        return 2;
    int input = sv::host::prepareHost(*options, program);
    if (input < 0)
        return 2;

    sv::RunLoop& loop = sv::RunLoop::main();
    sv::host::Scenario scenario(program, loop);
    sb::Springboard::shared().attach(scenario);

    sb::registerApplicationClasses();
    sb::addApplicationCommands(scenario);
    sb::registerIconClasses();
    sb::addIconCommands(scenario);

    sv::notify::startListening();
    sv::notify::setTap(printPost, &scenario);
    sv::injection::loadInjectedLibraries();

    return scenario.run(input);
}
