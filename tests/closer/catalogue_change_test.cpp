// What makes the export rebuild the catalogue, and what leaves it as it is.
#include "hosts/springboard/springboard.h"
#include "tests/closer/catalogue_fixture.h"

#include <filesystem>
#include <functional>

namespace {

using namespace sv::test;

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

// The home screen hands out the same icon list while no icon in it changed: an application
// renamed in place, one added and an icon removed each give a new list, and an export notices.
TEST_F(CatalogueExportTest, TheIconListIsHandedOutAgainOnlyWhileNoIconChanged)
{
    sb::Springboard::shared().reset();
    auto& model = sb::IconModel::shared();
    auto name = [](const sv::rt::Ref& icon) { return *sv::rt::stringValue(sv::rt::msgSend<id>(icon.get(), "displayName")); };
    sb::applicationState(sb::Springboard::shared().application("com.example.a"))->name = "Alpha";
    addIcon("com.example.s", "Standalone");
    auto first = model.snapshot();
    EXPECT_EQ(model.snapshot(), first);
    ASSERT_EQ(first->size(), 2u);
    EXPECT_EQ(exportCatalogue(), 7);
    EXPECT_EQ(exportCatalogue(), 5);

    sb::applicationState(sb::Springboard::shared().application("com.example.a"))->name = "Aleph";
    auto renamed = model.snapshot();
    ASSERT_NE(renamed, first);
    EXPECT_EQ(name((*renamed)[0]), "Aleph");
    EXPECT_EQ(name((*first)[0]), "Alpha"); // a list handed out never changes
    EXPECT_EQ((*renamed)[1], (*first)[1]);
    EXPECT_EQ(exportCatalogue(), 7);
    EXPECT_EQ(recordField(slv::key::AppName), (std::vector<std::string> { "Aleph", "Standalone" }));

    sb::applicationState(sb::Springboard::shared().application("com.example.b"))->name = "Beta";
    EXPECT_EQ(model.snapshot()->size(), 3u);
    model.removeIcons("com.example.s");
    auto fewer = model.snapshot();
    ASSERT_EQ(fewer->size(), 2u);
    EXPECT_EQ(name((*fewer)[1]), "Beta");
    EXPECT_EQ(exportCatalogue(), 7);
    EXPECT_EQ(recordField(slv::key::BundleID), (std::vector<std::string> { "com.example.a", "com.example.b" }));

    // Re-described without an identifier, under the same name: an icon that counts nowhere.
    sb::applicationState(sb::Springboard::shared().application("com.example.a"))->bundleIdentifier = nullptr;
    auto unnamed = model.snapshot();
    ASSERT_NE(unnamed, fewer);
    EXPECT_EQ(sv::rt::msgSend<id>((*unnamed)[0].get(), "leafIdentifier"), nullptr);
    EXPECT_EQ(exportCatalogue(), 7);
    EXPECT_EQ(recordField(slv::key::BundleID), (std::vector<std::string> { "com.example.b" }));

    // Registered anew after the home screen forgot every application: new icons.
    sb::Springboard::shared().reset();
    sb::applicationState(sb::Springboard::shared().application("com.example.b"))->name = "Beta";
    auto again = model.snapshot();
    ASSERT_EQ(again->size(), 1u);
    EXPECT_NE((*again)[0], (*unnamed)[1]);
    EXPECT_EQ(name((*again)[0]), "Beta");
    sb::Springboard::shared().reset();
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

} // namespace
