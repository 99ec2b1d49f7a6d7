// Seeded visits to the pane: the Settings host on the virtual clock, driven a step at a time while
// the settings and history files change underneath. After each step what the pane shows is held
// to the files: the list counts and the switch when the pane appears, the slider, its label and
// the file after a drag, the rows of Recently Closed (the newest 100). No `save failed`, error or
// warning may show, and every file reads back with Python's plistlib.
#include "contract/history_file.h"
#include "contract/settings_contract.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/plist/property_list.h"
#include "tests/referee/day_generator.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

namespace fsys = std::filesystem;
using sv::test::RunningProcess;
using Lines = std::vector<std::string>;

constexpr int kApps = 8;

std::string appId(int i) { return "com.example.p" + std::to_string(i); }
std::string appName(int i) { return "App" + std::to_string(i); }

struct Session {
    referee::Random random;
    sv::test::DeviceRoot root;
    std::unique_ptr<RunningProcess> host;
    std::size_t seen = 0;
    int step = 0;
    std::string screen;
    std::string failures;
    std::uint64_t seed;

    explicit Session(std::uint64_t s) : random(s), seed(s) { }

    sv::Array someIds()
    {
        sv::Array ids;
        for (int i = 0; i < kApps; ++i)
            if (random.chance(25))
                ids.push_back(slv::identifierEntry(appId(i)));
        return ids;
    }

    void change(const std::function<void(sv::Dictionary&)>& edit)
    {
        slv::updateSettings([&](sv::Dictionary& settings) {
            edit(settings);
            return true;
        });
    }

    void writeHistory(int count)
    {
        double now = slv::history::dateOf(sv::ManualClock::kWallOrigin).secondsSince2001 + step * 10;
        sv::Array records;
        for (int i = 0; i < count; ++i)
            records.push_back(slv::history::valueOf(
                { appId(i % kApps), { now - (count - i) * 7.0 }, "Low memory", 100 + i, std::nullopt }));
        ASSERT_TRUE(sv::plist::writeFile(slv::history::Path, sv::Value(records)));
    }

    void setUp()
    {
        fsys::create_directories(root.host(std::string(slv::path::Bundle)));
        for (const auto& entry : fsys::directory_iterator(SV_SETTINGS_BUNDLE_DIR))
            fsys::copy_file(entry.path(), root.host(std::string(slv::path::Bundle)) + "/" + entry.path().filename().string());
        sv::Array catalogue;
        for (int i = 0; i < kApps; ++i)
            catalogue.push_back(slv::applicationRecord(appName(i), appId(i), slv::path::MissingIcon));
        change([&](sv::Dictionary& settings) {
            settings["ApplicationData"] = catalogue;
            if (random.chance(70))
                settings["ramValue"] = random.between(6, 60) * 5;
            settings["NeverIdentifiers"] = someIds();
            settings["AlwaysIdentifiers"] = someIds();
        });
        fsys::create_directories(root.host(std::string(slv::path::DataFolder)));
        writeHistory(random.between(0, 130));
        host = std::make_unique<RunningProcess>(
            std::vector<std::string> { SV_PREFERENCES_HOST, "--root", root.path(), "--virtual-clock" });
    }

    // Writes the commands, then `show` and a mark, and answers what came out meanwhile.
    Lines play(const std::string& commands)
    {
        ++step;
        std::string mark = "s" + std::to_string(step) + "e";
        host->write(commands + "show\necho " + mark + "\n");
        if (!host->waitForLine("] echo " + mark, 20))
            failures += "step " + std::to_string(step) + ": no answer to " + commands;
        Lines lines = host->linesFrom(seen);
        seen += lines.size();
        for (const std::string& line : lines) {
            if (line.find("] screen ") != std::string::npos)
                screen = line.substr(line.find("] screen ") + 9, line.find(' ', line.find("] screen ") + 9) - line.find("] screen ") - 9);
            if (line.find("save failed") != std::string::npos || line.find("error") != std::string::npos
                || line.find("warning") != std::string::npos)
                failures += "step " + std::to_string(step) + " (" + commands + "): " + line + "\n";
        }
        return lines;
    }

    static std::optional<std::string> field(const Lines& lines, const std::string& prefix, const std::string& after)
    {
        for (auto it = lines.rbegin(); it != lines.rend(); ++it)
            if (it->find(prefix) != std::string::npos) {
                auto at = it->find(after);
                if (at == std::string::npos)
                    return std::nullopt;
                at += after.size();
                auto end = it->find_first_of(" ,\"", at);
                return it->substr(at, end == std::string::npos ? std::string::npos : end - at);
            }
        return std::nullopt;
    }

    void expect(bool ok, const std::string& what)
    {
        if (!ok)
            failures += "step " + std::to_string(step) + ": " + what + "\n";
    }

    int listCount(const sv::Dictionary& settings, std::string_view key)
    {
        const sv::Array* list = sv::findArray(settings, key);
        return list ? static_cast<int>(list->size()) : 0;
    }

    void checkRoot(const Lines& lines, bool appeared, bool dragged)
    {
        if (screen != "SLVAppDelegate")
            return;
        auto settings = slv::readSettings().value_or(sv::Dictionary {});
        if (appeared) {
            expect(field(lines, "] row AlwaysKill ", "label \"") == std::to_string(listCount(settings, "AlwaysIdentifiers")),
                   "the Always count is not the file's");
            expect(field(lines, "] row NeverKill ", "label \"") == std::to_string(listCount(settings, "NeverIdentifiers")),
                   "the Never count is not the file's");
        }
        if (dragged) {
            auto slider = field(lines, "] row RamSlider ", "slider ");
            auto label = field(lines, "] row RamSlider ", "label \"");
            auto stored = sv::findInteger(settings, "ramValue");
            expect(slider && label && slider == label, "the slider and its label disagree");
            expect(stored && slider == std::to_string(*stored), "the slider is not the file's threshold");
        }
    }

    void checkHistory(const Lines& lines)
    {
        if (screen != "SLVRecentlyClosedController")
            return;
        std::size_t rows = std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find("] row ") != std::string::npos;
        });
        auto records = slv::history::read();
        expect(rows == std::min<std::size_t>(records.size(), slv::history::kLimit),
               "Recently Closed shows " + std::to_string(rows) + " rows for " + std::to_string(records.size()) + " records");
    }

    void answerWhatShows(const Lines& lines)
    {
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
            if (it->find("\"Dismiss\"") != std::string::npos) {
                play("answer \"Dismiss\"\n");
                return;
            }
            if (it->find("\"Yes\"") != std::string::npos) {
                play(random.chance(50) ? "answer \"Yes\"\n" : "answer \"Cancel\"\n");
                return;
            }
        }
    }

    void underneath()
    {
        switch (random.below(5)) {
        case 0: change([&](sv::Dictionary& s) { s["ramValue"] = random.between(6, 60) * 5; }); break;
        case 1: change([&](sv::Dictionary& s) { s["NeverIdentifiers"] = someIds(); }); break;
        case 2: change([&](sv::Dictionary& s) { s["AlwaysIdentifiers"] = someIds(); }); break;
        case 3: change([&](sv::Dictionary& s) { s["alwaysKill"] = random.chance(50); }); break;
        default: writeHistory(random.between(0, 140));
        }
    }

    bool ours() const
    {
        return screen == "SLVAppDelegate" || screen == "SLVNeverAppsController" || screen == "SLVAlwaysAppsController"
            || screen == "SLVRecentlyClosedController";
    }
    bool onSubscreen() const { return ours() && screen != "SLVAppDelegate"; }

    void run()
    {
        setUp();
        int steps = random.between(15, 30);
        for (int i = 0; i < steps && failures.empty(); ++i) {
            if (random.chance(30))
                underneath();
            int roll = random.below(100);
            std::string name = appName(random.below(kApps));
            if (onSubscreen() && roll < 35)
                checkRoot(play("back\nwait 0.2\n"), true, false);
            if (roll < 15) {
                checkRoot(play(ours() ? "back\nwait 0.2\n" : "open\nwait 0.2\n"), true, false);
            } else if (roll < 25) {
                play(random.chance(50) ? "open never\n" : "open always\n");
                play("post norv.slv.apps.loaded\nwait 0\nwait-loaded 1\n");
            } else if (roll < 35) {
                checkHistory(play("open recent\nwait 0.2\n"));
            } else if (roll < 60 && screen == "SLVAppDelegate") {
                std::string value = std::to_string(random.between(6, 60) * 5);
                if (random.chance(60))
                    checkRoot(play("drag " + value + "\n"), false, true);
                else
                    checkRoot(play("drag " + value + " hold\n" + (random.chance(50) ? "lift\n" : "cancel\n")), false, true);
            } else if (roll < 68 && screen == "SLVAppDelegate") {
                play("tap CloseEveryApp\n");
            } else if (roll < 85 && (screen == "SLVNeverAppsController" || screen == "SLVAlwaysAppsController"
                                     || screen == "SLVRecentlyClosedController")) {
                answerWhatShows(play("tap \"" + name + "\"\n"));
            } else if (roll < 92 && ours()) {
                checkRoot(play("back\nwait 0.2\n"), true, false);
            } else {
                play(random.chance(50) ? "resign\n" : "background\n");
            }
        }
        auto result = host->wait(20);
        std::string err = result.err;
        for (std::string harmless : { std::string("Sleep Vane: Loaded in settings\n") })
            for (auto at = err.find(harmless); at != std::string::npos; at = err.find(harmless))
                err.erase(at, harmless.size());
        expect(err.empty(), "standard error: " + err);
        auto python = sv::test::runProcess({ "/usr/bin/env", "python3", "-c",
                                             "import plistlib,sys,os\n"
                                             "for p in sys.argv[1:]:\n"
                                             "  if os.path.exists(p): plistlib.load(open(p,'rb'))\n",
                                             root.host("/var/mobile/Library/Preferences/com.norv.slv.plist"),
                                             root.host(std::string(slv::history::Path)) });
        expect(python.status == 0, "plistlib: " + python.err);
    }
};

class PaneSessions : public ::testing::TestWithParam<int> { };

TEST_P(PaneSessions, WhatThePaneShowsIsWhatTheFilesHold)
{
    for (int i = 0; i < 10; ++i) {
        std::uint64_t seed = 1 + static_cast<std::uint64_t>(GetParam()) * 10 + i;
        Session session(seed);
        session.run();
        EXPECT_TRUE(session.failures.empty()) << "pane session seed " << seed << ":\n" << session.failures;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, PaneSessions, ::testing::Range(0, 3));

} // namespace
