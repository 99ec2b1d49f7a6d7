#include "platform/prefs/controller_registry.h"

#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/prefs/view_controller.h"

#include <dlfcn.h>
#include <map>

namespace sv::prefs {
namespace {
    struct ControllerClass {
        ControllerFactory factory;
        std::string bundlePath;
    };

    struct Registry {
        std::map<std::string, ControllerClass, std::less<>> classes;
        std::map<std::string, LoadedBundle, std::less<>> bundles;
        std::string loadingBundle;
    };

    Registry& registry()
    {
        static Registry shared;
        return shared;
    }

    bool isPlainName(std::string_view name)
    {
        return !name.empty() && name.find('/') == std::string_view::npos && name != "." && name != "..";
    }
}

void registerControllerClass(std::string name, ControllerFactory factory)
{
    registerControllerClass(std::move(name), std::move(factory), registry().loadingBundle);
}

void registerControllerClass(std::string name, ControllerFactory factory, std::string bundlePath)
{
    if (name.empty() || !factory)
        return;
    registry().classes[std::move(name)] = { std::move(factory), std::move(bundlePath) };
}

bool isControllerClassRegistered(std::string_view name)
{
    return registry().classes.find(name) != registry().classes.end();
}

std::shared_ptr<PSViewController> createController(std::string_view name, ui::Size contentSize)
{
    auto found = registry().classes.find(name);
    if (found == registry().classes.end())
        return nullptr;
    // A copy: the factory may register classes itself.
    ControllerFactory factory = found->second.factory;
    return factory(contentSize);
}

std::string bundlePathOfClass(std::string_view name)
{
    auto found = registry().classes.find(name);
    return found == registry().classes.end() ? std::string() : found->second.bundlePath;
}

std::optional<LoadedBundle> loadBundle(std::string_view devicePath)
{
    Registry& r = registry();
    if (auto found = r.bundles.find(devicePath); found != r.bundles.end())
        return found->second;
    std::string folder(devicePath);
    auto info = plist::readDictionary(folder + "/Info.plist");
    if (!info) {
        log("prefs: no readable Info.plist in %s", folder.c_str());
        return std::nullopt;
    }
    const std::string* executable = findString(*info, "CFBundleExecutable");
    const std::string* principal = findString(*info, "NSPrincipalClass");
    if (!executable || !isPlainName(*executable)) {
        log("prefs: %s names no executable", folder.c_str());
        return std::nullopt;
    }
    std::string hostPath = fs::resolve(folder + "/" + *executable);
    if (hostPath.empty()) {
        log("prefs: %s is not a device path", folder.c_str());
        return std::nullopt;
    }
    r.loadingBundle = folder;
    void* handle = ::dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    r.loadingBundle.clear();
    if (!handle) {
        log("prefs: cannot load %s: %s", hostPath.c_str(), ::dlerror());
        return std::nullopt;
    }
    // Never closed: its classes and observers live as long as the process.
    LoadedBundle bundle { folder, principal ? *principal : std::string() };
    r.bundles[folder] = bundle;
    return bundle;
}

} // namespace sv::prefs
