#pragma once
// NSString's boolValue, as the pane reads a stored text; its intValue is sv::intValue.

#include <cctype>
#include <string_view>

namespace slv {

// True when, after white space, an optional sign and leading zeros, the text starts with Y, y,
// T, t or a digit 1 to 9.
inline bool boolValue(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    while (i < text.size() && text[i] == '0')
        ++i;
    if (i >= text.size())
        return false;
    char c = text[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

} // namespace slv
