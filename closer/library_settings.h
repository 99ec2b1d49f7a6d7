#pragma once
// How the library reads the settings file: afresh at every use, with an existence test just
// before, because a missing file and an unreadable one have different defaults.

#include "contract/settings_contract.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

// Nothing when there is no settings file; an empty dictionary when it cannot be read, so that
// every key reads as absent.
inline std::optional<sv::Dictionary> readLibrarySettings()
{
    if (!slv::settingsExist())
        return std::nullopt;
    return slv::readSettings().value_or(sv::Dictionary {});
}

// "ramValue": 175 without a file, 0 when absent or not a number, saturated to 32 bits.
inline std::int32_t thresholdFrom(const std::optional<sv::Dictionary>& settings)
{
    if (!settings)
        return slv::kDefaultRamValue;
    std::int64_t value = sv::findInteger(*settings, slv::key::RamValue).value_or(0);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                               std::numeric_limits<std::int32_t>::max()));
}
