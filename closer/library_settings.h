#pragma once
// How the library reads the settings file: at every use, with an existence test just before,
// because a missing file and an unreadable one have different defaults. Reads go through the
// settings cache, so the answer is that of a fresh read and costs a parse only when the file's
// bytes changed.

#include "contract/settings_contract.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>

using LibrarySettings = std::shared_ptr<const sv::Dictionary>;

// Nothing when there is no settings file; an empty dictionary when it cannot be read, so that
// every key reads as absent.
inline LibrarySettings readLibrarySettings()
{
    if (!slv::settingsExist())
        return nullptr;
    static const auto kUnreadable = std::make_shared<const sv::Dictionary>();
    auto settings = slv::settingsSnapshot();
    return settings ? settings : kUnreadable;
}

// "ramValue": 175 without a file, 0 when absent or not a number, saturated to 32 bits.
inline std::int32_t thresholdFrom(const LibrarySettings& settings)
{
    if (!settings)
        return slv::kDefaultRamValue;
    std::int64_t value = sv::findInteger(*settings, slv::key::RamValue).value_or(0);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                               std::numeric_limits<std::int32_t>::max()));
}
