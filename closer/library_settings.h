#pragma once
// How the library reads the settings file: at every use, with an existence test just before,
// because a missing file and an unreadable one have different defaults. Reads go through the
// settings cache, so the answer is that of a fresh read and costs a parse only when the file's
// bytes changed.

#include "contract/settings_contract.h"
#include "contract/threshold.h"

#include <cstdint>
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

// The threshold the pane shows for the same file.
inline std::int32_t thresholdFrom(const LibrarySettings& settings)
{
    return slv::threshold(settings.get());
}
