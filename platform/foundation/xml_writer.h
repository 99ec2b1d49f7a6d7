#pragma once
// A writer of XML property lists for the values that fill the settings file (dictionaries,
// arrays, strings, integers, booleans), byte for byte what libplist writes for them, several
// times faster: every save of the settings file writes a whole catalogue.

#include "platform/foundation/value.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace sv::plist {

// Nothing when the value holds a real, a date or data, whose text is libplist's to make. exact,
// when given, tells whether every text went out as it is (none cut at a NUL or made well-formed).
std::optional<std::vector<std::uint8_t>> writeXmlQuickly(const Value& value, bool* exact = nullptr);

} // namespace sv::plist
