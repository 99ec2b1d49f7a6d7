#include "tools/replay/options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace replay {

const char* const kUsage
    = "usage: sleepvane-replay [--trace <file>]... [--days N] [--people P] [--seed S]\n"
      "                        [--habits returns,successions,dayparts,bursts,shifts|all|none]\n"
      "                        [--device total=<MB>,base=<MB>,floor=<MB>] [--footprints <file>] [--show-footprints]\n"
      "                        [--thresholds 50,100,...] [--policies parts,largest-first,oracle,learn-from-use[:<knobs>]]\n"
      "                        [--costs restart=<s>,low-launch=<s>,front-kill=<s>] [--holdout N]\n"
      "                        [--json] [--chart <file.png>] [--check-library] [--write-trace <file.tsv>]\n"
      "       sleepvane-replay --help | --version\n";

const char* const kHelp = R"(
Replays days of phone use under several closing policies and thresholds side by side and says
what each would have cost, then recommends a threshold.

Days
  --trace <file>       a trace (repeatable): the tab-separated LSApp format (a header line
                       starting user_id, or a name ending in .tsv; each person's days in turn,
                       cut at midnight), or a home-screen scenario (one day a file), or the
                       library's diary of use (Diary.tsv, its own header line): one person,
                       applications by their identifiers, with its calls and the library's own
                       closes, played on the device its free-memory figures show (unless
                       --device is given), under the rules of Learn From Use
  --days N, --people P synthetic days when no trace is given: P people, N days each (7 and 50);
                       --days 1 to 100000, --people 1 to 100000, at most 1000000 days in all
                       (made and replayed a day at a time, so a long run takes time, not memory)
  --seed S             the synthetic days' seed (1); a trace run does not depend on it
  --habits <list>      habits of the synthetic days, comma-separated, or all (the default) or
                       none: returns (back to the application before the previous one),
                       successions (B usually follows A), dayparts (favourites change with the
                       time of day), bursts (one application reopened every few minutes),
                       shifts (another set of favourites by time of day, a newcomer mid-week)
  --write-trace <file> writes the synthetic days as an LSApp-format trace instead of replaying
                       them (replay it with --trace)

Device
  --device total=<MB>,base=<MB>,floor=<MB>
                       memory, what the system itself uses, and the floor under which the
                       system's own low-memory killer acts (3072, 1024, and 5 % of total: the
                       critical level of the phone kernel's memory-status killer). 3 GB is a
                       phone of the years the footprints and the LSApp data set come from, a
                       third of it the system's; on 1 GB today's applications do not fit. When a
                       launch takes free memory below the floor, the system closes the largest
                       backgrounded application in the lowest band (every backgrounded one but
                       the one left last, then that one), and, with none left, the one in front.
                       Each figure lies from 0 to 65536 (64 GB: more than any phone has).
  --footprints <file>  "name MB" lines: what each application holds while it runs (otherwise
                       what a diary's free memory says: the median of its falls at the launches
                       that start the application and its rises at the library's closes of it,
                       from 3 of them at least; then a small table of well-known applications;
                       then a figure drawn from the name); a name given twice is refused, and
                       each that matches no application of the run is said on standard error
  --show-footprints    prints what each application was taken to hold, and where from (on
                       standard error with --json)

Policies (--policies, comma-separated; all four by default)
  parts                the library's own rules as it closes today: when an application leaves
                       the foreground with free memory at or below the threshold, one second
                       later the oldest application that left and has not come back is closed
                       (the one just left when it is the only one), then one more every 4.6 s
                       while memory stays low; never the home screen, the telephone, or an
                       application doing background work
  largest-first        about the same timing, closing the largest backgrounded application
  oracle               the rules' own timing, choosing which application goes with the rest of
                       the day known: the one used again latest, or the lowest restart cost per
                       MB freed (a return within 60 s costs 100, within 10 minutes 10, later 1),
                       the better each day and never worse than parts; a bound to measure
                       policies against, not a policy
  learn-from-use       the rules with Learn From Use on, learning each person's days in turn:
                       the two applications left last are kept while another may go; of the
                       others, the one least used (uses halving over 400 uses) and least
                       likely to follow the application last in front goes;
                       learn-from-use:<knob>=<value>:... tries other predictors (half=<uses>,
                       extra=<n>, follow=<weight>, window=<uses>, recency, keep=<suspects>,
                       size=<power>: weighed by the memory a close frees)

Thresholds
  --thresholds <list>  free memory in whole MB (0 to 1000), comma-separated (50,100,...,300);
                       the pane's slider sets 30 to 300, and a threshold beyond it (marked *)
                       is played as the rules would compare, which no setting of the phone gives

Output
  a table (its columns are the figures below under shorter names) with the run's parameters
  above it and the recommendation below it; or --json: a list of one object a policy and
  threshold holding every figure below, the counts behind each per-100 figure (_count), the
  share of the gap between parts and the oracle a policy closes (share_of_gap_60s, _10min) and
  the policy's recommendation (recommended_threshold, recommended, people, own_best_*,
  people_near, beyond_threshold, beyond_saves_per_day); with --holdout an object of the rows
  and "holdout"
  --chart <file.png>   the cost a day, restarts and minutes low a day against the threshold
                       (spaced by MB), a line a policy, the recommended threshold marked
  --costs restart=<s>,low-launch=<s>,front-kill=<s>
                       what each event costs, in seconds spent waiting (3, 0.25 and 30)
  --holdout N          each person's advice drawn from their first N days, scored on the rest
                       against 175 MB and against the best slider value in hindsight
  --check-library      also plays each day at each threshold in the real home-screen host with
                       the library, without the system's killer (the host has none), and
                       compares every close with parts' and, with the switch on and each day
                       learned from nothing, learn-from-use's; exit status 3 when one differs.
                       For a diary it also says at which thresholds the closes the diary
                       recorded are learn-from-use's

Figures, per policy and threshold, summed over the days
  switches             an application left the foreground: each a decision of the rules
  launches, cold       an application came to the foreground; cold: it had to start anew
  closes               applications the policy closed
  restarts_60s, restarts_10min
                       applications opened again within 60 s or 10 minutes after the policy
                       closed them or the system killed them, per 100 switches: the restarts
                       a person feels, whoever caused them (the 10-minute figure holds the 60 s
                       one); the table's first cost columns
  regretted_60s, regretted_10min
                       the policy's closes whose application was opened again within 60 s (a
                       regretted close) or 10 minutes (a restart after its close), per 100
                       switches (the 10-minute figure holds the 60 s one)
  system_kills         applications the system's own killer closed (the one in front too)
  foreground_kills     ... of them, the application in front, closed in the user's face
  system_reopened_10min
                       system kills opened again within 10 minutes, per 100 switches
  minutes_under_threshold
                       minutes with free memory at or below the threshold
  minutes_low          minutes with free memory under the floor plus 100 MB: the same line for
                       every threshold, so that thresholds compare
  lowest_free          the lowest free memory once the system had acted (MB)
  days_without_system_kill
                       days on which the system's killer closed nothing
  low_launches_count   launches that waited for the system to free memory: they found free
                       memory under the floor plus 100 MB, or made the system's killer act
  cost_per_day         seconds a day spent waiting: restarts within 10 minutes, low launches
                       and kills of the application in front, each at its cost (--costs)

Recommended threshold: the value the pane's slider can be set to (30 to 300 MB in steps of 5,
all played beside the rows) at which the days cost least, the lower of equal costs; said with
what it costs, how spread the people's own best values are, and, when a threshold beyond the
slider was played and costs less, by how much. It is given for parts, or, when every trace is a
diary, for learn-from-use (the rules a diary is kept under).

Days are replayed on every core, each person's days together; the figures do not depend on it.

A diary line whose free memory lies outside 0 to 65536 MB is a bad line; a diary with no free
memory above 0 is played on the run's device, and says so.

Exit status: 0; 1 when lines of a trace were bad (each reported, the figures still come) or a
trace holds no usage; 2 for a bad command line (an option of one value given twice among them),
a bad line in the footprints file, a file that cannot be read, or an output (--chart,
--write-trace) that cannot be written, checked before the run; 3 when --check-library found a
difference.
)";

namespace {

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

    std::string mb(double value)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%g MB", value);
        return text;
    }

    std::optional<std::string> device(std::string_view text, DeviceSize& device)
    {
        for (std::string_view part : split(text)) {
            auto equals = part.find('=');
            std::string_view key = part.substr(0, equals);
            if (key != "total" && key != "base" && key != "floor")
                return "--device takes total=<MB>,base=<MB>,floor=<MB> (not '" + std::string(part) + "')";
            double value = -1;
            if (equals != std::string_view::npos)
                value = number<double>(part.substr(equals + 1)).value_or(-1);
            if (!std::isfinite(value) || value < 0 || value > kPhoneMaximumMB) {
                char range[96];
                std::snprintf(range, sizeof range, "megabytes from 0 to %.0f (64 GB, more than any phone has)",
                              kPhoneMaximumMB);
                return "--device " + std::string(key) + "= takes " + range;
            }
            if (key == "floor")
                device.floorMB = value;
            else
                (key == "total" ? device.totalMB : device.baseMB) = value;
        }
        if (device.baseMB >= device.totalMB)
            return "--device: base (" + mb(device.baseMB) + ") must be below total (" + mb(device.totalMB) + ")";
        if (device.floorFor(device.totalMB) >= device.totalMB - device.baseMB)
            return "--device: the floor (" + mb(device.floorFor(device.totalMB))
                + ") must be below what the system leaves to applications (total less base, "
                + mb(device.totalMB - device.baseMB) + ")";
        return std::nullopt;
    }

} // namespace

std::optional<CommandLineProblem> parseCommandLine(int argc, char** argv, Options& o)
{
    auto problem = [](std::string text) { return CommandLineProblem { std::move(text), false }; };
    std::vector<std::string_view> given;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::optional<std::string_view> v;
        static const std::string_view takesValue[] = { "--trace", "--footprints", "--chart", "--write-trace", "--days",
                                                       "--people", "--seed", "--device", "--thresholds",
                                                       "--policies", "--habits", "--costs", "--holdout" };
        if (std::find(std::begin(takesValue), std::end(takesValue), arg) != std::end(takesValue)) {
            if (i + 1 >= argc)
                return problem(std::string(arg) + " takes a value (see --help)");
            v = argv[++i];
            // Of two values, the one meant is anyone's guess: only --trace adds up.
            if (arg != "--trace" && std::find(given.begin(), given.end(), arg) != given.end())
                return problem(std::string(arg) + " is given twice (it takes one value)");
            given.push_back(arg);
        }
        if (arg == "--help") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--check-library") {
            o.checkLibrary = true;
        } else if (arg == "--show-footprints") {
            o.showFootprints = true;
        } else if (arg == "--trace" || arg == "--footprints" || arg == "--chart" || arg == "--write-trace") {
            if (v->empty())
                return problem(std::string(arg) + " takes a file");
            if (arg == "--trace")
                o.traces.emplace_back(*v);
            else
                (arg == "--footprints" ? o.footprints : arg == "--chart" ? o.chart : o.writeTrace) = *v;
        } else if (arg == "--days" || arg == "--people") {
            auto n = number<long>(*v);
            long most = arg == "--days" ? kMostDays : kMostPeople;
            if (!n || *n < 1 || *n > most)
                return problem(std::string(arg) + " takes a whole number from 1 to " + std::to_string(most));
            (arg == "--days" ? o.days : o.people) = static_cast<int>(*n);
        } else if (arg == "--seed") {
            auto n = number<unsigned long>(*v);
            if (!n || *n > 4294967295ul)
                return problem("--seed takes a whole number from 0 to 4294967295");
            o.seed = static_cast<unsigned>(*n);
        } else if (arg == "--device") {
            if (auto why = device(*v, o.device))
                return problem(*why);
            o.deviceGiven = true;
        } else if (arg == "--thresholds") {
            o.thresholds.clear();
            for (std::string_view part : split(*v)) {
                auto t = number<int>(part);
                if (!t || *t < 0 || *t > kMostThresholdMB)
                    return problem("--thresholds takes whole megabytes from 0 to " + std::to_string(kMostThresholdMB)
                                   + ", comma-separated (not '"
                                   + std::string(part) + "')");
                if (std::find(o.thresholds.begin(), o.thresholds.end(), *t) == o.thresholds.end())
                    o.thresholds.push_back(*t);
            }
        } else if (arg == "--policies") {
            o.policies.clear();
            for (std::string_view part : split(*v)) {
                std::string why;
                if (!makePolicy(std::string(part), &why))
                    return problem("--policies: " + why);
                o.policies.emplace_back(part);
            }
        } else if (arg == "--costs") {
            if (auto why = parseCosts(*v, o.costs))
                return problem(*why);
        } else if (arg == "--holdout") {
            auto n = number<long>(*v);
            if (!n || *n < 1 || *n > 1000000)
                return problem("--holdout takes a whole number of days from 1 to 1000000");
            o.holdout = *n;
        } else if (arg == "--habits") {
            std::string why;
            auto habits = Habits::parse(*v, &why);
            if (!habits)
                return problem(why);
            o.habits = *habits;
        } else {
            return CommandLineProblem { "unknown option " + std::string(arg), true };
        }
    }
    if (long(o.people) * o.days > kMostSyntheticDays)
        return problem("--people " + std::to_string(o.people) + " x --days " + std::to_string(o.days) + " is over "
                       + std::to_string(kMostSyntheticDays) + " days in all");
    return std::nullopt;
}

} // namespace replay
