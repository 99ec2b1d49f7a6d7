#include "tests/referee/referee.h"

#include "model/scenario.h"
#include "platform/foundation/clock.h"
#include "tests/referee/environment.h"
#include "tests/support/device_root.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace referee {
namespace {

    bool heldToTheModel(const std::string& line)
    {
        for (const char* event : { "] closed ", "] posted norv.swr.", "] suspects", "] history", "] diary" })
            if (line.find(event) != std::string::npos)
                return true;
        return false;
    }

    std::string join(const Lines& lines, std::size_t from, std::size_t to)
    {
        std::string text;
        for (std::size_t i = from; i < std::min(to, lines.size()); ++i)
            text += "    " + lines[i] + "\n";
        return text;
    }

    // In memory where the machine has such a folder: the library syncs its files at every close,
    // which on a disk costs a long day seconds and tells the referee nothing.
    struct TempRoot {
        std::filesystem::path path;
        TempRoot()
        {
            for (std::filesystem::path folder : { std::filesystem::path("/dev/shm"), std::filesystem::temp_directory_path() }) {
                std::string pattern = (folder / "svreferee.XXXXXX").string();
                if (::mkdtemp(pattern.data())) {
                    path = pattern;
                    return;
                }
            }
        }
        ~TempRoot()
        {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };

    // The same kind of disagreement as the whole day's: in the lines compared, or else on
    // standard error.
    bool disagree(const std::string& scenario, bool inLines)
    {
        HostRun host = playOnHost(scenario);
        if (inLines)
            return host.lines != playOnModel(scenario);
        return !host.err.empty() || host.status != 0;
    }

    // Drops runs of lines while the two still disagree, halving the run each round.
    std::string shorten(const std::string& scenario, bool inLines, int maxTries)
    {
        Lines lines = sv::test::splitLines(scenario);
        auto text = [](const Lines& kept) {
            std::string joined;
            for (const std::string& line : kept)
                joined += line + "\n";
            return joined;
        };
        for (std::size_t chunk = std::max<std::size_t>(1, lines.size() / 2); maxTries > 0; chunk = std::max<std::size_t>(1, chunk / 2)) {
            bool dropped = false;
            for (std::size_t at = 0; at < lines.size() && maxTries > 0;) {
                Lines fewer = lines;
                fewer.erase(fewer.begin() + at, fewer.begin() + std::min(lines.size(), at + chunk));
                --maxTries;
                if (disagree(text(fewer), inLines)) {
                    lines = std::move(fewer);
                    dropped = true;
                } else {
                    at += chunk;
                }
            }
            if (chunk == 1 && !dropped)
                break;
        }
        return text(lines);
    }

} // namespace

HostRun playOnHost(const std::string& scenario)
{
    TempRoot root;
    sv::test::installLibrary(root.path.string());
    auto result = sv::test::runProcess({ sv::test::buildPath("hosts/springboard/springboard-host"), "--root",
                                         root.path.string(), "--virtual-clock", "--memory-events" },
                                       scenario, 120);
    HostRun run { {}, result.out, result.err, result.status };
    for (const std::string& line : sv::test::splitLines(result.out))
        if (heldToTheModel(line))
            run.lines.push_back(line);
    return run;
}

Lines playOnModel(const std::string& scenario, const model::Usage& learned)
{
    // Dated as the host's virtual clock dates: the diary's moments are wall time.
    double origin = std::chrono::duration<double>(sv::ManualClock::kWallOrigin.time_since_epoch()).count();
    return model::playScenario(scenario, origin, learned).lines;
}

Verdict judge(const std::string& scenario, int maxTries)
{
    HostRun host = playOnHost(scenario);
    Lines expected = playOnModel(scenario);
    Verdict verdict;
    if (host.lines == expected && host.err.empty() && host.status == 0)
        return verdict;
    verdict.agree = false;
    std::size_t at = 0;
    while (at < host.lines.size() && at < expected.size() && host.lines[at] == expected[at])
        ++at;
    std::size_t from = at >= 3 ? at - 3 : 0;
    verdict.report = "the host and the model part at line " + std::to_string(at + 1) + " of what is compared\n  host:\n"
        + join(host.lines, from, at + 4) + "  model:\n" + join(expected, from, at + 4);
    if (!host.err.empty() || host.status != 0)
        verdict.report += "  host status " + std::to_string(host.status) + ", standard error:\n" + host.err;
    verdict.shortened = maxTries > 0 ? shorten(scenario, host.lines != expected, maxTries) : scenario;
    return verdict;
}

std::string failureFolder()
{
    std::filesystem::path folder = sv::test::buildPath("tests/referee-failures");
    std::filesystem::create_directories(folder);
    return folder.string();
}

std::string scenarioCommand(const std::string& path)
{
    return testCommand("SLEEPVANE_REFEREE_SCENARIO=" + shellWord(std::filesystem::absolute(path).string()),
                       "tests/referee_tests/referee_tests", "RefereeScenarios.ChosenScenario");
}

} // namespace referee
