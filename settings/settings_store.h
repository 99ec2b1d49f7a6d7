#pragma once
// The pane's way to the settings file and to the library: every screen reads and saves through
// these (the choosers' catalogue read aside, which reads the file as the library wrote it).

#include "platform/foundation/value.h"

#include <optional>
#include <string_view>

namespace slv::store {

// The value under key, or nothing; with isBool, a boolean (false when absent).
std::optional<sv::Value> getObjectWithKey(std::optional<std::string_view> key, bool isBool);
// Merges the entries into the settings file, keeping every other key.
void writeDictToSave(const std::optional<sv::Dictionary>& dict);
// Asks the library for a fresh catalogue.
void delayLoad();

} // namespace slv::store
