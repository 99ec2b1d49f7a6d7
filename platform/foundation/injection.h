#pragma once
// The library-injection stand-in: a host loads every shared library in the device's injection
// folder once it has registered its own classes; each library's initializer runs then.

#include <string>
#include <vector>

namespace sv::injection {

inline constexpr const char* kFolder = "/Library/Injection";

// Loads the libraries in name order and answers the names of those that loaded.
std::vector<std::string> loadInjectedLibraries();

} // namespace sv::injection
