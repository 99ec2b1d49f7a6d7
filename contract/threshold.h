#pragma once
// The free-memory threshold (MB), read one way by the library's decisions, the pane's slider and
// label, and the home-screen host's reports, so that what the user sees is what closes.

#include "contract/settings_contract.h"
#include "contract/slider.h"
#include "platform/foundation/string_number.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace slv {

// The slider's range (contract/slider.h): the pane saves nothing outside it; a value edited by hand
// outside it reads as the nearer end, so that no stored figure turns low-memory closing off or
// closes everything.

// A stored "ramValue" as a number: an integer or a real (cut to its whole part), or a text that
// begins with a decimal integer (its leading integer, as the pane has always read one), saturated
// to 32 bits. Nothing for anything else: a boolean, a date, a text that is no number, a NaN.
inline std::optional<std::int32_t> thresholdValue(const sv::Value& value)
{
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    const auto& stored = value.storage();
    if (const std::int64_t* integer = std::get_if<std::int64_t>(&stored))
        return static_cast<std::int32_t>(std::clamp(*integer, kMin, kMax));
    if (const double* real = std::get_if<double>(&stored)) {
        if (std::isnan(*real))
            return std::nullopt;
        return static_cast<std::int32_t>(std::clamp(*real, double(kMin), double(kMax)));
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
// stored "ramValue" when it is a number, else kDefaultRamValue; kept to the slider's range. A
// value between the slider's steps reads as it stands.
inline std::int32_t threshold(const sv::Dictionary* settings)
{
    const sv::Value* stored = settings ? sv::find(*settings, key::RamValue) : nullptr;
    std::int32_t value = stored ? thresholdValue(*stored).value_or(kDefaultRamValue) : kDefaultRamValue;
    return std::clamp(value, kMinimumThreshold, kMaximumThreshold);
}

} // namespace slv
