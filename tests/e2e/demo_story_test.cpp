// The demo story, as scripts/demo plays it: both hosts on a fresh device through the runner.
#include "tests/e2e/device_test.h"

#include "platform/ui/image.h"

#include <filesystem>

namespace sv::test {
namespace {

TEST(DemoStory, PlaysToTheEndAndLeavesTheScreenshots)
{
    std::string folder = (std::filesystem::temp_directory_path() / ("svdemo." + std::to_string(::getpid()))).string();
    std::string scenarios = std::string(SV_SOURCE_DIR) + "/hosts/device/scenarios/";
    auto result = runProcess({ SV_DEVICE_RUNNER, "--root", folder + "/device", "--fresh", "--screens", folder + "/screens",
                               "--timeline", folder + "/screens/memory-timeline.png",
                               "--springboard", scenarios + "story-springboard.txt", "--preferences",
                               scenarios + "story-settings.txt" },
                             "", 90);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.printed("settings    [")) << result.out;
    EXPECT_TRUE(result.printed("] saved ramValue 200\n"));
    EXPECT_TRUE(result.printed("] saved NeverIdentifiers [1 entries]\n"));
    EXPECT_TRUE(result.printed("] label NeverKill \"1\"\n"));
    EXPECT_TRUE(result.printed("] closed com.example.mail\n"));
    EXPECT_TRUE(result.printed("] closed com.example.news\n"));
    EXPECT_FALSE(result.printed("] closed com.example.notes\n")) << "Notes is on the never list";
    EXPECT_TRUE(result.printed("] history com.example.camera \"Low memory\" reopened ")) << "back within the minute";
    EXPECT_TRUE(result.printed("] pushed SLVRecentlyClosedController\n"));
    EXPECT_TRUE(result.printed("] sheet \"Would you like to never have Game killed?\""));
    EXPECT_TRUE(result.printed("] saved NeverIdentifiers [2 entries]\n"));

    for (const char* name : { "settings-pane-dragging.png", "never-chooser.png", "settings-pane.png",
                              "recently-closed.png", "recently-closed-confirm.png", "memory-timeline.png" }) {
        auto bytes = readHostFile(folder + "/screens/" + name);
        auto image = ui::Image::fromPngData(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ASSERT_TRUE(image) << name;
        EXPECT_GT(image->width(), 300) << name;
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

} // namespace
} // namespace sv::test
