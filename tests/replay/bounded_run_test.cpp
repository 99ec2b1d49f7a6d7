// A run of synthetic days holds a day at a time: its memory does not grow with --days, it says
// from its first second that it is at work, and it refuses a run beyond the limits its help states.
#include "tests/replay/days.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace replay {
namespace {

    struct Peak {
        long kilobytes = 0; // the most resident memory the tool held
        int status = -1;
    };

    // The built tool with the arguments, its output thrown away, and the most memory it held (as
    // the kernel counted it for that one process, whatever else the machine runs).
    Peak peakOf(std::vector<std::string> args)
    {
        args.insert(args.begin(), sv::test::buildPath("tools/replay/sleepvane-replay"));
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        Peak peak;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            struct rusage usage {};
            if (::wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status)) {
                peak.status = WEXITSTATUS(status);
                peak.kilobytes = usage.ru_maxrss;
            }
        }
        posix_spawn_file_actions_destroy(&actions);
        return peak;
    }

    // One person's days held whole took some 25 kB a day: 3 000 days peaked at 85 MB, 30 at 11 MB.
    TEST(BoundedRun, PeakMemoryDoesNotGrowWithTheDays)
    {
#ifdef __SANITIZE_ADDRESS__
        GTEST_SKIP() << "the address sanitizer keeps freed memory in quarantine: the peak grows with the work";
#endif
        std::vector<std::string> args = { "--people", "1", "--thresholds", "100", "--policies", "parts,learn-from-use",
                                          "--days" };
        auto peak = [&](const char* days) {
            std::vector<std::string> all = args;
            all.push_back(days);
            return peakOf(all);
        };
        // 1 000 days held whole would have taken some 25 MB more than 30 days.
        Peak few = peak("30"), many = peak("1000");
        ASSERT_EQ(few.status, 0);
        ASSERT_EQ(many.status, 0);
        EXPECT_LT(many.kilobytes, few.kilobytes + 8 * 1024)
            << "30 days: " << few.kilobytes << " kB at most, 1000 days: " << many.kilobytes << " kB";
    }

    TEST(BoundedRun, ALongRunSaysFromItsFirstSecondHowFarItIs)
    {
        // A run of minutes, watched for its first seconds only (then ended), so that the test
        // takes as long in a sanitizer build as in a fast one.
        auto run = replayTool({ "--people", "1", "--days", "2500", "--thresholds", "100", "--policies",
                                "parts,learn-from-use", "--json" },
                              10);
        auto first = run.err.find("sleepvane-replay: ");
        ASSERT_NE(first, std::string::npos) << "a run of seconds shows progress: " << run.err;
        // Half a second in, not once the one person's days are all done.
        long done = std::stol(run.err.substr(first + 18));
        EXPECT_LT(done, 2500) << run.err;
        EXPECT_NE(run.err.find(" of 2500 days replayed\n"), std::string::npos) << run.err;
    }

    TEST(BoundedRun, TheLimitsTheHelpStatesAreHeld)
    {
        auto help = replayTool({ "--help" });
        EXPECT_NE(help.out.find("--days 1 to 100000"), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("--people 1 to 100000"), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("1000000 days in all"), std::string::npos) << help.out;
        const std::vector<std::vector<std::string>> beyond = {
            { "--days", "0" },
            { "--days", "100001" },
            { "--people", "100001" },
            { "--people", "1000", "--days", "1001" },
            { "--people", "1000", "--days", "1001", "--write-trace", "/tmp/never-written.tsv" },
        };
        for (const auto& args : beyond) {
            auto run = replayTool(args, 20);
            EXPECT_EQ(run.status, 2) << args[1];
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
            EXPECT_EQ(run.out, "");
        }
    }

} // namespace
} // namespace replay
