// springboard-host: the home-screen stand-in. Registers the home screen's classes, loads the
// injected libraries, then plays a scenario on its main run loop.
#include "contract/suspect_list.h"
#include "hosts/common/host_main.h"
#include "hosts/common/scenario.h"
#include "hosts/springboard/device.h"
#include "hosts/springboard/icon_model.h"
#include "hosts/springboard/springboard.h"
#include "platform/foundation/files.h"
#include "platform/foundation/injection.h"

#include <dlfcn.h>
#include <memory>
#include <string>
#include <vector>

namespace {
// The suspect list of the first loaded library that exports one, for `show suspects`.
sb::Device::SuspectSource suspectListOf(const std::vector<std::string>& libraries)
{
    for (const std::string& name : libraries) {
        std::string path = sv::fs::resolve(std::string(sv::injection::kFolder) + "/" + name);
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        void* symbol = handle ? ::dlsym(handle, kSuspectListSymbol) : nullptr;
        if (handle)
            ::dlclose(handle); // drops only the reference RTLD_NOLOAD added
        if (symbol)
            return [list = static_cast<std::unique_ptr<SuspectList>*>(symbol)] { return list->get(); };
    }
    return nullptr;
}
}

int main(int argc, char** argv)
{
    static bool memoryEvents = false;
    sv::host::HostParts parts;
    parts.configure = [](const sv::host::HostOptions& options) { memoryEvents = options.memoryEvents; };
    parts.setUp = [](sv::host::Scenario& scenario) -> std::shared_ptr<void> {
        sb::Springboard::shared().attach(scenario);
        sb::registerApplicationClasses();
        sb::registerDeviceClasses();
        sb::addApplicationCommands(scenario);
        sb::registerIconClasses();
        sb::addIconCommands(scenario);
        sb::addDeviceCommands(scenario);
        sb::Device::shared().installKernelProviders();
        if (memoryEvents)
            sb::startMemoryEvents(scenario);
        return nullptr;
    };
    parts.afterInjection = [](const std::vector<std::string>& loaded) {
        sb::Device::shared().setSuspectSource(suspectListOf(loaded));
    };
    return sv::host::runHost(argc, argv, "springboard-host", parts);
}
