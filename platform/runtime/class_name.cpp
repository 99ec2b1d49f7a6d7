#include "platform/runtime/class_name.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <unordered_map>

namespace sv::rt {

std::string_view classNameOf(const std::type_info& type)
{
    // Demangled once a class: names are asked for whenever a screen is described.
    static std::mutex mutex;
    static std::unordered_map<std::type_index, std::string> names;
    std::lock_guard lock(mutex);
    auto [found, added] = names.try_emplace(type);
    if (added) {
        int status = 0;
        std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
        std::string name = status == 0 && demangled ? demangled.get() : type.name();
        // "sv::ui::UISwitch" and "(anonymous namespace)::Bar" answer their last part.
        if (auto colons = name.rfind("::"); colons != std::string::npos)
            name.erase(0, colons + 2);
        found->second = std::move(name);
    }
    return found->second;
}

} // namespace sv::rt
