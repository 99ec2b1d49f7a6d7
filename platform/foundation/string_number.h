#pragma once
// Reading the number a text begins with, as NSString's intValue does.

#include <cstdint>
#include <string_view>

namespace sv {

// The leading decimal integer after white space (space, tab, line feed, carriage return, vertical
// tab, form feed) and an optional sign, saturated to the 32-bit range; 0 when the text does not
// start with one. "150.0000" gives 150, "  -7x" gives -7.
std::int32_t intValue(std::string_view text);

} // namespace sv
