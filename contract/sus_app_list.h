#pragma once
// The library's suspect list, as the library keeps it and the home-screen host reads it through
// the exported symbol (`show suspects`): one type for both, so neither can misread the other.

#include "platform/runtime/object.h"

#include <memory>
#include <vector>

// Applications that left the foreground and may be closed, oldest first, unique by identity.
using SuspectList = std::vector<sv::rt::Ref>;
// The name of the library's `std::unique_ptr<SuspectList>`.
inline constexpr const char* kSuspectListSymbol = "susApp";
