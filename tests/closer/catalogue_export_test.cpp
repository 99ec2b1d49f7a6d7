#include "tests/closer/catalogue_fixture.h"
#include "tests/support/stopped_lock_holder.h"

#include <chrono>
#include <filesystem>
#include <sstream>

namespace {

using namespace sv::test;

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
    sv::test::installLibrary(device);
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
    for (const auto& line : splitLines(result.out)) {
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

TEST(IconModel, TheInitialIsTheNamesFirstGraphemeAsAPersonSeesIt)
{
    auto pixelsOf = [](std::string_view name) {
        auto image = sb::drawIcon("com.example.notes", name);
        return image ? std::vector<std::uint32_t>(image->pixels(), image->pixels() + image->height() * image->stride() / 4)
                     : std::vector<std::uint32_t> {};
    };
    // A letter with a combining accent, and a family joined from four people.
    EXPECT_EQ(pixelsOf("e\xCC\x81" "cole"), pixelsOf("E\xCC\x81"));
    EXPECT_NE(pixelsOf("e\xCC\x81" "cole"), pixelsOf("E"));
    const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
    EXPECT_EQ(pixelsOf(family + " Family"), pixelsOf(family));
    EXPECT_NE(pixelsOf(family + " Family"), pixelsOf("\xF0\x9F\x91\xA8")) << "not the first person alone";
    EXPECT_NE(pixelsOf("中文应用"), pixelsOf("")) << "a Chinese initial is drawn";
}

} // namespace

namespace {

TEST_F(CatalogueExportTest, AStoppedProcessHoldingAnImagesTemporaryDelaysTheExportOnlyUntilItsDeadline)
{
    for (int i = 0; i < 20; ++i)
        addApp("com.example.app" + std::to_string(i), "App " + std::to_string(i));
    // Anyone who can read the icons folder can lock a temporary a killed writer left there.
    std::string temporary = host(slv::iconImagePath("com.example.app3")) + ".tmp";
    sv::test::writeHostFile(temporary, "left by a killed writer");
    sv::test::StoppedLockHolder holder(temporary);
    ASSERT_TRUE(holder.locked());

    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(exportCatalogue(), 7);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 3.0);
    std::vector<std::string> identifiers = recordField(slv::key::BundleID);
    std::vector<std::string> paths = recordField(slv::key::IconPath);
    ASSERT_EQ(paths.size(), 20u);
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(paths[i], identifiers[i] == "com.example.app3" ? std::string(slv::path::MissingIcon) : slv::iconImagePath(identifiers[i]));
    EXPECT_EQ(countPrefixed(check(), "png "), 19u);
}

} // namespace
