#pragma once
// The library's close history, which the settings pane shows: a property-list array of
// dictionaries, oldest first, one a close. Written only by the library, read by both.

#include "contract/settings_contract.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace slv::history {

inline constexpr std::string_view Path = "/var/mobile/Library/Sleepvane/History.plist";
// A library function, exported under this name, that returns once every close it made so far is
// in the file (the home-screen host's `show history`).
inline constexpr const char* kFlushSymbol = "SleepwrightFlushHistory";
// The oldest records fall off beyond this many.
inline constexpr std::size_t kLimit = 100;
// A return to the foreground this soon after a close marks the close as regretted.
inline constexpr double kReopenWindow = 60;

namespace key {
    inline constexpr std::string_view BundleID = "BundleID";
    inline constexpr std::string_view Date = "Date";
    inline constexpr std::string_view Reason = "Reason";
    inline constexpr std::string_view FreeMemory = "FreeMemory";
    inline constexpr std::string_view ReopenedAfter = "ReopenedAfter";
}

namespace reason {
    inline constexpr std::string_view AlwaysList = "Always list";
    inline constexpr std::string_view CloseEveryApp = "Close every app";
    inline constexpr std::string_view LowMemory = "Low memory";
}

struct Record {
    std::string bundleID;
    sv::Date date;
    std::string reason;
    std::optional<std::int64_t> freeMemory;   // MB the decision compared; low memory only
    std::optional<double> reopenedAfter;      // seconds, when it came back within the window
    friend bool operator==(const Record&, const Record&) = default;
};

// The moment as a property-list date.
inline sv::Date dateOf(std::chrono::system_clock::time_point when)
{
    // 2001-01-01 00:00:00 UTC, the reference date of property-list dates.
    constexpr std::chrono::seconds kReference { 978307200 };
    return { std::chrono::duration<double>(when.time_since_epoch() - kReference).count() };
}

// A record from one entry; nothing for an entry that is no dictionary or has no identifier.
inline std::optional<Record> recordFrom(const sv::Value& entry)
{
    const sv::Dictionary* dictionary = entry.asDictionary();
    const std::string* bundleID = dictionary ? sv::findString(*dictionary, key::BundleID) : nullptr;
    if (!bundleID)
        return std::nullopt;
    Record record { *bundleID, {}, {}, {}, {} };
    if (const sv::Value* date = sv::find(*dictionary, key::Date))
        if (const auto* value = std::get_if<sv::Date>(&date->storage()))
            record.date = *value;
    if (const std::string* text = sv::findString(*dictionary, key::Reason))
        record.reason = *text;
    if (const sv::Value* free = sv::find(*dictionary, key::FreeMemory))
        if (const auto* value = std::get_if<std::int64_t>(&free->storage()))
            record.freeMemory = *value;
    if (const sv::Value* after = sv::find(*dictionary, key::ReopenedAfter))
        if (const auto* value = std::get_if<double>(&after->storage()))
            record.reopenedAfter = *value;
    return record;
}

inline sv::Value valueOf(const Record& record)
{
    sv::Dictionary entry {
        { std::string(key::BundleID), sv::Value(record.bundleID) },
        { std::string(key::Date), sv::Value(record.date) },
        { std::string(key::Reason), sv::Value(record.reason) },
    };
    if (record.freeMemory)
        entry[std::string(key::FreeMemory)] = sv::Value(*record.freeMemory);
    if (record.reopenedAfter)
        entry[std::string(key::ReopenedAfter)] = sv::Value(*record.reopenedAfter);
    return entry;
}

// The newest kLimit records of a history value, oldest first; entries that make no record are
// passed over. The library keeps no more; a file grown past that elsewhere shows no more.
inline std::vector<Record> recordsOf(const sv::Value& history)
{
    std::vector<Record> records;
    if (const sv::Array* entries = history.asArray())
        for (auto entry = entries->rbegin(); entry != entries->rend() && records.size() < kLimit; ++entry)
            if (auto record = recordFrom(*entry))
                records.push_back(std::move(*record));
    std::reverse(records.begin(), records.end());
    return records;
}

// The history file's newest records, oldest first; none when it is missing or unreadable.
inline std::vector<Record> read()
{
    auto value = sv::plist::readFile(Path);
    return value ? recordsOf(*value) : std::vector<Record> {};
}

} // namespace slv::history
