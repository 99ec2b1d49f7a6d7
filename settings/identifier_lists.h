#pragma once
// The Never and Always lists ("NeverIdentifiers", "AlwaysIdentifiers"), read and changed the one
// way for every screen: the two choosers and Recently Closed.

#include "platform/foundation/value.h"

#include <string_view>

namespace slv::lists {

// The list under key as the settings file holds it now; empty when absent or not a list.
sv::Array stored(std::string_view key);

// Adds identifier to list, unless list holds it already (two confirmations for one application
// must not store it twice), and saves list under key. False when nothing changed.
bool add(std::string_view key, sv::Array& list, std::string_view identifier);

// Takes every entry of identifier (duplicates included) out of list and saves list under key.
// False when there was none.
bool remove(std::string_view key, sv::Array& list, std::string_view identifier);

} // namespace slv::lists
