#include "platform/foundation/string_number.h"

#include <algorithm>
#include <limits>

namespace sv {

std::int32_t intValue(std::string_view text)
{
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // Past the range in either direction the digits no longer matter; stop growing there.
    constexpr std::int64_t cap = std::int64_t { 1 } << 32;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        magnitude = std::min(cap, magnitude * 10 + (text[i] - '0'));
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(negative ? -magnitude : magnitude,
                                                               std::numeric_limits<std::int32_t>::min(),
                                                               std::numeric_limits<std::int32_t>::max()));
}

} // namespace sv
