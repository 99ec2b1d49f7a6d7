// Idle means asleep: once nothing is scheduled, neither host wakes. Every case runs in its own
// device root at once, and each process's context switches (all its threads) are counted over
// the same 10 s of real time after its commands have settled.
#include "tests/support/device_root.h"
#include "tests/support/diary_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <thread>

namespace {

namespace fsys = std::filesystem;
using sv::test::RunningProcess;

// Voluntary and involuntary switches of every thread of the process.
long contextSwitches(pid_t pid)
{
    long total = 0;
    std::error_code error;
    for (const auto& task : fsys::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                total += std::stol(line.substr(line.find(':') + 1));
    }
    return total;
}

const char* kHomeApps = "app com.example.notes \"Notes\" mem=20\n"
                        "app com.example.radio \"Radio\" mem=20\n"
                        "app com.example.mail \"Mail\" mem=20\n";

struct Case {
    std::string what;
    std::string pane;  // commands for the Settings host; empty: the home screen alone
    std::string home;  // commands for the home-screen host
};

// The cases whose device holds a week of diary at the start.
const char* const kWithDiary[] = { "pane opened, a week of diary", "pane, the suggested threshold tapped" };

bool withDiary(const Case& c)
{
    return std::find(std::begin(kWithDiary), std::end(kWithDiary), c.what) != std::end(kWithDiary);
}

// A week of use: six applications opened one after another through the day, the library closing
// while memory is low.
std::string weekOfDiary()
{
    sv::test::DiaryLines diary(512);
    const char* apps[] = { "com.example.notes", "com.example.radio", "com.example.mail", "com.example.maps",
                           "com.example.news", "com.example.game" };
    diary.installEach(apps, 90);
    diary.onDays(7, [&] {
        for (int round = 0; round < 20; ++round) {
            diary.openInTurn(apps, 40);
            diary.home();
            diary.closeEach(std::span(apps, 3));
            diary.wait(1800);
        }
    });
    return diary.text();
}

struct Running {
    Case c;
    sv::test::DeviceRoot* root = nullptr;
    std::unique_ptr<RunningProcess> home;
    std::unique_ptr<RunningProcess> pane;
    long homeBefore = 0, paneBefore = 0;
};

std::unique_ptr<RunningProcess> start(const char* host, const std::string& root)
{
    return std::make_unique<RunningProcess>(std::vector<std::string> { host, "--root", root });
}

void install(const std::string& root)
{
    sv::test::installDeliverables(root, SV_SETTINGS_BUNDLE_DIR);
}

TEST(IdleMeansAsleep, NeitherHostWakesOnceNothingIsScheduled)
{
    std::vector<Case> cases = {
        { "pane opened", "open\n", kHomeApps },
        { "pane, drag that changes the value", "open\nwait 0.2\ndrag 250\n", kHomeApps },
        { "pane, drag that keeps the value", "open\nwait 0.2\ndrag 175\n", kHomeApps },
        { "pane, drag held then cancelled", "open\nwait 0.2\ndrag 300 hold\ncancel\n", kHomeApps },
        { "pane, switch tapped", "open\nwait 0.2\ntap CloseEveryApp\n", kHomeApps },
        { "Never chooser, row tapped, Yes", "open never\nwait-loaded\ntap \"Notes\"\nanswer \"Yes\"\n", kHomeApps },
        { "Always chooser, row tapped, Cancel", "open always\nwait-loaded\ntap \"Radio\"\nanswer \"Cancel\"\n", kHomeApps },
        { "chooser, back to the pane", "open never\nwait-loaded\nback\n", kHomeApps },
        { "Recently Closed, row tapped, Dismiss", "open recent\nwait 0.2\ntap \"Mail\"\nanswer \"Cancel\"\nback\n",
          std::string(kHomeApps) + "settings always com.example.mail\nlaunch com.example.mail\nhome\nstate com.example.mail 2\n" },
        { "pane resigned", "open\nwait 0.2\ndrag 200\nresign\n", kHomeApps },
        { "pane in the background", "open\nwait 0.2\ndrag 220\nbackground\n", kHomeApps },
        { "home screen, memory low, only spared applications left", "",
          "memory total=1024 base=800\nsettings ramValue 300\nsettings never com.example.notes\n"
          "app com.apple.mobilephone \"Phone\" mem=50\napp com.example.radio \"Radio\" mem=50 audio playing\n"
          "app com.example.notes \"Notes\" mem=50\napp com.example.mail \"Mail\" mem=50\n"
          "launch com.apple.mobilephone\nlaunch com.example.notes\nlaunch com.example.radio\nlaunch com.example.mail\nhome\n"
          "state com.apple.mobilephone 2\nstate com.example.notes 2\nstate com.example.radio 3\nstate com.example.mail 2\n" },
        { "home screen, Learn From Use on, nothing happening", "", std::string("settings learnFromUse on\n") + kHomeApps },
        // The threshold suggested from a week of diary is worked out after the first frame, and
        // then nothing is left running.
        { kWithDiary[0], "open\nwait 3\nshow\n", std::string("settings learnFromUse on\n") + kHomeApps },
        { kWithDiary[1], "open\nwait 3\ntap Suggested\n", std::string("settings learnFromUse on\n") + kHomeApps },
        // The diary's and the learning's writes fall due a minute after the first use, past the count.
        { "home screen, Learn From Use on, applications used, then nothing", "",
          std::string("settings learnFromUse on\n") + kHomeApps
              + "launch com.example.notes\nstate com.example.notes 4\nlaunch com.example.mail\nstate com.example.mail 4\n"
                "state com.example.notes 2\nhome\nstate com.example.mail 2\ncall incoming\ncall none\n" },
    };

#ifdef __SANITIZE_ADDRESS__
    // Under the sanitizers a week's suggestion takes some twenty times as long, past the count's
    // window: the normal build holds those two cases.
    std::erase_if(cases, withDiary);
#endif
    std::vector<std::unique_ptr<sv::test::DeviceRoot>> roots;
    std::vector<Running> running;
    for (const Case& c : cases) {
        roots.push_back(std::make_unique<sv::test::DeviceRoot>());
        install(roots.back()->path());
        if (withDiary(c))
            sv::test::writeHostFile(roots.back()->host("/var/mobile/Library/Sleepvane/Diary.tsv"), weekOfDiary());
        Running run { c, roots.back().get(), start(SV_SPRINGBOARD_HOST, roots.back()->path()), nullptr };
        run.home->write(c.home);
        running.push_back(std::move(run));
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    for (Running& run : running)
        if (!run.c.pane.empty()) {
            run.pane = start(SV_PREFERENCES_HOST, run.root->path());
            run.pane->write(run.c.pane);
        }
    // Long enough for the re-check chain to end (three closes, 4.6 s apart) and a chooser to load.
    std::this_thread::sleep_for(std::chrono::seconds(15));
    for (Running& run : running) {
        run.homeBefore = contextSwitches(run.home->pid());
        run.paneBefore = run.pane ? contextSwitches(run.pane->pid()) : 0;
    }
    std::this_thread::sleep_for(std::chrono::seconds(10));
    std::string table = "\n| after | home screen | Settings |\n|---|---|---|\n";
    for (Running& run : running) {
        long home = contextSwitches(run.home->pid()) - run.homeBefore;
        long pane = run.pane ? contextSwitches(run.pane->pid()) - run.paneBefore : 0;
        table += "| " + run.c.what + " | " + std::to_string(home) + " | " + (run.pane ? std::to_string(pane) : "-") + " |\n";
        EXPECT_EQ(home, 0) << run.c.what << ": the home screen woke";
        EXPECT_EQ(pane, 0) << run.c.what << ": the Settings process woke";
    }
    std::printf("wakeups in 10 s of real time:%s", table.c_str());
    for (Running& run : running) {
        if (run.pane) {
            auto result = run.pane->wait(10);
            EXPECT_FALSE(result.printed("save failed")) << run.c.what << "\n" << result.out;
            if (withDiary(run.c)) {
                EXPECT_TRUE(result.printed("label Suggested")) << run.c.what << "\n" << result.out;
            }
        }
        run.home->wait(10);
    }
}

TEST(IdleMeansAsleep, OnceTheDiaryIsWrittenTheHomeScreenSleeps)
{
    sv::test::DeviceRoot root;
    install(root.path());
    auto home = start(SV_SPRINGBOARD_HOST, root.path());
    home->write(std::string("settings learnFromUse on\n") + kHomeApps
                + "launch com.example.notes\nstate com.example.notes 4\nhome\nstate com.example.notes 2\n");
    // The diary is appended a minute after the first use, by a timer that does not come back.
    std::this_thread::sleep_for(std::chrono::seconds(62));
    EXPECT_NE(sv::test::readHostFile(root.host("/var/mobile/Library/Sleepvane/Diary.tsv")).find("\tClosed\t"),
              std::string::npos);
    long before = contextSwitches(home->pid());
    std::this_thread::sleep_for(std::chrono::seconds(10));
    long woke = contextSwitches(home->pid()) - before;
    std::printf("wakeups in 10 s of real time after the diary's write: %ld\n", woke);
    EXPECT_EQ(woke, 0) << "the home screen woke";
    home->wait(10);
}

} // namespace
