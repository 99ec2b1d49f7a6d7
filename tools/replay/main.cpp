// sleepvane-replay: plays days of phone use (a trace, or seeded synthetic days) under several
// closing policies and thresholds side by side, and says what each would have cost.
#include "platform/foundation/clock.h"
#include "tools/replay/check.h"
#include "tools/replay/report.h"
#include "tools/replay/synthetic.h"
#include "tools/replay/trace.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr const char* kProgram = "sleepvane-replay";

struct Options {
    std::vector<std::string> traces;
    int days = 7, people = 50;
    unsigned seed = 1;
    replay::DeviceSize device;
    std::string footprints;
    std::vector<int> thresholds = { 50, 100, 150, 200, 250, 300 };
    std::vector<std::string> policies = replay::policyNames();
    bool json = false;
    std::string chart;
    bool checkLibrary = false;
};

int usage(const std::string& problem)
{
    if (!problem.empty())
        std::fprintf(stderr, "%s: %s\n", kProgram, problem.c_str());
    std::fprintf(stderr,
                 "usage: %s [--trace <file>]... [--days N --people P --seed S] [--device total=<MB>,base=<MB>]\n"
                 "       [--footprints <file>] [--thresholds 50,100,...] [--policies parts,largest-first,oracle]\n"
                 "       [--json] [--chart <file.png>] [--check-library]\n",
                 kProgram);
    return 2;
}

template <typename Number>
std::optional<Number> number(std::string_view text)
{
    Number value {};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::vector<std::string_view> split(std::string_view text)
{
    std::vector<std::string_view> parts;
    for (;;) {
        auto comma = text.find(',');
        parts.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos)
            return parts;
        text.remove_prefix(comma + 1);
    }
}

// Answers the problem with the command line, or nothing.
std::optional<std::string> parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= argc)
                return std::nullopt;
            return std::string_view(argv[++i]);
        };
        if (arg == "--json") {
            o.json = true;
        } else if (arg == "--check-library") {
            o.checkLibrary = true;
        } else if (arg == "--trace" || arg == "--footprints" || arg == "--chart") {
            auto v = value();
            if (!v || v->empty())
                return std::string(arg) + " takes a file";
            if (arg == "--trace")
                o.traces.emplace_back(*v);
            else
                (arg == "--footprints" ? o.footprints : o.chart) = *v;
        } else if (arg == "--days" || arg == "--people" || arg == "--seed") {
            auto v = value();
            auto n = v ? number<long>(*v) : std::nullopt;
            if (!n || *n < (arg == "--seed" ? 0 : 1) || *n > 1000000)
                return std::string(arg) + (arg == "--seed" ? " takes a whole number" : " takes a whole number from 1");
            if (arg == "--seed")
                o.seed = static_cast<unsigned>(*n);
            else
                (arg == "--days" ? o.days : o.people) = static_cast<int>(*n);
        } else if (arg == "--device") {
            auto v = value();
            if (!v)
                return "--device takes total=<MB>,base=<MB>";
            for (std::string_view part : split(*v)) {
                auto equals = part.find('=');
                auto mb = equals == std::string_view::npos ? std::nullopt : number<double>(part.substr(equals + 1));
                std::string_view key = part.substr(0, equals);
                if (!mb || *mb < 0 || (key != "total" && key != "base"))
                    return "--device takes total=<MB>,base=<MB>";
                (key == "total" ? o.device.totalMB : o.device.baseMB) = *mb;
            }
        } else if (arg == "--thresholds") {
            auto v = value();
            if (!v)
                return "--thresholds takes a list of megabytes";
            o.thresholds.clear();
            for (std::string_view part : split(*v)) {
                auto t = number<int>(part);
                if (!t || *t < 0)
                    return "--thresholds takes whole megabytes, comma-separated";
                o.thresholds.push_back(*t);
            }
        } else if (arg == "--policies") {
            auto v = value();
            if (!v)
                return "--policies takes a list of policies";
            o.policies.clear();
            for (std::string_view part : split(*v)) {
                if (!replay::makePolicy(std::string(part)))
                    return "unknown policy " + std::string(part);
                o.policies.emplace_back(part);
            }
        } else {
            return "bad argument " + std::string(arg);
        }
    }
    return std::nullopt;
}

// Progress on standard error, about once a second, for long traces.
class Progress {
public:
    Progress(bool on, long total)
        : on_(on)
        , total_(total)
        , last_(clock_.now())
    {
    }
    void step(long done)
    {
        auto now = clock_.now();
        if (!on_ || now - last_ < std::chrono::seconds(1))
            return;
        last_ = now;
        std::fprintf(stderr, "%s: %ld of %ld days replayed\n", kProgram, done, total_);
    }

private:
    bool on_;
    long total_;
    const sv::SteadyClock clock_;
    sv::Clock::Duration last_;
};

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (auto problem = parse(argc, argv, options))
        return usage(*problem);

    replay::Footprints footprints(options.seed);
    int bad = 0;
    if (!options.footprints.empty()) {
        struct stat info {};
        std::ifstream in;
        if (::stat(options.footprints.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            in.open(options.footprints);
        if (!in.is_open()) {
            std::fprintf(stderr, "%s: cannot read %s\n", kProgram, options.footprints.c_str());
            return 2;
        }
        bad += footprints.read(in, options.footprints);
    }

    replay::Trace trace;
    for (const std::string& path : options.traces)
        if (!replay::readTraceFile(path, trace))
            return 2;
    bad += trace.badLines;
    if (options.traces.empty())
        trace.days = replay::Synthetic(options.seed).days(options.people, options.days);

    replay::Replay replayer(options.device, footprints);
    std::vector<replay::Figures> rows;
    for (const std::string& name : options.policies)
        for (int threshold : options.thresholds) {
            replay::Figures sum;
            sum.policy = name;
            sum.threshold = threshold;
            rows.push_back(sum);
        }
    Progress progress(trace.lines > 5000, static_cast<long>(trace.days.size()));
    std::vector<std::unique_ptr<replay::Policy>> policies;
    for (const std::string& name : options.policies)
        policies.push_back(replay::makePolicy(name));
    for (std::size_t d = 0; d < trace.days.size(); ++d) {
        std::size_t row = 0;
        for (auto& policy : policies)
            for (int threshold : options.thresholds)
                rows[row++].add(replayer.play(trace.days[d], *policy, threshold));
        progress.step(static_cast<long>(d + 1));
    }

    if (options.json)
        replay::printJson(stdout, rows);
    else
        replay::printTable(stdout, rows);
    if (!options.chart.empty() && !replay::writeChart(rows, static_cast<long>(trace.days.size()), options.chart)) {
        std::fprintf(stderr, "%s: cannot write %s\n", kProgram, options.chart.c_str());
        return 2;
    }

    int status = bad ? 1 : 0;
    if (options.checkLibrary) {
        replay::LibraryCheck check(SV_SPRINGBOARD_HOST, SV_SLEEPWRIGHT_LIBRARY);
        long played = 0, disagreed = 0, closes = 0;
        for (const replay::Day& day : trace.days)
            for (int threshold : options.thresholds) {
                ++played;
                disagreed += !check.check(day, threshold, replayer, options.device, footprints, &closes);
            }
        std::fprintf(options.json ? stderr : stdout, "check-library: %ld day replays (days x thresholds) played by the library, %ld closes, %s\n",
                     played, closes, disagreed ? (std::to_string(disagreed) + " disagreed").c_str() : "every close agreed");
        if (disagreed)
            status = 3;
    }
    return status;
}
