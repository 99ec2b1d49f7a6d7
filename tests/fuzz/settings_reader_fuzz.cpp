// Bytes as the settings file, through the parser and every reader of its keys in the library
// and the pane, then through a save: nothing may crash, the library and the pane read one
// threshold and one value of each switch, a save never writes over a file that is not a
// dictionary, and a save keeps every key it found.
#include "closer/library_settings.h"
#include "contract/settings_contract.h"
#include "contract/threshold.h"
#include "platform/foundation/files.h"
#include "tests/fuzz/fuzz_device.h"
#include "tests/fuzz/same_value.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/foundation/string_number.h"
#include "platform/foundation/plist/xml_writer.h"
#include "platform/prefs/specifier.h"
#include "platform/ui/application.h"
#include "platform/ui/image.h"
#include "platform/ui/table_view.h"
#include "settings/always_apps_controller.h"
#include "settings/app_delegate.h"
#include "settings/settings_store.h"
#include "settings/never_apps_controller.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "settings_reader_fuzz: %s\n", what);
    std::abort();
}

void check(bool holds, const char* what)
{
    if (!holds)
        fail(what);
}

void prepareDevice()
{
    if (fuzzDeviceRoot("svfuzz").empty())
        fail("cannot make a device root");
}

// What the library reads: both lists, the threshold, the switch, the export's stored counts.
void readAsTheLibrary(const LibrarySettings& settings)
{
    volatile std::int64_t sink = thresholdFrom(settings);
    if (!settings)
        return;
    for (auto key : { slv::key::AlwaysIdentifiers, slv::key::NeverIdentifiers }) {
        const sv::Array* list = sv::findArray(*settings, key);
        sink = slv::listContains(list, "com.example.app");
        sink = slv::listContains(list, "");
    }
    sink = slv::closeEveryApp(settings.get());
    sink = slv::learnFromUse(settings.get());
    if (const sv::Value* number = sv::find(*settings, slv::key::ApplicationsNumber))
        sink = number->integerValue().value_or(0);
    if (const sv::Value* minus = sv::find(*settings, slv::key::ApplicationsMinus))
        sink = minus->integerValue().value_or(0);
    (void)sink;
}

// What the pane reads, each key through its class operation, the way its screens use them.
void readAsThePane()
{
    volatile std::int64_t sink = 0;
    for (auto key : { slv::key::RamValue, slv::key::AlwaysIdentifiers, slv::key::NeverIdentifiers, slv::key::AlwaysKill,
                      slv::key::ApplicationData, slv::key::ApplicationsNumber, std::string_view("") }) {
        auto value = slv::store::getObjectWithKey(key, false);
        auto flag = slv::store::getObjectWithKey(key, true);
        check(flag && flag->boolValue(), "a boolean read answered no boolean");
        if (!value)
            continue;
        if (const std::string* text = value->asString())
            sink = sv::intValue(*text);
        else
            sink = value->integerValue().value_or(0);
        if (const sv::Array* list = value->asArray()) {
            sink = static_cast<std::int64_t>(list->size());
            for (const sv::Value& element : *list) {
                if (const std::string* id = slv::entryBundleID(element))
                    sink = static_cast<std::int64_t>(id->size());
                if (const sv::Dictionary* record = element.asDictionary())
                    for (auto field : { slv::key::AppName, slv::key::BundleID, slv::key::IconPath })
                        if (const std::string* text = sv::findString(*record, field))
                            sink = static_cast<std::int64_t>(text->size());
            }
        }
    }
    check(!slv::store::getObjectWithKey(std::nullopt, false), "a missing key answered a value");
    (void)sink;
}

// What the chooser screens read: the catalogue into sections, every row's entry and mark, and a
// tap on the first row (which may save the screen's list).
template <class Screen>
void readAsAChooser(bool tap)
{
    auto screen = Screen::initForContentSize(sv::ui::UIViewController::kContentSize);
    check(screen != nullptr, "a chooser could not be made");
    screen->doneLoadingApps();
    check(screen->indexArray.size() == screen->appNamesArray.size(), "sections and letters disagree");
    auto& table = *screen->appTable;
    long rows = 0;
    for (long section = 0; section < screen->numberOfSectionsInTableView(table) && rows < 64; ++section)
        for (long row = 0; row < screen->numberOfRowsInSection(table, section) && rows < 64; ++row, ++rows)
            check(screen->cellForRowAtIndexPath(table, { section, row }) != nullptr, "a row had no cell");
    if (tap && rows > 0) {
        screen->didSelectRowAtIndexPath(table, { 0, 0 });
        sv::ui::UIApplication::sharedApplication().dismissAllAlerts();
    }
}

// What the pane's switch row bound to key shows, read as the pane reads it for the row.
bool paneSwitch(std::string_view key)
{
    static auto pane = SLVAppDelegate::initForContentSize(sv::ui::UIViewController::kContentSize);
    check(pane != nullptr, "the pane could not be made");
    auto row = sv::prefs::PSSpecifier::fromValue(sv::Dictionary {
        { "cell", sv::Value("PSSwitchCell") }, { "key", sv::Value(key) },
        { "defaults", sv::Value(slv::kSettingsDomain) }, { "default", sv::Value(false) } });
    check(row != nullptr, "a switch row could not be made");
    auto shown = pane->readPreferenceValue(*row);
    return shown && shown->boolValue().value_or(false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    prepareDevice();
    // Icons come from the same hands as the settings file.
    (void)sv::ui::Image::fromPngData(data, size);
    auto parsed = sv::plist::parse(data, size);

    // Whatever parses must survive being written and read back, in the format a save picks and
    // in both formats where they carry it; no reader may be handed more than it takes.
    if (parsed) {
        auto bytes = sv::plist::serializeForFile(*parsed);
        check(!bytes.empty() && bytes.size() <= sv::plist::kMaximumFileSize, "a parsed value cannot be saved");
        auto again = sv::plist::parse(bytes.data(), bytes.size());
        check(again.has_value(), "a parsed value does not parse after being written");
        check(sameValue(*parsed, *again), "a parsed value changed on its way through a write");
        auto binary = sv::plist::serializeBinary(*parsed);
        again = sv::plist::parse(binary.data(), binary.size());
        check(again && sameValue(*again, *parsed), "a parsed value changed on its way through binary");
        if (auto quick = sv::plist::writeXmlQuickly(*parsed))
            check(*quick == sv::plist::serializeXmlThroughLibplist(*parsed), "the quick XML writer differs from libplist's");
    }

    std::string path = sv::fs::resolve(slv::settingsPath());
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                  static_cast<std::streamsize>(size));
    auto librarySettings = readLibrarySettings();
    readAsTheLibrary(librarySettings);
    readAsThePane();
    readAsAChooser<SLVNeverAppsController>(false);
    readAsAChooser<SLVAlwaysAppsController>(false);
    const sv::Dictionary* before = parsed ? parsed->asDictionary() : nullptr;
    // The library's threshold is the one the pane shows, whatever the file holds.
    check(thresholdFrom(librarySettings) == slv::threshold(before), "the library and the pane read two thresholds");
    if (!before)
        check(thresholdFrom(librarySettings) == slv::kDefaultRamValue, "an unreadable file did not give the default");
    check(thresholdFrom(librarySettings) >= slv::kMinimumThreshold && thresholdFrom(librarySettings) <= slv::kMaximumThreshold,
          "a threshold outside the slider's range");
    // The switches the library decides by are the ones the pane's rows show.
    check(slv::closeEveryApp(librarySettings.get()) == paneSwitch(slv::key::AlwaysKill),
          "the library and the pane read Close Every App two ways");
    check(slv::learnFromUse(librarySettings.get()) == paneSwitch(slv::key::LearnFromUse),
          "the library and the pane read Learn From Use two ways");
    if (!before)
        check(!slv::closeEveryApp(librarySettings.get()) && !slv::learnFromUse(librarySettings.get()),
              "an unreadable file turned a switch on");

    // A save of the pane: on a dictionary it keeps every key; on anything else it writes nothing.
    slv::store::writeDictToSave(sv::Dictionary { { std::string(slv::key::RamValue), sv::Value(120) } });
    auto bytes = sv::fs::readData(slv::settingsPath());
    check(bytes.has_value(), "the settings file went away");
    if (!before) {
        check(bytes->size() == size && std::equal(bytes->begin(), bytes->end(), data),
              "a save wrote over a file that is not a dictionary");
        return 0;
    }
    auto after = slv::readSettings();
    check(after.has_value(), "a save left a file that does not parse");
    check(sv::findInteger(*after, slv::key::RamValue) == 120, "a save lost its own key");
    for (const auto& [key, value] : *before)
        if (key != slv::key::RamValue) {
            const sv::Value* kept = sv::find(*after, key);
            check(kept && sameValue(*kept, value), "a save lost or changed a key it found");
        }
    readAsAChooser<SLVNeverAppsController>(true);
    return 0;
}
