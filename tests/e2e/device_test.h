#pragma once
// A device root laid out as the install does it (the library in the injection folder, the pane's
// bundle in its place), on which a test starts the real host processes.

#include "contract/settings_contract.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace sv::test {

class DeviceTest : public ::testing::Test {
protected:
    DeviceTest()
    {
        installDeliverables(root.path(), SV_SETTINGS_BUNDLE_DIR);
    }

    // A host on the real clock, reading its commands from what the test writes.
    std::unique_ptr<RunningProcess> startSpringboard()
    {
        return std::make_unique<RunningProcess>(std::vector<std::string> { SV_SPRINGBOARD_HOST, "--root", root.path() });
    }
    std::unique_ptr<RunningProcess> startPreferences()
    {
        return std::make_unique<RunningProcess>(std::vector<std::string> { SV_PREFERENCES_HOST, "--root", root.path() });
    }

    // A host playing a whole scenario on the virtual clock.
    ProcessResult playSpringboard(const std::string& scenario)
    {
        return runProcess({ SV_SPRINGBOARD_HOST, "--root", root.path(), "--virtual-clock" }, scenario);
    }
    ProcessResult playPreferences(const std::string& scenario)
    {
        return runProcess({ SV_PREFERENCES_HOST, "--root", root.path(), "--virtual-clock" }, scenario);
    }

    // Mail and News left while memory was plentiful, then memory low: the next re-check closes
    // Mail and carries the chain on to News.
    static bool leaveTwoSuspectsAtLowMemory(RunningProcess& home)
    {
        return home.write("settings ramValue 100\n"
                          "app com.example.mail \"Mail\" mem=30\n"
                          "app com.example.news \"News\" mem=30\n"
                          "launch com.example.mail\nlaunch com.example.news\nhome\n"
                          "free 500\n"
                          "state com.example.mail 2\nstate com.example.news 2\n"
                          "free 50\n"
                          "show suspects\n")
            && home.waitForLine("] suspects com.example.mail com.example.news", 10);
    }

    std::string settingsHostPath() const { return root.host(slv::settingsPath()); }

    static double secondsBetween(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to)
    {
        return std::chrono::duration<double>(to - from).count();
    }

    static int countLines(const std::string& text, const std::string& containing)
    {
        int count = 0;
        for (std::size_t at = text.find(containing); at != std::string::npos; at = text.find(containing, at + 1))
            ++count;
        return count;
    }

    DeviceRoot root;
};

} // namespace sv::test
