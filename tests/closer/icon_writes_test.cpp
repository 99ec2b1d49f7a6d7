// The images of a rebuild written by helper threads: every one whole and under its own name,
// however many threads share the work.
#include "closer/icon_writes.h"

#include "contract/settings_contract.h"
#include "platform/runtime/foundation_objects.h"
#include "platform/ui/image.h"
#include "platform/ui/image_object.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

constexpr int kImages = 70; // more than wait for a helper at once

// A 4 × 3 image whose first pixel tells it from the others.
sv::rt::Ref imageNumbered(int number)
{
    auto image = sv::ui::Image::create(4, 3);
    image->pixels()[0] = 0xFF000000u | static_cast<std::uint32_t>(number);
    image->markDirty();
    return sv::ui::makeImageObject(image);
}

TEST(IconWrites, EveryImageIsWrittenUnderItsNameWhateverTheNumberOfHelpers)
{
    for (unsigned helpers : { 0u, 1u, 3u }) {
        sv::test::DeviceRoot root;
        ASSERT_TRUE(sv::fs::createDirectories(slv::path::IconsFolder));
        auto folder = sv::fs::openFolder(slv::path::IconsFolder);
        ASSERT_TRUE(folder);
        {
            sv::rt::AutoreleasePool pool;
            IconWrites writes(*folder, helpers);
            for (int i = 0; i < kImages; ++i)
                writes.add(imageNumbered(i).get(), "icon" + std::to_string(i) + ".png");
            // Neither an object that is no image nor a name that is no plain file name writes
            // anything, and neither holds the others up.
            writes.add(sv::rt::makeString("no image").get(), "text.png");
            writes.add(imageNumbered(0).get(), "../outside.png");
            writes.finish();
        }
        std::size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(root.host(std::string(slv::path::IconsFolder)))) {
            ++files;
            EXPECT_TRUE(entry.path().filename().string().starts_with("icon")) << entry.path();
        }
        EXPECT_EQ(files, std::size_t(kImages)) << helpers << " helpers";
        for (int i = 0; i < kImages; ++i) {
            auto read = sv::ui::Image::fromFile(std::string(slv::path::IconsFolder) + "/icon" + std::to_string(i) + ".png");
            ASSERT_TRUE(read) << i;
            EXPECT_EQ(read->pixels()[0], 0xFF000000u | static_cast<std::uint32_t>(i)) << helpers << " helpers, image " << i;
        }
        EXPECT_FALSE(std::filesystem::exists(root.host(std::string(slv::path::IconsFolder) + "/../outside.png")));
    }
}

} // namespace
