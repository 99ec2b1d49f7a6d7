#pragma once
// The identity of the running program: the CFBundleIdentifier of the Info.plist that lies
// beside its executable, as a real bundle's does.

#include <optional>
#include <string>

namespace sv::bundle {

std::optional<std::string> mainBundleIdentifier();

// Tests that play a host inside their own process set the identity directly.
void setMainBundleIdentifierForTesting(std::optional<std::string> identifier);

} // namespace sv::bundle
