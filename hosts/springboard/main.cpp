// springboard-host: the home-screen stand-in. Registers the home screen's classes, loads the
// injected libraries, then plays a scenario on its main run loop.
#include "contract/history_file.h"
#include "contract/sus_app_list.h"
#include "contract/diary_file.h"
#include "contract/usage_file.h"
#include "hosts/common/host_main.h"
#include "hosts/common/scenario.h"
#include "hosts/springboard/device.h"
#include "hosts/springboard/icon_model.h"
#include "hosts/springboard/springboard.h"
#include "platform/foundation/files.h"
#include "platform/foundation/injection.h"

#include <cstdio>
#include <dlfcn.h>
#include <memory>
#include <string>
#include <vector>

namespace {
// A symbol of the first loaded library that exports it.
void* librarySymbol(const std::vector<std::string>& libraries, const char* name)
{
    for (const std::string& library : libraries) {
        std::string path = sv::fs::resolve(std::string(sv::injection::kFolder) + "/" + library);
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        void* symbol = handle ? ::dlsym(handle, name) : nullptr;
        if (handle)
            ::dlclose(handle); // drops only the reference RTLD_NOLOAD added
        if (symbol)
            return symbol;
    }
    return nullptr;
}

// The library's suspect list, for `show suspects`.
sb::Device::SuspectSource suspectListOf(const std::vector<std::string>& libraries)
{
    void* symbol = librarySymbol(libraries, kSuspectListSymbol);
    if (!symbol)
        return nullptr;
    return [list = static_cast<std::unique_ptr<SuspectList>*>(symbol)] { return list->get(); };
}

// A library function of no arguments (the flushes of `show history` and `show diary`).
std::function<void()> flushOf(const std::vector<std::string>& libraries, const char* name)
{
    void* symbol = librarySymbol(libraries, name);
    if (!symbol)
        return nullptr;
    return reinterpret_cast<void (*)()>(symbol);
}

// What the library learned from use, for `show usage`.
sb::Device::UsageSource usageOf(const std::vector<std::string>& libraries)
{
    void* symbol = librarySymbol(libraries, slv::usage::kShowSymbol);
    if (!symbol)
        return nullptr;
    return [show = reinterpret_cast<slv::usage::ShowFunction>(symbol)] {
        std::vector<std::pair<std::string, double>> lines;
        show([](const char* bundleID, double score, void* into) {
            static_cast<std::vector<std::pair<std::string, double>>*>(into)->emplace_back(bundleID, score);
        }, &lines);
        return lines;
    };
}
}

int main(int argc, char** argv)
{
    static bool memoryEvents = false;
    static std::string root;
    sv::host::HostParts parts;
    parts.memoryEventsHelp = "also report free memory, the threshold, the two switches (Close Every App, Learn From Use) and the call as they change";
    parts.configure = [](const sv::host::HostOptions& options) {
        memoryEvents = options.memoryEvents;
        root = options.root;
        while (root.size() > 1 && root.back() == '/')
            root.pop_back();
    };
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
        // The scenario still plays: the stand-in home screen alone is a run worth having, but
        // not one to mistake for the library's.
        if (loaded.empty())
            std::fprintf(stderr, "springboard-host: no library in %s%s: nothing is loaded and every application stays open\n",
                         root.c_str(), sv::injection::kFolder);
        sb::Device::shared().setSuspectSource(suspectListOf(loaded));
        sb::Device::shared().setHistoryFlush(flushOf(loaded, slv::history::kFlushSymbol));
        sb::Device::shared().setDiaryFlush(flushOf(loaded, slv::diary::kFlushSymbol));
        sb::Device::shared().setDiaryWriteNow(flushOf(loaded, slv::diary::kWriteNowSymbol));
        sb::Device::shared().setUsageSource(usageOf(loaded));
    };
    return sv::host::runHost(argc, argv, "springboard-host", parts);
}
