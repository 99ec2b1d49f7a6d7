// Both hosts on one device, in their own processes, on the real clock: the Settings host's
// chooser asks the home screen's library for the catalogue and saves a choice the library reads.
#include "tests/e2e/device_test.h"

#include "platform/ui/image.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace sv::test {
namespace {

namespace fsys = std::filesystem;

const char* const kFirstWords[] = { "Amber", "Atlas", "Beacon", "Birch", "Cobalt", "Comet", "Delta", "Ember", "Falcon", "Garnet",
                                    "Harbor", "Indigo", "Jasper", "Kestrel", "Lumen", "Maple", "Nimbus", "Onyx", "Pixel", "Quartz",
                                    "Raven", "Saffron", "Tundra", "Umber", "Velvet", "Willow", "Xenon", "Yarrow", "Zephyr", "\xC3\xA9" "clair" };
const char* const kSecondWords[] = { "Notes", "Maps", "Mail", "Radio", "Camera", "Clock", "Books", "Music", "Weather", "Chat" };

class ChooserCatalogue : public DeviceTest {
protected:
    // The home screen is listening once it has a socket in the device's notification folder.
    bool homeScreenListening(double seconds)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        std::string folder = root.host("/var/run/notify");
        while (std::chrono::steady_clock::now() < deadline) {
            std::error_code error;
            for (const auto& entry : fsys::directory_iterator(folder, error))
                if (entry.path().extension() == ".sock")
                    return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    static bool has(const std::string& text, const std::string& line) { return text.find(line) != std::string::npos; }
};

TEST_F(ChooserCatalogue, TheChooserLoadsTheHomeScreensCatalogueAndSavesAChoice)
{
    std::string homeScenario;
    int number = 0;
    for (const char* first : kFirstWords)
        for (const char* second : kSecondWords)
            homeScenario += "app com.example.app" + std::to_string(++number) + " \"" + first + " " + second + "\"\n";
    homeScenario += "wait 3\n";

    ProcessResult home;
    std::thread homeScreen([&] {
        home = runProcess({ SV_SPRINGBOARD_HOST, "--root", root.path() }, homeScenario, 30);
    });
    ASSERT_TRUE(homeScreenListening(10));

    std::string picture = root.path() + "/chooser.png";
    auto settings = runProcess({ SV_PREFERENCES_HOST, "--root", root.path() },
                               "open never\n"
                               "wait-loaded 3\n"
                               "show\n"
                               "tap \"Amber Books\"\n"
                               "answer \"Yes\"\n"
                               "snapshot " + picture + "\n",
                               30);
    homeScreen.join();

    ASSERT_EQ(settings.status, 0) << settings.err;
    EXPECT_EQ(home.status, 0) << home.err;
    EXPECT_TRUE(has(home.out, "] posted norv.slv.grabapps\n"));
    EXPECT_TRUE(has(settings.out, "] overlay \"Finished!\" 1\n"));
    EXPECT_TRUE(has(settings.out, "] overlay gone\n"));
    EXPECT_TRUE(has(settings.out, "] table 27 sections, 300 rows\n"));
    EXPECT_TRUE(has(settings.out, "] section \"A\"\n"));
    EXPECT_TRUE(has(settings.out, "] row \"Amber Books\"\n"));
    EXPECT_TRUE(has(settings.out, "] section \"\xC3\x89\"\n"));
    EXPECT_TRUE(has(settings.out, "] saved NeverIdentifiers [1 entries]\n"));
    auto saved = plist::readDictionary(slv::settingsPath());
    ASSERT_TRUE(saved);
    const Array* never = findArray(*saved, "NeverIdentifiers");
    ASSERT_TRUE(never && never->size() == 1);
    EXPECT_EQ(findArray(*saved, "ApplicationData")->size(), 300u);

    // The top of the picture: the "A" header, then Amber Books with its icon and the green mark.
    auto image = ui::Image::fromFile("/chooser.png");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 640);
    auto pixel = [&](float x, float y) {
        return image->pixels()[static_cast<int>(y * 2) * image->stride() / 4 + static_cast<int>(x * 2)];
    };
    auto green = [](std::uint32_t p) { return ((p >> 8) & 0xff) > 120 && ((p >> 16) & 0xff) < 110 && (p & 0xff) < 110; };
    EXPECT_TRUE(green(pixel(262, 44 + 22 + 21))) << std::hex << pixel(262, 44 + 22 + 21);
    std::uint32_t header = pixel(200, 44 + 11);
    EXPECT_NEAR(static_cast<int>((header >> 8) & 0xff), 166, 30);
}

} // namespace
} // namespace sv::test
