#include "platform/foundation/files.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/foundation/plist/property_list_cache.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <string>

namespace {

using sv::plist::PropertyListCache;
using sv::test::DeviceRoot;

constexpr const char* kFile = "/var/mobile/Library/Preferences/cached.plist";

std::string xmlOf(const sv::Dictionary& dictionary)
{
    auto bytes = sv::plist::serializeXml(dictionary);
    return std::string(bytes.begin(), bytes.end());
}

class PropertyListCacheTest : public testing::Test {
protected:
    void SetUp() override { cache.clear(); }
    void write(const std::string& bytes) { sv::test::writeHostFile(root.host(kFile), bytes); }

    DeviceRoot root;
    PropertyListCache& cache = PropertyListCache::shared();
};

TEST_F(PropertyListCacheTest, ParsesOnlyWhenTheBytesChange)
{
    write(xmlOf({ { "ramValue", 120 } }));
    std::size_t parses = cache.parses();
    auto first = cache.readDictionary(kFile);
    auto second = cache.readDictionary(kFile);
    ASSERT_TRUE(first);
    EXPECT_EQ(first, second); // the very same value, shared
    EXPECT_EQ(cache.parses(), parses + 1);

    write(xmlOf({ { "ramValue", 125 } })); // same size, new content
    auto third = cache.readDictionary(kFile);
    EXPECT_EQ(cache.parses(), parses + 2);
    EXPECT_EQ(sv::findInteger(*third, "ramValue"), 125);
    EXPECT_EQ(sv::findInteger(*first, "ramValue"), 120); // what a reader holds never changes under it
}

TEST_F(PropertyListCacheTest, AnswersAsAFreshReadForMissingUnreadableAndOtherTypes)
{
    EXPECT_FALSE(cache.read(kFile));
    write("not a property list");
    EXPECT_FALSE(cache.read(kFile));
    EXPECT_FALSE(cache.read(kFile));
    auto array = sv::plist::serializeXml(sv::Value(sv::Array { sv::Value(1) }));
    write(std::string(array.begin(), array.end()));
    EXPECT_TRUE(cache.read(kFile));
    EXPECT_FALSE(cache.readDictionary(kFile)); // a value, but no dictionary
    EXPECT_FALSE(sv::plist::readDictionary(kFile));
    EXPECT_FALSE(cache.read("relative/path"));
}

TEST_F(PropertyListCacheTest, KeepsFilesApartAndForgetsTheOldestBeyondItsSize)
{
    for (int i = 0; i < 12; ++i) {
        std::string path = "/var/mobile/f" + std::to_string(i) + ".plist";
        sv::test::writeHostFile(root.host(path), xmlOf({ { "n", i } }));
        EXPECT_EQ(sv::findInteger(*cache.readDictionary(path), "n"), i);
    }
    std::size_t parses = cache.parses();
    cache.read("/var/mobile/f11.plist");
    EXPECT_EQ(cache.parses(), parses);
    cache.read("/var/mobile/f0.plist");
    EXPECT_EQ(cache.parses(), parses + 1);
}

TEST_F(PropertyListCacheTest, ASaveInThisProcessIsReadBackWithoutAParseAsAParseWouldGiveIt)
{
    const sv::Dictionary written {
        { "spaces", sv::Value("  ") }, { "tab and line", sv::Value("\t\n") }, { " key ", sv::Value(" a & <b> ") },
        { "", sv::Value("") }, { "n", sv::Value(-9) }, { "list", sv::Array { sv::Value(true), sv::Dictionary {}, sv::Array {} } },
        { "caf\xC3\xA9", sv::Value("\xF0\x9F\x98\x80") },
    };
    ASSERT_EQ(sv::plist::updateDictionary(kFile, [&](sv::Dictionary& d) {
        d = written;
        return true;
    }), sv::plist::UpdateResult::Written);
    std::size_t parses = cache.parses();
    auto cached = cache.readDictionary(kFile);
    EXPECT_EQ(cache.parses(), parses);
    ASSERT_TRUE(cached);
    EXPECT_EQ(*cached, written);
    EXPECT_EQ(sv::plist::readDictionary(kFile), written);

    // Text that does not go out as it is held is not taken note of: the next read parses.
    sv::plist::updateDictionary(kFile, [](sv::Dictionary& d) {
        d["broken"] = std::string("\xFF");
        return true;
    });
    cache.readDictionary(kFile);
    EXPECT_EQ(cache.parses(), parses + 1);
    EXPECT_EQ(*cache.readDictionary(kFile), *sv::plist::readDictionary(kFile));
}

} // namespace

namespace {

// An update changes the cached dictionary in place only when no reader holds it: whoever does
// keeps what they read, and the next read of the file parses nothing it should not.
TEST_F(PropertyListCacheTest, AnUpdateChangesInPlaceOnlyWhatNoReaderHolds)
{
    write(xmlOf({ { "ramValue", 120 }, { "other", "kept" } }));
    auto held = cache.readDictionary(kFile);
    ASSERT_EQ(sv::plist::updateEntries(kFile, { { "ramValue", 130 } }), sv::plist::UpdateResult::Written);
    EXPECT_EQ(sv::findInteger(*held, "ramValue"), 120);
    held.reset();

    ASSERT_EQ(sv::plist::updateEntries(kFile, { { "ramValue", 140 } }), sv::plist::UpdateResult::Written);
    EXPECT_EQ(sv::plist::updateEntries(kFile, { { "ramValue", 140 } }), sv::plist::UpdateResult::AlreadyCurrent);
    std::size_t parses = cache.parses();
    auto now = cache.readDictionary(kFile);
    EXPECT_EQ(cache.parses(), parses);
    EXPECT_EQ(sv::findInteger(*now, "ramValue"), 140);
    EXPECT_EQ(*now, *sv::plist::readDictionary(kFile));
    EXPECT_NE(sv::findString(*now, "other"), nullptr);

    // A file gone is started afresh; one that is no dictionary is left alone.
    std::filesystem::remove(root.host(kFile));
    EXPECT_EQ(sv::plist::updateEntries(kFile, { { "ramValue", 5 } }), sv::plist::UpdateResult::Written);
    EXPECT_EQ(*sv::plist::readDictionary(kFile), (sv::Dictionary { { "ramValue", 5 } }));
    write("<plist><array/></plist>");
    EXPECT_EQ(sv::plist::updateEntries(kFile, { { "ramValue", 6 } }), sv::plist::UpdateResult::Unreadable);
}

} // namespace
