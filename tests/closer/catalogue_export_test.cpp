#include "contract/settings_contract.h"
#include "hosts/springboard/icon_model.h"
#include "tests/closer/closer_fixture.h"

#include "platform/foundation/files.h"
#include "platform/foundation/property_list.h"
#include "platform/runtime/foundation_objects.h"
#include "platform/runtime/object.h"

#include <algorithm>
#include <functional>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>

namespace {

using sv::test::CloserTest;

std::vector<std::string>& received()
{
    static std::vector<std::string> names;
    return names;
}

void recordPost(CFNotificationCenterRef, void*, const char* name, const void*, const void*)
{
    received().emplace_back(name);
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

std::size_t countPrefixed(const std::vector<std::string>& lines, std::string_view prefix)
{
    std::size_t n = 0;
    for (const auto& line : lines)
        n += line.starts_with(prefix);
    return n;
}

class CatalogueExportTest : public CloserTest {
protected:
    void SetUp() override
    {
        CloserTest::SetUp();
        static bool observing = [] {
            CFNotificationCenterRef center = CFNotificationCenterGetDarwinNotifyCenter();
            CFNotificationCenterAddObserver(center, nullptr, recordPost, slv::darwin::CheckOnApps, nullptr, 0);
            CFNotificationCenterAddObserver(center, nullptr, recordPost, slv::darwin::AppsLoaded, nullptr, 0);
            return true;
        }();
        (void)observing;
        received().clear();
        sb::registerIconClasses();
        sb::IconModel::shared().reset();
        // The library made these at start-up, in the first test's device.
        sv::fs::createDirectories(slv::path::IconsFolder);
    }

    void TearDown() override
    {
        sb::IconModel::shared().reset();
        CloserTest::TearDown();
    }

    // Runs one export and delivers what it posted: the number of progress posts when they all
    // came before exactly one completion, else -1.
    int exportCatalogue()
    {
        received().clear();
        {
            sv::rt::AutoreleasePool pool;
            grabAppData(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, slv::darwin::GrabApps, nullptr, nullptr);
        }
        advance(0);
        auto& names = received();
        if (names.empty() || names.back() != slv::darwin::AppsLoaded)
            return -1;
        for (std::size_t i = 0; i + 1 < names.size(); ++i)
            if (names[i] != slv::darwin::CheckOnApps)
                return -1;
        return static_cast<int>(names.size()) - 1;
    }

    id addApp(const std::string& bundleID, const std::string& name, bool drawsIcon = true)
    {
        id app = sb::Springboard::shared().application(bundleID);
        sb::applicationState(app)->name = name;
        sb::applicationState(app)->drawsIcon = drawsIcon;
        return app;
    }

    void addIcon(const std::string& leaf, const std::string& name) { sb::IconModel::shared().addIcon(leaf, name); }

    std::string host(std::string_view devicePath) const { return root().host(std::string(devicePath)); }

    sv::Dictionary settings() const { return slv::readSettings().value_or(sv::Dictionary {}); }

    std::vector<const sv::Dictionary*> records() const
    {
        std::vector<const sv::Dictionary*> result;
        cached_ = settings();
        if (const sv::Array* data = sv::findArray(cached_, slv::key::ApplicationData))
            for (const sv::Value& record : *data)
                result.push_back(record.asDictionary());
        return result;
    }

    std::vector<std::string> recordField(std::string_view key) const
    {
        std::vector<std::string> values;
        for (const sv::Dictionary* record : records()) {
            const std::string* value = record ? sv::findString(*record, key) : nullptr;
            values.push_back(value ? *value : "(none)");
        }
        return values;
    }

    // Identity of a file: a whole-file atomic write always gives it a new inode.
    ino_t inode(std::string_view devicePath) const
    {
        struct stat info { };
        return ::stat(host(devicePath).c_str(), &info) == 0 ? info.st_ino : 0;
    }

    // What an independent reader makes of the settings file and the images.
    std::vector<std::string> check(const std::string& deviceRoot = {}) const
    {
        auto result = sv::test::runProcess({ "/usr/bin/env", "python3", std::string(SV_SOURCE_DIR) + "/tests/closer/export_check.py",
                                             deviceRoot.empty() ? root().path() : deviceRoot });
        EXPECT_EQ(result.status, 0) << result.out << result.err;
        return lines(result.out);
    }

    void writeSettings(const sv::Dictionary& dictionary) { ASSERT_TRUE(sv::plist::writeFile(slv::settingsPath(), dictionary)); }

private:
    mutable sv::Dictionary cached_;
};

TEST_F(CatalogueExportTest, FreshDeviceGetsEveryIconThenAnUnchangedHomeScreenWritesNothing)
{
    for (int i = 0; i < 40; ++i)
        addApp("com.example.app" + std::to_string(i), "App " + std::to_string(i));

    EXPECT_EQ(exportCatalogue(), 7);
    std::vector<std::string> expected;
    for (const sv::rt::Ref& icon : sb::IconModel::shared().icons())
        expected.push_back(*sv::rt::stringValue(sv::rt::msgSend<id>(icon.get(), "leafIdentifier")));
    EXPECT_EQ(recordField(slv::key::BundleID), expected);
    sv::Dictionary written = settings();
    EXPECT_EQ(sv::findInteger(written, slv::key::ApplicationsNumber), 40);
    EXPECT_EQ(sv::findInteger(written, slv::key::ApplicationsMinus), 0);
    for (const std::string& path : recordField(slv::key::IconPath))
        EXPECT_TRUE(path.starts_with(std::string(slv::path::IconsFolder) + "/com.example.app")) << path;

    auto found = check();
    EXPECT_EQ(countPrefixed(found, "key "), 3u);
    EXPECT_EQ(countPrefixed(found, "record "), 40u);
    EXPECT_EQ(countPrefixed(found, "png "), 40u);
    for (const auto& line : found)
        if (line.starts_with("png ")) {
            std::istringstream fields(line.substr(4));
            int index, width, height, cornerAlpha, white, coloured;
            fields >> index >> width >> height >> cornerAlpha >> white >> coloured;
            EXPECT_EQ(width, sb::kIconSide);
            EXPECT_EQ(height, sb::kIconSide);
            EXPECT_EQ(cornerAlpha, 0) << "a rounded square leaves its corners clear";
            EXPECT_GT(white, 50) << "the initial";
            EXPECT_GT(coloured, 1500) << "the square";
        }

    ino_t settingsFile = inode(slv::settingsPath());
    ino_t image = inode(slv::iconImagePath("com.example.app7"));
    EXPECT_EQ(exportCatalogue(), 5);
    EXPECT_EQ(inode(slv::settingsPath()), settingsFile);
    EXPECT_EQ(inode(slv::iconImagePath("com.example.app7")), image);
}

TEST_F(CatalogueExportTest, TheUsersOwnKeysSurviveWithTheirTypes)
{
    writeSettings({ { "ramValue", 120 },
                    { "alwaysKill", true },
                    { "NeverIdentifiers", sv::Array { slv::identifierEntry("com.example.keep") } },
                    { "AlwaysIdentifiers", sv::Array {} },
                    { "ApplicationData", sv::Array { slv::applicationRecord("Old", "com.example.old", "/x.png") } } });
    addApp("com.example.a", "Alpha");

    EXPECT_EQ(exportCatalogue(), 7);
    auto found = check();
    for (const char* line : { "key AlwaysIdentifiers list", "key ApplicationData list", "key ApplicationsMinus int",
                              "key ApplicationsNumber int", "key NeverIdentifiers list", "key alwaysKill bool",
                              "key ramValue int", "record 0 image", "png 0 60 60" })
        EXPECT_TRUE(std::ranges::any_of(found, [line](const std::string& l) { return l.starts_with(line); })) << line;
    sv::Dictionary written = settings();
    EXPECT_EQ(sv::findInteger(written, slv::key::RamValue), 120);
    EXPECT_TRUE(slv::listContains(sv::findArray(written, slv::key::NeverIdentifiers), "com.example.keep"));
    EXPECT_EQ(recordField(slv::key::AppName), std::vector<std::string> { "Alpha" });
}

TEST_F(CatalogueExportTest, ExcludesOnlyTheExactDisplayNames)
{
    for (const char* name : { "Lockdown", "WebSheet", "DemoApp", "FieldTest", "SpringBoard", "iPodOut", "TrustMe",
                              "AdSheet", "iOS Diagnostics", "Setup", "Phone" })
        addIcon(std::string("com.example.") + name, name);
    addIcon("com.example.lower", "phone");
    addIcon("com.example.space", "Phone ");
    addIcon("com.example.lead", " Phone");
    addIcon("Phone", "Dialer"); // the identifier is never looked at

    EXPECT_EQ(exportCatalogue(), 7);
    EXPECT_EQ(recordField(slv::key::AppName), (std::vector<std::string> { "phone", "Phone ", " Phone", "Dialer" }));
    EXPECT_EQ(sv::findInteger(settings(), slv::key::ApplicationsNumber), 4);
    EXPECT_EQ(sv::findInteger(settings(), slv::key::ApplicationsMinus), 11);
    EXPECT_FALSE(sv::fs::exists(slv::iconImagePath("com.example.Phone")));
    EXPECT_EQ(exportCatalogue(), 5) << "15 icons less 11 excluded is the 4 written";
}

TEST_F(CatalogueExportTest, IconsWithoutAnImagePointToAnEarlierImageOrTheFallback)
{
    addApp("com.example.blank", "Blank", false); // answers nil
    sb::IconModel::shared().addIcon("com.example.mute", "Mute", true, false); // does not answer at all
    sb::IconModel::shared().addIcon("com.example.kept", "Kept", true, false);
    sv::test::writeHostFile(host(slv::iconImagePath("com.example.kept")), "left by an earlier export");

    EXPECT_EQ(exportCatalogue(), 7);
    auto fallback = std::string(slv::path::MissingIcon);
    EXPECT_EQ(recordField(slv::key::IconPath),
              (std::vector<std::string> { fallback, fallback, slv::iconImagePath("com.example.kept") }));
    EXPECT_FALSE(sv::fs::exists(slv::iconImagePath("com.example.blank")));
    EXPECT_EQ(sv::test::readHostFile(host(slv::iconImagePath("com.example.kept"))), "left by an earlier export");

    // Without the icons folder no image can be written, and the records say so.
    std::filesystem::remove_all(host(slv::path::IconsFolder));
    addApp("com.example.draws", "Draws");
    EXPECT_EQ(exportCatalogue(), 7);
    EXPECT_EQ(recordField(slv::key::IconPath), (std::vector<std::string>(4, fallback)));
}

TEST_F(CatalogueExportTest, UnsafeLeafIdentifiersGetARecordButNoImage)
{
    const std::string withNul("com.example.a\0b", 15);
    for (const std::string& leaf : { std::string(), std::string("."), std::string(".."), std::string("../Escape"),
                                     std::string("nested/app"), withNul })
        addIcon(leaf, "Unsafe");
    addIcon("com.example.safe", "Safe");
    sv::fs::createDirectories(std::string(slv::path::IconsFolder) + "/nested");
    const std::string outside = std::string(slv::path::DataFolder) + "/Escape.png";
    sv::test::writeHostFile(host(outside), "not the export's");

    EXPECT_EQ(exportCatalogue(), 7);
    auto fallback = std::string(slv::path::MissingIcon);
    EXPECT_EQ(recordField(slv::key::IconPath),
              (std::vector<std::string> { fallback, fallback, fallback, fallback, fallback, fallback,
                                          slv::iconImagePath("com.example.safe") }));
    EXPECT_EQ(sv::findInteger(settings(), slv::key::ApplicationsNumber), 7);
    EXPECT_EQ(sv::test::readHostFile(host(outside)), "not the export's");
    std::vector<std::string> images;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(host(slv::path::IconsFolder)))
        if (entry.is_regular_file())
            images.push_back(entry.path().filename().string());
    EXPECT_EQ(images, std::vector<std::string> { "com.example.safe.png" });
    EXPECT_EQ(countPrefixed(check(), "png "), 1u);
}

TEST_F(CatalogueExportTest, IconsWithoutNameOrIdentifierCountNowhere)
{
    sb::IconModel::shared().addIcon(std::nullopt, "No Identifier");
    sb::IconModel::shared().addIcon("com.example.noname", std::nullopt);
    addIcon("com.example.named", "Named");

    EXPECT_EQ(exportCatalogue(), 7);
    EXPECT_EQ(recordField(slv::key::BundleID), std::vector<std::string> { "com.example.named" });
    EXPECT_EQ(sv::findInteger(settings(), slv::key::ApplicationsNumber), 1);
    EXPECT_EQ(sv::findInteger(settings(), slv::key::ApplicationsMinus), 0);
    EXPECT_EQ(exportCatalogue(), 5) << "a rebuild would write the same record";
}

TEST_F(CatalogueExportTest, WithoutIconsNothingIsWritten)
{
    // An empty home screen and no settings file: 0 records match 0 icons.
    EXPECT_EQ(exportCatalogue(), 5);
    EXPECT_FALSE(slv::settingsExist());

    addIcon("com.example.a", "Alpha");
    EXPECT_EQ(exportCatalogue(), 7);
    ino_t written = inode(slv::settingsPath());
    addIcon("com.example.b", "Beta");

    sb::IconModel::shared().setAvailability(sb::IconModel::Availability::NoIcons);
    EXPECT_EQ(exportCatalogue(), 3);
    sb::IconModel::shared().setAvailability(sb::IconModel::Availability::NoModel);
    EXPECT_EQ(exportCatalogue(), 3);
    EXPECT_EQ(inode(slv::settingsPath()), written);
    EXPECT_FALSE(sv::fs::exists(slv::iconImagePath("com.example.b")));

    // Every icon left out by name: no record, so the earlier catalogue stays.
    sb::IconModel::shared().reset();
    addIcon("com.example.phone", "Phone");
    addIcon("com.example.setup", "Setup");
    EXPECT_EQ(exportCatalogue(), 7);
    EXPECT_EQ(inode(slv::settingsPath()), written);
    EXPECT_EQ(recordField(slv::key::BundleID), std::vector<std::string> { "com.example.a" });
}

TEST_F(CatalogueExportTest, AReplacedApplicationIsRebuiltIntoTheCatalogue)
{
    addIcon("com.example.a", "Alpha");
    addIcon("com.example.b", "Beta");
    EXPECT_EQ(exportCatalogue(), 7);

    // Same count, another application: the removed one goes, the new one comes.
    sb::IconModel::shared().removeIcons("com.example.a");
    addIcon("com.example.c", "Gamma");
    EXPECT_EQ(exportCatalogue(), 7);
    EXPECT_EQ(recordField(slv::key::BundleID), (std::vector<std::string> { "com.example.b", "com.example.c" }));
    EXPECT_EQ(recordField(slv::key::AppName), (std::vector<std::string> { "Beta", "Gamma" }));
    EXPECT_TRUE(sv::fs::exists(slv::iconImagePath("com.example.c")));
    EXPECT_EQ(exportCatalogue(), 5);
}

TEST_F(CatalogueExportTest, OnlyWhatARebuildWouldWriteNowCountsAsCurrent)
{
    addIcon("com.example.a", "Alpha");
    addIcon("com.example.b", "Beta");
    addIcon("com.example.c", "Phone");
    sb::IconModel::shared().addIcon("com.example.d", "Delta", true, false); // no image: the fallback
    auto rebuild = [] { return true; };
    struct Case {
        const char* what;
        std::function<void(sv::Dictionary&, sv::Array&)> change; // the settings, their records
        std::function<bool()> rebuilds;
    };
    auto edit = [](sv::Value& record, const std::function<void(sv::Dictionary&)>& change) {
        sv::Dictionary dictionary = *record.asDictionary();
        change(dictionary);
        record = sv::Value(std::move(dictionary));
    };
    auto field = [edit](sv::Value& record, std::string_view key, std::string text) {
        edit(record, [&](sv::Dictionary& d) { d.insert_or_assign(std::string(key), sv::Value(std::move(text))); });
    };
    const Case cases[] = {
        { "nothing changed", [](sv::Dictionary&, sv::Array&) {}, nullptr },
        { "a number stored as a real", [](sv::Dictionary& d, sv::Array&) { d["ApplicationsNumber"] = 3.0; }, nullptr },
        { "another name", [&](sv::Dictionary&, sv::Array& r) { field(r[1], "AppName", "Bet"); }, rebuild },
        { "another identifier", [&](sv::Dictionary&, sv::Array& r) { field(r[0], "BundleID", "com.example.z"); }, rebuild },
        { "another order", [](sv::Dictionary&, sv::Array& r) { std::swap(r[0], r[1]); }, rebuild },
        { "a record too many", [](sv::Dictionary&, sv::Array& r) { r.push_back(r[0]); }, rebuild },
        { "a record without name", [&](sv::Dictionary&, sv::Array& r) { edit(r[2], [](sv::Dictionary& d) { d.erase("AppName"); }); }, rebuild },
        { "a record that is no dictionary", [](sv::Dictionary&, sv::Array& r) { r[2] = sv::Value("Delta"); }, rebuild },
        { "the number off by one", [](sv::Dictionary& d, sv::Array&) { d["ApplicationsNumber"] = 4; }, rebuild },
        { "a number stored as text", [](sv::Dictionary& d, sv::Array&) { d["ApplicationsNumber"] = "3"; }, rebuild },
        { "no excluded count", [](sv::Dictionary& d, sv::Array&) { d.erase("ApplicationsMinus"); }, rebuild },
        { "no catalogue", [](sv::Dictionary& d, sv::Array&) { d.erase("ApplicationData"); }, rebuild },
        { "the fallback for a drawn icon", [&](sv::Dictionary&, sv::Array& r) { field(r[0], "IconPath", std::string(slv::path::MissingIcon)); }, rebuild },
        { "an image path for an undrawn icon", [&](sv::Dictionary&, sv::Array& r) { field(r[2], "IconPath", slv::iconImagePath("com.example.d")); }, rebuild },
        { "an image gone", [this](sv::Dictionary&, sv::Array&) { std::filesystem::remove(host(slv::iconImagePath("com.example.b"))); },
          [] { return sv::fs::exists(slv::iconImagePath("com.example.b")); } },
    };
    for (const Case& c : cases) {
        received().clear();
        exportCatalogue(); // whatever the last case left, a current catalogue
        sv::Dictionary stored = settings();
        sv::Array records = *sv::findArray(stored, slv::key::ApplicationData);
        ASSERT_EQ(records.size(), 3u) << c.what;
        c.change(stored, records);
        if (stored.contains("ApplicationData"))
            stored["ApplicationData"] = sv::Value(records);
        writeSettings(stored);
        EXPECT_EQ(exportCatalogue(), c.rebuilds ? 7 : 5) << c.what;
        if (c.rebuilds) {
            EXPECT_TRUE(c.rebuilds()) << c.what;
        }
        EXPECT_EQ(recordField(slv::key::BundleID),
                  (std::vector<std::string> { "com.example.a", "com.example.b", "com.example.d" })) << c.what;
        EXPECT_EQ(exportCatalogue(), 5) << c.what << ", then";
    }
}

TEST_F(CatalogueExportTest, AnUnreadableSettingsFileIsNeverOverwritten)
{
    const std::string garbage = "<plist><dict><key>ramValue</key>";
    sv::test::writeHostFile(host(slv::settingsPath()), garbage);
    addIcon("com.example.a", "Alpha");

    EXPECT_EQ(exportCatalogue(), 7);
    EXPECT_EQ(sv::test::readHostFile(host(slv::settingsPath())), garbage);
    EXPECT_TRUE(sv::fs::exists(slv::iconImagePath("com.example.a")));
}

TEST_F(CatalogueExportTest, TheHomeScreenHostAnswersARequestFromAnotherProcess)
{
    // A device of its own, so that this process's notification socket is not among the host's.
    const std::string device = root().path() + "/device";
    std::filesystem::create_directories(device + "/Library/Injection");
    std::filesystem::copy_file(sv::test::buildPath("closer/libSleepwright.so"),
                               device + "/Library/Injection/libSleepwright.so");
    const std::string scenario = "app com.example.notes \"Notes\"\n"
                                 "app com.example.maps \"Maps\" noimage\n"
                                 "icon com.example.clip \"Clip\"\n"
                                 "icon com.example.dialer \"Phone\"\n"
                                 "post norv.slv.grabapps\n"
                                 "wait 0.5\n"
                                 "post norv.slv.grabapps\n"
                                 "wait 0.5\n"
                                 "icons remove com.example.clip\n"
                                 "icon com.example.tape \"Tape\"\n"
                                 "post norv.slv.grabapps\n"
                                 "wait 0.5\n"
                                 "post norv.slv.grabapps\n"
                                 "wait 0.5\n"
                                 "icons none\n"
                                 "post norv.slv.grabapps\n"
                                 "wait 0.5\n";
    auto result = sv::test::runProcess(
        { sv::test::buildPath("hosts/springboard/springboard-host"), "--root", device, "--virtual-clock" },
        scenario);
    ASSERT_EQ(result.status, 0) << result.err;

    std::string protocol;
    for (const auto& line : lines(result.out)) {
        auto posted = line.find("] posted norv.slv.");
        if (posted != std::string::npos)
            protocol += line.substr(posted + 18) + " ";
    }
    auto exportOf = [](int progress) {
        std::string text = "grabapps ";
        for (int i = 0; i < progress; ++i)
            text += "check.on.apps ";
        return text + "apps.loaded ";
    };
    EXPECT_EQ(protocol, exportOf(7) + exportOf(5) + exportOf(7) + exportOf(5) + exportOf(3)) << result.out;
    std::string catalogue = sv::test::readHostFile(device + slv::settingsPath());
    EXPECT_NE(catalogue.find("<string>com.example.tape</string>"), std::string::npos);
    EXPECT_EQ(catalogue.find("<string>com.example.clip</string>"), std::string::npos) << "replaced";

    auto found = check(device);
    EXPECT_EQ(countPrefixed(found, "record "), 3u);
    EXPECT_EQ(countPrefixed(found, "record 0 fallback"), 1u) << "Maps draws no image";
    EXPECT_EQ(countPrefixed(found, "png "), 2u);
}

TEST(IconModel, DrawsAStableColourPerIdentifierWithTheInitialInWhite)
{
    auto pixelsOf = [](const std::shared_ptr<sv::ui::Image>& image) {
        return std::vector<std::uint32_t>(image->pixels(), image->pixels() + image->height() * image->stride() / 4);
    };
    auto notes = sb::drawIcon("com.example.notes", "notes");
    ASSERT_TRUE(notes);
    EXPECT_EQ(notes->width(), sb::kIconSide);
    EXPECT_EQ(pixelsOf(notes), pixelsOf(sb::drawIcon("com.example.notes", "notes")));
    EXPECT_EQ(pixelsOf(notes), pixelsOf(sb::drawIcon("com.example.notes", "Nothing"))) << "the initial, capitalised";

    auto background = [](const std::shared_ptr<sv::ui::Image>& image) { return image->pixels()[8 * image->stride() / 4 + 30]; };
    EXPECT_NE(background(notes), background(sb::drawIcon("com.example.mail", "notes")));
    EXPECT_EQ(background(notes) >> 24, 0xffu);
    EXPECT_EQ(notes->pixels()[0] >> 24, 0u);

    auto white = [&](const std::shared_ptr<sv::ui::Image>& image) {
        auto pixels = pixelsOf(image);
        return std::ranges::count(pixels, 0xffffffffu);
    };
    EXPECT_GT(white(notes), 50);
    EXPECT_EQ(white(sb::drawIcon("com.example.notes", "")), 0);
    EXPECT_GT(white(sb::drawIcon("com.example.notes", "Élan")), 50);
}

} // namespace
