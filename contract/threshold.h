#pragma once
// The free-memory threshold (MB), read one way by the library's decisions, the pane's slider and
// label, and the home-screen host's reports, so that what the user sees is what closes.

#include "contract/settings_contract.h"
#include "platform/foundation/string_number.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <optional>

namespace slv {

// A stored "ramValue" as a number: an integer or a real (cut to its whole part), or a text that
// begins with a decimal integer (its leading integer, as the pane has always read one), saturated
// to 32 bits. Nothing for anything else: a boolean, a date, a text that is no number.
inline std::optional<std::int32_t> thresholdValue(const sv::Value& value)
{
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    const auto& stored = value.storage();
    if (std::holds_alternative<std::int64_t>(stored) || std::holds_alternative<double>(stored)) {
        if (auto number = value.integerValue())
            return static_cast<std::int32_t>(std::clamp(*number, kMin, kMax));
        return std::nullopt;
    }
    if (const std::string* text = value.asString()) {
        std::size_t i = 0;
        while (i < text->size() && std::isspace(static_cast<unsigned char>((*text)[i])))
            ++i;
        if (i < text->size() && ((*text)[i] == '+' || (*text)[i] == '-'))
            ++i;
        if (i < text->size() && std::isdigit(static_cast<unsigned char>((*text)[i])))
            return sv::intValue(*text);
    }
    return std::nullopt;
}

// The threshold of a settings file, or of none (settings null: missing or unreadable): the
// stored "ramValue" when it is a number, else kDefaultRamValue.
inline std::int32_t threshold(const sv::Dictionary* settings)
{
    const sv::Value* stored = settings ? sv::find(*settings, key::RamValue) : nullptr;
    return stored ? thresholdValue(*stored).value_or(kDefaultRamValue) : kDefaultRamValue;
}

} // namespace slv
