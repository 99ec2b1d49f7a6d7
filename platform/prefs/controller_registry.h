#pragma once
// Preferences controllers by class name, and the loading of preference bundles.
//
// A bundle is a folder with an Info.plist (CFBundleExecutable: the shared object;
// NSPrincipalClass: the controller of its first screen). Loading it opens the shared object,
// whose load-time code registers its controller classes; they belong to that bundle, whose
// resources (specifier lists) they then read.

#include "platform/ui/geometry.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sv::prefs {

class PSViewController;

// Makes an initialised controller for a content size, or null.
using ControllerFactory = std::function<std::shared_ptr<PSViewController>(ui::Size contentSize)>;

// Registers a class of the bundle being loaded (of no bundle outside a load). A second
// registration of a name replaces the first.
void registerControllerClass(std::string name, ControllerFactory factory);
// The same with an explicit bundle folder (a device path).
void registerControllerClass(std::string name, ControllerFactory factory, std::string bundlePath);
bool isControllerClassRegistered(std::string_view name);
// A controller of the named class, or null when the class is unknown or its initialiser fails.
std::shared_ptr<PSViewController> createController(std::string_view name, ui::Size contentSize);
// The bundle folder of a class; empty when the class is unknown or belongs to no bundle.
std::string bundlePathOfClass(std::string_view name);

struct LoadedBundle {
    std::string path; // device path of the bundle folder
    std::string principalClass;
};

// Loads a bundle (a device path) once; later calls answer the same. Nothing when its Info.plist
// or its executable cannot be read or opened (the reason is logged).
std::optional<LoadedBundle> loadBundle(std::string_view devicePath);

} // namespace sv::prefs
