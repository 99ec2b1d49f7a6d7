#pragma once
// What the library and the settings pane agree on: the settings file, its keys, the icons folder
// and the notification names. Compiled into both; they never link against each other.

#include "platform/foundation/files.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/foundation/plist/property_list_cache.h"
#include "platform/foundation/value.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace slv {

// The settings file's defaults domain: the pane's switch rows name their file by it.
inline constexpr std::string_view kSettingsDomain = "com.norv.slv";

// The settings file, built from the home folder at every use.
inline std::string settingsPath()
{
    return sv::fs::homeDirectory() + "/Library/Preferences/" + std::string(kSettingsDomain) + ".plist";
}

inline bool settingsExist()
{
    return sv::fs::exists(settingsPath());
}

// The whole settings file, or nothing when it is missing or not a dictionary property list;
// parsed again only when its bytes changed since the last read in this process, and shared.
inline std::shared_ptr<const sv::Dictionary> settingsSnapshot()
{
    return sv::plist::PropertyListCache::shared().readDictionary(settingsPath());
}

// The same, as a copy of one's own.
inline std::optional<sv::Dictionary> readSettings()
{
    auto settings = settingsSnapshot();
    return settings ? std::optional<sv::Dictionary>(*settings) : std::nullopt;
}

// One locked read-modify-write of the settings file; an unreadable file is left alone.
inline sv::plist::UpdateResult updateSettings(const std::function<bool(sv::Dictionary&)>& change,
                                             double lockTimeoutSeconds = sv::plist::kLockTimeout)
{
    return sv::plist::updateDictionary(settingsPath(), change, lockTimeoutSeconds);
}

namespace key {
    inline constexpr std::string_view AlwaysIdentifiers = "AlwaysIdentifiers";
    inline constexpr std::string_view NeverIdentifiers = "NeverIdentifiers";
    inline constexpr std::string_view RamValue = "ramValue";
    inline constexpr std::string_view AlwaysKill = "alwaysKill";
    inline constexpr std::string_view LearnFromUse = "LearnFromUse";
    inline constexpr std::string_view ApplicationData = "ApplicationData";
    inline constexpr std::string_view ApplicationsNumber = "ApplicationsNumber";
    inline constexpr std::string_view ApplicationsMinus = "ApplicationsMinus";
    // Identifier entries and application records.
    inline constexpr std::string_view BundleID = "BundleID";
    inline constexpr std::string_view AppName = "AppName";
    inline constexpr std::string_view IconPath = "IconPath";
    inline constexpr std::string_view IsFolder = "IsFolder";
    inline constexpr std::string_view BundleIDs = "BundleIDs";
}

// A switch of the settings file, read one way by the library, the pane's switch rows and the
// home-screen host's reports, so that what the pane shows is what the library does: on for a
// boolean true or a number other than 0; off for false, 0, a real that is no number (NaN), a
// text or any other type, a missing key and no file or an unreadable one (settings null).
inline bool switchOn(const sv::Dictionary* settings, std::string_view key)
{
    const sv::Value* value = settings ? sv::find(*settings, key) : nullptr;
    if (!value)
        return false;
    const auto& stored = value->storage();
    if (const bool* flag = std::get_if<bool>(&stored))
        return *flag;
    if (const std::int64_t* integer = std::get_if<std::int64_t>(&stored))
        return *integer != 0;
    if (const double* real = std::get_if<double>(&stored))
        return *real != 0 && !std::isnan(*real);
    return false;
}

// Learn From Use: the low-memory close takes the suspect least likely to be opened again.
inline bool learnFromUse(const sv::Dictionary* settings)
{
    return switchOn(settings, key::LearnFromUse);
}

// Close Every App: every application that leaves is closed, whatever the free memory.
inline bool closeEveryApp(const sv::Dictionary* settings)
{
    return switchOn(settings, key::AlwaysKill);
}

// The threshold the pane shows when "ramValue" is absent, and the library's when there is no file.
inline constexpr int kDefaultRamValue = 175;

namespace detail {
    // Texts joined at compile time, so that a path is spelled once and the paths under it say
    // only what they add.
    template <const std::string_view&... Parts> struct Joined {
        static constexpr auto storage = [] {
            std::array<char, (Parts.size() + ... + 0)> joined {};
            std::size_t at = 0;
            for (std::string_view part : { Parts... })
                for (char c : part)
                    joined[at++] = c;
            return joined;
        }();
        static constexpr std::string_view value { storage.data(), storage.size() };
    };
    inline constexpr std::string_view MissingIconName = "/MissingIcon.png";
    inline constexpr std::string_view AlwaysMarkName = "/SLVAlways.png";
    inline constexpr std::string_view NeverMarkName = "/SLVNever.png";
}

namespace path {
    inline constexpr std::string_view DataFolder = "/var/mobile/Library/Sleepvane";
    inline constexpr std::string_view IconsFolder = "/var/mobile/Library/Sleepvane/Icons";
    // The settings pane's bundle, and the images in it that others name by path.
    inline constexpr std::string_view Bundle = "/System/Library/PreferenceBundles/SleepvaneSettings.bundle";
    inline constexpr std::string_view MissingIcon = detail::Joined<Bundle, detail::MissingIconName>::value;
    inline constexpr std::string_view AlwaysMark = detail::Joined<Bundle, detail::AlwaysMarkName>::value;
    inline constexpr std::string_view NeverMark = detail::Joined<Bundle, detail::NeverMarkName>::value;
}

// The image of one icon: folder, "/", leaf identifier, ".png".
inline std::string iconImagePath(std::string_view leafIdentifier)
{
    return std::string(path::IconsFolder) + "/" + std::string(leafIdentifier) + ".png";
}

namespace darwin {
    inline constexpr const char* GrabApps = "norv.slv.grabapps";
    inline constexpr const char* CheckOnApps = "norv.slv.check.on.apps";
    inline constexpr const char* AppsLoaded = "norv.slv.apps.loaded";
    inline constexpr const char* KillApp = "norv.swr.kill.app";
    inline constexpr const char* KillTest = "norv.swr.kill.test";
}

namespace local {
    inline constexpr std::string_view CheckOnAppLoading = "CheckOnAppLoadingSLV";
    inline constexpr std::string_view CheckOnApps = "CheckOnAppsSLV";
    inline constexpr std::string_view TimerTester = "SLVTimerTester1";
    // The pane could not write a save: user info {"Key": the key}. The save is kept and tried
    // again; the Settings host shows each failed attempt.
    inline constexpr std::string_view SaveFailed = "SLVSaveFailed";
    inline constexpr std::string_view SaveFailedKey = "Key";
}

// The bundle identifier of an identifier entry; nothing for an entry that is not a dictionary or
// has no string under "BundleID".
inline const std::string* entryBundleID(const sv::Value& entry)
{
    const sv::Dictionary* dictionary = entry.asDictionary();
    return dictionary ? sv::findString(*dictionary, key::BundleID) : nullptr;
}

// Whether a list of identifier entries holds bundleID (exact, case-sensitive).
inline bool listContains(const sv::Array* list, std::string_view bundleID)
{
    if (!list)
        return false;
    for (const sv::Value& entry : *list)
        if (const std::string* id = entryBundleID(entry); id && *id == bundleID)
            return true;
    return false;
}

inline sv::Value identifierEntry(std::string_view bundleID)
{
    return sv::Dictionary { { std::string(key::BundleID), sv::Value(bundleID) } };
}

inline sv::Value applicationRecord(std::string_view name, std::string_view bundleID, std::string_view iconPath)
{
    return sv::Dictionary {
        { std::string(key::AppName), sv::Value(name) },
        { std::string(key::BundleID), sv::Value(bundleID) },
        { std::string(key::IconPath), sv::Value(iconPath) },
        { std::string(key::IsFolder), sv::Value(false) },
        { std::string(key::BundleIDs), sv::Value(sv::Array {}) },
    };
}

} // namespace slv
