#pragma once
// Case mapping of UTF-8 text by the Unicode tables (not by the user's language), as NSString's
// capitalizedString does it.

#include <string>
#include <string_view>

namespace sv {

// The first character of every word (words end at white space) in title case, the others in
// lower case. Characters without case, and bytes that are not valid UTF-8, stay as they are.
std::string capitalizedString(std::string_view text);

// The bytes of the first character (one code point) of the text; its first byte alone when that
// starts no valid sequence; empty for empty text.
std::string_view firstCharacter(std::string_view text);

} // namespace sv
