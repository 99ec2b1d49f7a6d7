#pragma once
// What the property-list layer checks before it hands bytes to libplist or writes a value:
// nesting that libplist's recursion could not take, and text that XML cannot carry.

#include "platform/foundation/value.h"

#include <cstdint>
#include <cstddef>
#include <string>
#include <string_view>

namespace sv::plist {

// Whether no element nests deeper than limit; errs towards refusing.
bool xmlDepthWithin(const std::uint8_t* bytes, std::size_t size, int limit);
// Whether a binary list's object graph is within limit levels and sound enough for libplist.
bool binaryDepthWithin(const std::uint8_t* bytes, std::size_t size, int limit);

// The text as well-formed UTF-8: every byte that does not belong to a well-formed sequence (a
// surrogate or an overlong form included) becomes U+FFFD, so no string we hold is one that
// another reader could not decode.
std::string wellFormedUtf8(std::string_view text);

// What a UTF-8 lead byte starts: the sequence's length (0 for a byte that starts none) and the
// range of its second byte that keeps out overlong forms, surrogates and code points past
// U+10FFFF.
struct Utf8Lead {
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
};
constexpr Utf8Lead utf8Lead(unsigned char lead)
{
    if (lead >= 0xC2 && lead <= 0xDF)
        return { 2, 0x80, 0xBF };
    if (lead >= 0xE0 && lead <= 0xEF)
        return { 3, static_cast<unsigned char>(lead == 0xE0 ? 0xA0 : 0x80), static_cast<unsigned char>(lead == 0xED ? 0x9F : 0xBF) };
    if (lead >= 0xF0 && lead <= 0xF4)
        return { 4, static_cast<unsigned char>(lead == 0xF0 ? 0x90 : 0x80), static_cast<unsigned char>(lead == 0xF4 ? 0x8F : 0xBF) };
    return {};
}

// How deeply a value nests, a scalar being 1; stops counting past limit.
int depthOf(const Value& value, int limit);
// Whether XML carries the value exactly: no string or key with a character that XML 1.0 cannot
// hold or that its readers change (a carriage return becomes a line feed).
bool xmlCarries(const Value& value);

} // namespace sv::plist
