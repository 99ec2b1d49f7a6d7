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
            sv::test::writeHostFile(icon(id), png);
    }

    // Records as a rebuild writes them: the image where there is one, else the fallback.
    static std::shared_ptr<const sv::Array> records(std::initializer_list<std::pair<std::string, bool>> entries)
    {
        auto array = std::make_shared<sv::Array>();
        for (const auto& [id, image] : entries)
            array->push_back(slv::applicationRecord("Name", id, image ? slv::iconImagePath(id) : std::string(slv::path::MissingIcon)));
        return array;
    }

    std::string icon(const std::string& id) const { return root.host(slv::iconImagePath(id)); }

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

TEST_F(IconCheckTest, AnImageMissingAppearedEmptyOrCutShortMakesTheRecordsStale)
{
    IconCheck check;
    EXPECT_TRUE(check.imagesCurrent(records({ { "a", true }, { "none", false } })));
    EXPECT_FALSE(check.imagesCurrent(records({ { "gone", true } })));
    EXPECT_FALSE(check.imagesCurrent(records({ { "a", false } }))); // its image is there now

    sv::test::writeHostFile(icon("b"), png.substr(0, png.size() - 3));
    EXPECT_FALSE(check.imagesCurrent(records({ { "b", true } })));
    sv::test::writeHostFile(icon("b"), "");
    EXPECT_FALSE(check.imagesCurrent(records({ { "b", true } })));

    auto noPath = std::make_shared<sv::Array>(sv::Array { sv::Dictionary { { "BundleID", "a" } } });
    EXPECT_FALSE(check.imagesCurrent(noPath));
}

TEST_F(IconCheckTest, LooksAtTheFilesAgainOnlyWhenTheFolderMoved)
{
    IconCheck check(std::chrono::nanoseconds(0));
    letTheFileClockTick();
    auto stored = records({ { "a", true }, { "b", true }, { "d", false } });
    ASSERT_TRUE(check.imagesCurrent(stored));
    EXPECT_EQ(check.fullChecks(), 1u);
    EXPECT_TRUE(check.imagesCurrent(stored));
    EXPECT_TRUE(check.imagesCurrent(std::make_shared<sv::Array>(*stored))); // read anew, same content
    EXPECT_EQ(check.fullChecks(), 1u);

    // An image appearing, going or renamed: looked at again, and the answer is exact.
    sv::test::writeHostFile(icon("d"), png);
    EXPECT_FALSE(check.imagesCurrent(stored));
    std::filesystem::remove(icon("d"));
    EXPECT_TRUE(check.imagesCurrent(stored));
    letTheFileClockTick();
    std::filesystem::rename(icon("b"), icon("e"));
    EXPECT_FALSE(check.imagesCurrent(stored));
    std::filesystem::rename(icon("e"), icon("b"));
    EXPECT_TRUE(check.imagesCurrent(stored));
    EXPECT_EQ(check.fullChecks(), 5u);

    // Other records are looked at afresh.
    EXPECT_FALSE(check.imagesCurrent(records({ { "gone", true } })));
    EXPECT_EQ(check.fullChecks(), 6u);
}

TEST_F(IconCheckTest, NeverKeepsTheLookOfAFolderChangedJustNowNorTakesALinkForAnImage)
{
    IconCheck check; // the folder was made a moment ago, well within the settling time
    auto stored = records({ { "a", true }, { "c", true } });
    EXPECT_TRUE(check.imagesCurrent(stored));
    std::filesystem::remove(icon("c")); // quite possibly within the same tick of the file clock
    EXPECT_FALSE(check.imagesCurrent(stored));
    EXPECT_EQ(check.fullChecks(), 2u);

    // A link could lose its target without the folder moving: a rebuild puts an image there.
    sv::test::writeHostFile(root.host("/var/mobile/elsewhere.png"), png);
    std::filesystem::create_symlink(root.host("/var/mobile/elsewhere.png"), icon("linked"));
    EXPECT_FALSE(check.imagesCurrent(records({ { "linked", true } })));
}

} // namespace
