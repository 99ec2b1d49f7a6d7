#pragma once
// How the library reads the settings file: at every use, with an existence test just before,
// because a missing file and an unreadable one have different defaults. Reads go through the
// settings cache, so the answer is that of a fresh read and costs a parse only when the file's
// bytes changed.

#include "contract/settings_contract.h"
#include "contract/threshold.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

using LibrarySettings = std::shared_ptr<const sv::Dictionary>;

// While one is alive on a thread, every read there answers what the first read found: a state
// change reads the file once, however many of the library's parts look at it.
class OneSettingsRead {
public:
    OneSettingsRead() : outer_(std::exchange(current(), this)) { }
    ~OneSettingsRead() { current() = outer_; }
    OneSettingsRead(const OneSettingsRead&) = delete;
    OneSettingsRead& operator=(const OneSettingsRead&) = delete;

    static OneSettingsRead*& current()
    {
        static thread_local OneSettingsRead* scope = nullptr;
        return scope;
    }
    std::optional<std::shared_ptr<const sv::Dictionary>> read;

private:
    OneSettingsRead* outer_;
};

// Nothing when there is no settings file; an empty dictionary when it cannot be read, so that
// every key reads as absent.
inline LibrarySettings readLibrarySettings()
{
    OneSettingsRead* scope = OneSettingsRead::current();
    if (scope && scope->read)
        return *scope->read;
    static const auto kUnreadable = std::make_shared<const sv::Dictionary>();
    LibrarySettings settings = nullptr;
    if (slv::settingsExist()) {
        settings = slv::settingsSnapshot();
        if (!settings)
            settings = kUnreadable;
    }
    if (scope)
        scope->read = settings;
    return settings;
}

// The threshold the pane shows for the same file.
inline std::int32_t thresholdFrom(const LibrarySettings& settings)
{
    return slv::threshold(settings.get());
}
