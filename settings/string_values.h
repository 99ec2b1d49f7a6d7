#pragma once
// The numeric readings of a string that the pane relies on (NSString's intValue and boolValue).

#include <algorithm>
#include <cctype>
#include <climits>
#include <string_view>

namespace slv {

// An optional sign and the leading decimal digits after white space; saturates at the int range.
inline int intValue(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long magnitude = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        magnitude = std::min<long long>(magnitude * 10 + (text[i] - '0'), 1LL << 32);
    return static_cast<int>(std::clamp<long long>(negative ? -magnitude : magnitude, INT_MIN, INT_MAX));
}

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
