// Writers killed with SIGKILL at random moments: every file stays the old or the new one, whole,
// and what a killed writer leaves behind does not pile up.
#include "contract/settings_contract.h"
#include "platform/foundation/files.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace sv::test {
namespace {

constexpr const char* kIcon = "/var/mobile/Library/Sleepvane/Icons/com.example.app.png";

// The padding of one generation: its length and letter follow from the number, so a file that
// mixed two writes, or stopped half-way, does not check out.
std::string paddingOf(std::int64_t generation)
{
    return std::string(4096 + static_cast<std::size_t>(generation % 7) * 9000, static_cast<char>('a' + generation % 26));
}

std::vector<std::uint8_t> iconBytes(bool odd)
{
    std::vector<std::uint8_t> bytes(odd ? 150000 : 90000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(odd ? i * 7 : i * 13);
    return bytes;
}

// Writes the next generation of the settings file and of an icon, for ever.
[[noreturn]] void writeForever()
{
    for (bool odd = false;; odd = !odd) {
        slv::updateSettings([](Dictionary& settings) {
            std::int64_t generation = findInteger(settings, "generation").value_or(0) + 1;
            settings["generation"] = generation;
            settings["padding"] = paddingOf(generation);
            return true;
        });
        auto icon = iconBytes(odd);
        fs::writeDataAtomically(kIcon, icon.data(), icon.size());
    }
}

// The files of a folder that are neither the targets nor their lock files.
std::vector<std::string> leftovers(const std::string& folder, const std::set<std::string>& expected)
{
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (!expected.contains(name) && !name.ends_with(".lock"))
            found.push_back(name);
    }
    return found;
}

TEST(KilledWriter, LeavesTheOldOrTheNewFileAndAtMostOneTemporaryPerTarget)
{
    DeviceRoot root;
    ASSERT_TRUE(fs::createDirectories(slv::path::IconsFolder));
    slv::updateSettings([](Dictionary& settings) {
        settings["userKey"] = std::string("kept");
        return true;
    });
    const auto even = iconBytes(false), odd = iconBytes(true);
    const std::string preferences = root.host("/var/mobile/Library/Preferences");
    const std::string icons = root.host(std::string(slv::path::IconsFolder));

    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> delay(0, 4000);
    std::int64_t lastGeneration = 0;
    std::size_t mostLeftovers = 0;
    for (int round = 0; round < 200; ++round) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            writeForever();
        // Most kills land within a write's first milliseconds; every tenth round waits longer, so
        // that a writer slowed down (a sanitizer build, a slow disk's flush) still finishes some.
        ::usleep(static_cast<useconds_t>(delay(random) * (round % 10 == 9 ? 10 : 1)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);

        auto settings = slv::readSettings();
        ASSERT_TRUE(settings) << "round " << round << ": the settings file does not parse";
        std::int64_t generation = findInteger(*settings, "generation").value_or(0);
        EXPECT_GE(generation, lastGeneration) << "round " << round;
        lastGeneration = generation;
        if (generation > 0) {
            const std::string* padding = findString(*settings, "padding");
            ASSERT_TRUE(padding);
            EXPECT_EQ(*padding, paddingOf(generation)) << "round " << round;
        }
        EXPECT_EQ(findString(*settings, "userKey") ? *findString(*settings, "userKey") : "", "kept");
        if (auto icon = fs::readData(kIcon)) {
            EXPECT_TRUE(*icon == even || *icon == odd) << "round " << round << ": the icon is partial";
        }

        auto stray = leftovers(preferences, { "com.norv.slv.plist" });
        auto strayIcons = leftovers(icons, { "com.example.app.png" });
        mostLeftovers = std::max(mostLeftovers, stray.size() + strayIcons.size());
        ASSERT_LE(stray.size(), 1u) << "round " << round << ": " << stray.size() << " temporaries beside the settings file";
        ASSERT_LE(strayIcons.size(), 1u) << "round " << round << ": " << strayIcons.size() << " temporaries beside the icon";
    }
    EXPECT_GT(lastGeneration, 0) << "the writer never finished a write";

    // The next write of each target takes over what the last kill left.
    slv::updateSettings([](Dictionary&) { return true; });
    fs::writeDataAtomically(kIcon, even.data(), even.size());
    EXPECT_TRUE(leftovers(preferences, { "com.norv.slv.plist" }).empty());
    EXPECT_TRUE(leftovers(icons, { "com.example.app.png" }).empty());
    RecordProperty("mostLeftovers", static_cast<int>(mostLeftovers));
}

} // namespace
} // namespace sv::test
