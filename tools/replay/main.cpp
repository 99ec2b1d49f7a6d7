// sleepvane-replay: plays days of phone use (a trace, or seeded synthetic days) under several
// closing policies and thresholds side by side, says what each would have cost, and recommends
// a threshold.
#include "platform/foundation/clock.h"
#include "platform/foundation/files.h"
#include "sleepvane_version.h"
#include "tools/replay/check.h"
#include "tools/replay/options.h"
#include "tools/replay/report.h"
#include "playback/run.h"
#include "playback/trace.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <thread>

namespace {

constexpr const char* kProgram = "sleepvane-replay";

// Progress on standard error, about once a second: the first line half a second in, so that a
// long run shows within its first second that it is at work (a short one says nothing).
class Progress {
public:
    Progress(const char* what, long total)
        : what_(what)
        , total_(total)
        , last_(clock_.now() - std::chrono::milliseconds(500))
    {
    }
    void step(long done)
    {
        auto now = clock_.now();
        if (now - last_ < std::chrono::seconds(1))
            return;
        last_ = now;
        std::fprintf(stderr, "%s: %ld of %ld days %s\n", kProgram, done, total_, what_);
    }

private:
    const char* what_;
    long total_;
    const sv::SteadyClock clock_;
    sv::Clock::Duration last_;
};

int fail(const std::string& line, int status = 2)
{
    std::fprintf(stderr, "%s: %s\n", kProgram, line.c_str());
    return status;
}

// The synthetic days as an LSApp trace, written beside the file and renamed over it.
int writeTrace(const replay::Options& o)
{
    std::string temporary = o.writeTrace + ".partial";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out)
        return fail("cannot write " + o.writeTrace + ": " + std::strerror(errno));
    out << replay::kLsappHeader << '\n';
    replay::Synthetic generator(o.seed, o.habits);
    Progress progress("written", long(o.people) * o.days);
    long session = 1, written = 0;
    constexpr long kFirstDate = 17532; // 2018-01-01, the year the LSApp data set was gathered
    for (int person = 0; person < o.people; ++person)
        for (int day = 0; day < o.days; ++day) {
            replay::writeLsappDay(out, generator.day(person, day), person + 1, kFirstDate + day, session);
            progress.step(++written);
        }
    out.close();
    if (!out || std::rename(temporary.c_str(), o.writeTrace.c_str()) != 0) {
        std::remove(temporary.c_str());
        return fail("cannot write " + o.writeTrace + ": " + std::strerror(errno));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    replay::Options o;
    if (auto problem = replay::parseCommandLine(argc, argv, o)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, problem->text.c_str());
        if (problem->unknownOption)
            std::fputs(replay::kUsage, stderr);
        return 2;
    }
    if (o.help) {
        std::fputs(replay::kUsage, stdout);
        std::fputs(replay::kHelp, stdout);
        return 0;
    }
    if (o.version) {
        std::printf("%s %s\n", kProgram, SLEEPVANE_VERSION);
        return 0;
    }
    // Where the output goes is known before a run that may take long.
    for (const std::string* path : { &o.writeTrace, &o.chart })
        if (!path->empty())
            if (auto why = sv::fs::hostFileUnwritable(*path))
                return fail("cannot write " + *path + ": " + *why);
    if (!o.writeTrace.empty())
        return o.traces.empty() ? writeTrace(o) : fail("--write-trace writes synthetic days and takes no --trace");

    replay::Footprints footprints;
    if (!o.footprints.empty()) {
        struct stat info {};
        std::ifstream in;
        if (::stat(o.footprints.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            in.open(o.footprints);
        if (!in.is_open())
            return fail("cannot read " + o.footprints);
        // A figure the replay cannot use changes every result: nothing is replayed.
        if (footprints.read(in, o.footprints, o.device.totalMB) > 0)
            return 2;
    }

    int status = 0;
    std::unique_ptr<replay::DaySource> source;
    replay::RunParameters parameters;
    parameters.device = o.device;
    parameters.traces = o.traces;
    parameters.people = o.people;
    parameters.days = long(o.people) * o.days;
    parameters.seed = o.seed;
    parameters.habits = o.habits;
    if (o.traces.empty()) {
        source = std::make_unique<replay::SyntheticDays>(replay::Synthetic(o.seed, o.habits), o.people, o.days);
    } else {
        auto traces = std::make_unique<replay::TraceDays>();
        for (const std::string& path : o.traces)
            if (!traces->add(path))
                return 2;
        for (const std::string& path : traces->withoutUsage())
            status = fail("no usage in " + path, 1);
        if (traces->badLines())
            status = 1;
        // A diary's own figures come below the footprints file and the command line's device.
        traces->useDiaries(footprints, !o.deviceGiven);
        parameters.diaryDevices = traces->diaryDevices();
        parameters.diariesOnly = traces->diariesOnly();
        parameters.people = traces->people();
        parameters.days = traces->days();
        source = std::move(traces);
        if (parameters.days == 0)
            return 1;
    }

    replay::Replay replayer(o.device, footprints);
    Progress progress("replayed", parameters.days);
    std::optional<replay::Run> run;
    run.emplace(o.policies, o.thresholds, o.costs, o.holdout);
    long checked = 0, disagreed = 0, checkedCloses = 0;
    // A diary's recorded closes: at each threshold, the days whose closes the policy made alike.
    long diaryDays = 0, recordedCloses = 0;
    std::map<int, long> recordedAlike;
    if (!o.checkLibrary) {
        replay::playAll(*source, replayer, *run, std::thread::hardware_concurrency(),
                        [&](long days) { progress.step(days); });
    } else {
        // One host at a time, beside the days as they are played.
        replay::Player player(replayer, run->policies(), run->played());
        replay::LibraryCheck check(SV_SPRINGBOARD_HOST, SV_SLEEPWRIGHT_LIBRARY);
        long played = 0;
        while (auto days = source->nextPerson()) {
            player.start();
            std::string person;
            long d = 0;
            // The rules, and Learn From Use's rule when it is played (each day learned from nothing,
            // as the host starts); a diary's recorded closes against Learn From Use's.
            bool learning = std::find(o.policies.begin(), o.policies.end(), replay::kLearnFromUsePolicy) != o.policies.end();
            for (replay::Day day; days->next(day); ++d) {
                person = person.empty() ? day.whose() : person;
                run->saw(day);
                player.playDay(day, o.holdout && d >= o.holdout);
                diaryDays += day.diary && learning;
                recordedCloses += day.diary && learning ? static_cast<long>(day.recordedCloses.size()) : 0;
                for (int threshold : o.thresholds)
                    for (const char* policy : { replay::kPartsPolicy, replay::kLearnFromUsePolicy }) {
                        if (std::find(o.policies.begin(), o.policies.end(), policy) == o.policies.end())
                            continue;
                        ++checked;
                        std::vector<replay::Closed> closes;
                        disagreed += !check.check(day, threshold, replayer, o.device, footprints, &checkedCloses,
                                                  policy, &closes);
                        if (day.diary && policy == std::string(replay::kLearnFromUsePolicy))
                            recordedAlike[threshold] += replay::sameAsRecorded(day, closes);
                    }
                progress.step(++played);
            }
            run->add(person, player.sums(), o.holdout ? player.later() : std::vector<replay::Figures>());
        }
    }

    replay::Report report;
    report.parameters = parameters;
    report.rows = run->rows();
    report.recommendations = run->recommendations();
    report.costs = o.costs;
    report.parameters.days = run->days();
    if (parameters.diariesOnly)
        report.rules = replay::kLearnFromUsePolicy;
    if (o.holdout)
        if (const replay::Holdout* holdout = run->holdout(report.rulesPlayed()))
            report.holdout = *holdout;
    if (o.showFootprints)
        replay::printFootprints(o.json ? stderr : stdout, run->apps(), footprints);
    std::vector<std::string> names;
    for (const auto& [id, app] : run->apps())
        names.insert(names.end(), { app.name, app.bundleID });
    for (const std::string& line : footprints.unmatched(names))
        std::fprintf(stderr, "%s\n", line.c_str());
    if (o.json) {
        replay::printJson(stdout, report);
    } else {
        replay::printParameters(stdout, report.parameters);
        replay::printTable(stdout, report);
        replay::printRecommendation(stdout, report);
        replay::printHoldout(stdout, report);
    }
    errno = 0;
    if (!o.chart.empty() && !replay::writeChart(report, o.chart))
        return fail("cannot write " + o.chart + (errno ? std::string(": ") + std::strerror(errno) : ""));
    if (o.checkLibrary) {
        std::fprintf(o.json ? stderr : stdout,
                     "check-library: %ld day replays (days x thresholds x parts and learn-from-use, those played) by the library, %ld closes, %s\n",
                     checked, checkedCloses, disagreed ? (std::to_string(disagreed) + " disagreed").c_str() : "every close agreed");
        if (diaryDays) {
            std::string alike;
            for (const auto& [threshold, count] : recordedAlike)
                if (count == diaryDays)
                    alike += (alike.empty() ? "" : ", ") + std::to_string(threshold);
            std::fprintf(o.json ? stderr : stdout,
                         "check-library: the closes the diary recorded (%ld on %ld %s) are learn-from-use's on every "
                         "day %s\n",
                         recordedCloses, diaryDays, diaryDays == 1 ? "day" : "days",
                         alike.empty() ? "at none of the thresholds played" : ("at " + alike + " MB").c_str());
        }
        if (disagreed)
            status = 3;
    }
    return status;
}
