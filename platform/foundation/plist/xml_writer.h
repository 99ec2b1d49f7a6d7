#pragma once
// A writer of XML property lists for the values that fill the settings file (dictionaries,
// arrays, strings, integers, booleans), byte for byte what libplist writes for them, several
// times faster: every save of the settings file writes a whole catalogue.

#include "platform/foundation/value.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace sv::plist {

// Nothing when the value holds a real, a date or data, whose text is libplist's to make.
std::optional<std::vector<std::uint8_t>> writeXmlQuickly(const Value& value);

// The same bytes, in the same single walk, for a value that XML carries exactly (xmlCarries)
// and that nests no deeper than depthLimit (depthOf); nothing for any other value, so that a
// file writer needs no walk of its own to decide between XML and binary.
std::optional<std::vector<std::uint8_t>> writeCarriedXml(const Value& value, int depthLimit);

} // namespace sv::plist
