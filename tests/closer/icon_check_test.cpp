#include "closer/icon_check.h"
#include "contract/settings_contract.h"
#include "platform/ui/image.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <sys/stat.h>

namespace {

using sv::test::DeviceRoot;

class IconCheckTest : public testing::Test {
protected:
    IconCheckTest()
    {
        auto bytes = sv::ui::Image::create(4, 4)->pngData();
        png.assign(bytes->begin(), bytes->end());
        for (const char* id : { "a", "b", "c" })
            sv::test::writeHostFile(root.host(slv::iconImagePath(id)), png);
        sv::test::writeHostFile(root.host(std::string(slv::path::MissingIcon)), "any bytes will do here");
    }

    std::shared_ptr<const sv::Array> records(std::initializer_list<std::string> paths) const
    {
        auto array = std::make_shared<sv::Array>();
        for (const std::string& path : paths)
            array->push_back(slv::applicationRecord("Name", "id", path));
        return array;
    }

    std::string icon(const char* id) const { return root.host(slv::iconImagePath(id)); }

    // Until the kernel's file clock has moved past the folder's last change, so that the next
    // change shows in its times.
    void letTheFileClockTick() const
    {
        struct stat info {};
        ::stat(root.host(std::string(slv::path::IconsFolder)).c_str(), &info);
        timespec now {};
        do
            ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        while (now.tv_sec < info.st_ctim.tv_sec || (now.tv_sec == info.st_ctim.tv_sec && now.tv_nsec <= info.st_ctim.tv_nsec));
    }

    DeviceRoot root;
    std::string png;
};

TEST_F(IconCheckTest, RefusesAMissingEmptyOrCutShortImageAndARecordWithoutAPath)
{
    IconCheck check;
    std::string fallback(slv::path::MissingIcon);
    EXPECT_TRUE(check.allPresent(records({ slv::iconImagePath("a"), fallback })));
    EXPECT_FALSE(check.allPresent(records({ slv::iconImagePath("a"), slv::iconImagePath("gone") })));

    sv::test::writeHostFile(icon("b"), png.substr(0, png.size() - 3));
    EXPECT_FALSE(check.allPresent(records({ slv::iconImagePath("b") })));
    sv::test::writeHostFile(icon("b"), "");
    EXPECT_FALSE(check.allPresent(records({ slv::iconImagePath("b") })));

    auto noPath = std::make_shared<sv::Array>(sv::Array { sv::Dictionary { { "BundleID", "a" } } });
    EXPECT_FALSE(check.allPresent(noPath));
    EXPECT_TRUE(check.allPresent(records({})));
}

TEST_F(IconCheckTest, LooksAtTheFilesAgainOnlyWhenAFolderOfTheirsMoved)
{
    IconCheck check(std::chrono::nanoseconds(0));
    letTheFileClockTick();
    auto stored = records({ slv::iconImagePath("a"), slv::iconImagePath("b"), std::string(slv::path::MissingIcon) });
    ASSERT_TRUE(check.allPresent(stored));
    EXPECT_EQ(check.fullChecks(), 1u);
    EXPECT_TRUE(check.allPresent(stored));
    auto equal = std::make_shared<sv::Array>(*stored); // read anew, same content
    EXPECT_TRUE(check.allPresent(equal));
    EXPECT_EQ(check.fullChecks(), 1u);

    // Another file added or a name taken away: looked at again, and the answer is exact.
    sv::test::writeHostFile(icon("d"), png);
    EXPECT_TRUE(check.allPresent(stored));
    EXPECT_EQ(check.fullChecks(), 2u);
    letTheFileClockTick();
    std::filesystem::rename(icon("b"), icon("e"));
    EXPECT_FALSE(check.allPresent(stored));
    std::filesystem::rename(icon("e"), icon("b"));
    EXPECT_TRUE(check.allPresent(stored));

    // Other records are looked at afresh.
    letTheFileClockTick();
    EXPECT_TRUE(check.allPresent(stored));
    std::size_t checks = check.fullChecks();
    EXPECT_FALSE(check.allPresent(records({ slv::iconImagePath("gone") })));
    EXPECT_EQ(check.fullChecks(), checks + 1);
}

TEST_F(IconCheckTest, NeverKeepsTheLookOfAFolderChangedJustNowOrOfALink)
{
    IconCheck check; // the folder was made a moment ago, well within the settling time
    auto stored = records({ slv::iconImagePath("a"), slv::iconImagePath("c") });
    EXPECT_TRUE(check.allPresent(stored));
    std::filesystem::remove(icon("c")); // quite possibly within the same tick of the file clock
    EXPECT_FALSE(check.allPresent(stored));
    EXPECT_EQ(check.fullChecks(), 2u);

    IconCheck settled(std::chrono::nanoseconds(0));
    std::filesystem::create_symlink(root.host(std::string(slv::path::MissingIcon)), root.host("/var/mobile/linked.png"));
    auto linked = records({ "/var/mobile/linked.png" });
    letTheFileClockTick();
    EXPECT_TRUE(settled.allPresent(linked));
    std::filesystem::remove(root.host(std::string(slv::path::MissingIcon))); // the link's folder does not move
    EXPECT_FALSE(settled.allPresent(linked));
}

} // namespace
