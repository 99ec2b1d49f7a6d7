#include "tools/replay/trace.h"

#include "hosts/common/scenario.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sys/stat.h>

namespace replay {
namespace {

    void report(const std::string& source, long line, const std::string& why)
    {
        std::fprintf(stderr, "%s: line %ld: %s\n", source.c_str(), line, why.c_str());
    }

    // Days since 1970-01-01 of a civil date (Howard Hinnant's algorithm).
    long daysFromCivil(long y, unsigned m, unsigned d)
    {
        y -= m <= 2;
        long era = (y >= 0 ? y : y - 399) / 400;
        unsigned yoe = static_cast<unsigned>(y - era * 400);
        unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + static_cast<long>(doe) - 719468;
    }

    bool digits(std::string_view text, std::size_t at, std::size_t count, int& value)
    {
        if (at + count > text.size())
            return false;
        auto [end, error] = std::from_chars(text.data() + at, text.data() + at + count, value);
        return error == std::errc() && end == text.data() + at + count;
    }

    // "YYYY-MM-DD HH:MM:SS" as a day number and seconds into it.
    bool parseTimestamp(std::string_view text, long& day, int& seconds)
    {
        int y, mo, d, h, mi, s;
        if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':'
            || text[16] != ':' || !digits(text, 0, 4, y) || !digits(text, 5, 2, mo) || !digits(text, 8, 2, d)
            || !digits(text, 11, 2, h) || !digits(text, 14, 2, mi) || !digits(text, 17, 2, s))
            return false;
        static const int lengths[] = { 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
        if (mo < 1 || mo > 12 || d < 1 || d > lengths[mo - 1] || h > 23 || mi > 59 || s > 60)
            return false;
        day = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
        seconds = h * 3600 + mi * 60 + s;
        return true;
    }

    std::string civil(long days)
    {
        days += 719468;
        long era = (days >= 0 ? days : days - 146096) / 146097;
        unsigned doe = static_cast<unsigned>(days - era * 146097);
        unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        long y = static_cast<long>(yoe) + era * 400;
        unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        unsigned mp = (5 * doy + 2) / 153;
        unsigned d = doy - (153 * mp + 2) / 5 + 1;
        unsigned m = mp + (mp < 10 ? 3 : -9);
        char text[32];
        std::snprintf(text, sizeof text, "%04ld-%02u-%02u", y + (m <= 2), m, d);
        return text;
    }

    enum class Kind { Opened, Closed, Interaction, Broken };

    struct Row {
        long day;
        int seconds;
        std::string session;
        std::string app;
        Kind kind;
    };

    bool wholeNumber(std::string_view text)
    {
        return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    }

} // namespace

Trace readLsapp(std::istream& in, const std::string& source)
{
    Trace trace;
    // Rows by person, in the order read (ordered by time below).
    std::map<std::string, std::vector<Row>> people;
    std::vector<std::string> order;
    std::string line;
    static const std::map<std::string, Kind, std::less<>> kinds = {
        { "Opened", Kind::Opened }, { "Closed", Kind::Closed },
        { "User Interaction", Kind::Interaction }, { "Broken", Kind::Broken }
    };
    while (std::getline(in, line)) {
        ++trace.lines;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (trace.lines == 1 && line.rfind("user_id", 0) == 0)
            continue;
        if (line.empty())
            continue;
        std::vector<std::string_view> fields;
        std::string_view rest = line;
        for (;;) {
            auto tab = rest.find('\t');
            fields.push_back(rest.substr(0, tab));
            if (tab == std::string_view::npos)
                break;
            rest.remove_prefix(tab + 1);
        }
        // Fields after the fifth are additions of an extended trace (the library's diary): passed
        // over, and so are the event types of its own on such a row.
        bool extended = fields.size() > 5;
        if (fields.size() < 5) {
            report(source, trace.lines, "expected 5 tab-separated fields (user_id, session_id, timestamp, app_name, event_type), found " + std::to_string(fields.size()));
            ++trace.badLines;
            continue;
        }
        Row row;
        auto kind = kinds.find(fields[4]);
        std::string why;
        if (!wholeNumber(fields[0]))
            why = "user_id is not a whole number";
        else if (!wholeNumber(fields[1]))
            why = "session_id is not a whole number";
        else if (!parseTimestamp(fields[2], row.day, row.seconds))
            why = "timestamp is not YYYY-MM-DD HH:MM:SS";
        else if (fields[3].empty())
            why = "app_name is empty";
        else if (kind == kinds.end() && extended)
            continue;
        else if (kind == kinds.end())
            why = "event_type is not Opened, Closed, User Interaction or Broken";
        if (!why.empty()) {
            report(source, trace.lines, why);
            ++trace.badLines;
            continue;
        }
        row.session = fields[1];
        row.app = fields[3];
        row.kind = kind->second;
        std::string person(fields[0]);
        auto [found, added] = people.try_emplace(person);
        if (added)
            order.push_back(person);
        found->second.push_back(std::move(row));
    }

    for (const std::string& person : order) {
        std::vector<Row>& rows = people[person];
        std::stable_sort(rows.begin(), rows.end(),
                         [](const Row& a, const Row& b) { return a.day != b.day ? a.day < b.day : a.seconds < b.seconds; });
        std::size_t i = 0;
        while (i < rows.size()) {
            Day day;
            long date = rows[i].day;
            day.person = "person " + person;
            day.label = day.person + ", " + civil(date);
            DayBuilder build(day);
            std::string session = rows[i].session;
            double last = rows[i].seconds;
            for (; i < rows.size() && rows[i].day == date; ++i) {
                const Row& row = rows[i];
                if (row.session != session) {
                    // A session's end: the phone went back to the home screen.
                    build.home(last);
                    session = row.session;
                }
                last = row.seconds;
                if (row.kind == Kind::Broken)
                    continue;
                AppId app = day.app(row.app, bundleIDFor(row.app));
                if (row.kind == Kind::Opened || row.kind == Kind::Interaction)
                    build.open(row.seconds, app);
                else if (build.foreground() == app)
                    build.home(row.seconds);
            }
            build.home(last);
            if (!day.events.empty())
                trace.days.push_back(std::move(day));
        }
    }
    return trace;
}

Trace readScenario(std::istream& in, const std::string& source)
{
    Trace trace;
    Day day;
    day.label = source;
    double now = 0;
    std::string line;
    static const std::set<std::string, std::less<>> appFlags = {
        "audio", "location", "voip", "no-tasks", "playing", "recording", "sockets", "watchdog", "no-process",
        "no-id", "noimage"
    };
    static const std::set<std::string, std::less<>> ignored = { "show", "post", "icon", "icons", "free" };
    auto event = [&](Event::Kind kind, AppId app) {
        Event e;
        e.kind = kind;
        e.time = now;
        e.app = app;
        day.events.push_back(e);
        return &day.events.back();
    };
    while (std::getline(in, line)) {
        ++trace.lines;
        auto words = sv::host::splitWords(line.substr(0, line.find('#')));
        auto bad = [&](const std::string& why) {
            report(source, trace.lines, why);
            ++trace.badLines;
        };
        if (!words) {
            bad("a quote is left open");
            continue;
        }
        if (words->empty())
            continue;
        const auto& w = *words;
        const std::string& command = w[0];
        if (command == "quit")
            break;
        if (ignored.count(command))
            continue;
        if (command == "wait") {
            auto seconds = w.size() == 2 ? sv::host::parseNumber(w[1]) : std::nullopt;
            if (!seconds || *seconds < 0)
                bad("wait takes a number of seconds (0 or more)");
            else
                now += *seconds;
        } else if (command == "app") {
            if (w.size() < 3 || w[1].empty()) {
                bad("app takes <bundle-id> \"<name>\" [mem=<MB>] [flags]");
                continue;
            }
            auto options = sv::host::parseOptions(w, 3);
            std::optional<double> memory;
            std::string why;
            for (const auto& [key, value] : options.values) {
                auto mb = key == "mem" ? sv::host::parseNumber(value) : std::nullopt;
                if (key != "mem")
                    why = "unknown option " + key + "=";
                else if (!mb || *mb < 0)
                    why = "mem= takes megabytes (0 or more)";
                else
                    memory = mb;
            }
            for (const auto& flag : options.flags)
                if (!appFlags.count(flag))
                    why = "unknown flag " + flag;
            if (!why.empty()) {
                bad(why);
                continue;
            }
            AppId app = day.app(w[2], w[1]);
            day.apps[app].name = w[2];
            if (memory)
                day.apps[app].memoryMB = memory;
            day.apps[app].flags = options.flags;
        } else if (command == "launch") {
            if (w.size() != 2 || w[1].empty())
                bad("launch takes one bundle identifier");
            else
                event(Event::Kind::Launch, day.app(w[1], w[1]));
        } else if (command == "home") {
            if (w.size() != 1)
                bad("home takes nothing");
            else
                event(Event::Kind::Home, kNoApp);
        } else if (command == "state") {
            int state = 0;
            auto [end, error] = w.size() == 3 ? std::from_chars(w[2].data(), w[2].data() + w[2].size(), state)
                                              : std::from_chars_result { nullptr, std::errc::invalid_argument };
            if (w.size() != 3 || error != std::errc() || end != w[2].data() + w[2].size())
                bad("state takes <bundle-id> <n>");
            else
                event(Event::Kind::State, day.app(w[1], w[1]))->state = state;
        } else if (command == "call") {
            static const std::map<std::string, Call, std::less<>> calls = {
                { "none", Call::None }, { "active", Call::Active }, { "incoming", Call::Incoming }, { "outgoing", Call::Outgoing }
            };
            auto found = w.size() == 2 ? calls.find(w[1]) : calls.end();
            if (found == calls.end())
                bad("call takes active, incoming, outgoing or none");
            else
                event(Event::Kind::Call, kNoApp)->call = found->second;
        } else if (command == "memory") {
            auto options = sv::host::parseOptions(w, 1);
            std::string why = options.flags.empty() && !options.values.empty() ? "" : "memory takes total=<MB> and/or base=<MB>";
            std::optional<double> total, base;
            for (const auto& [key, value] : options.values) {
                auto mb = sv::host::parseNumber(value);
                if (key != "total" && key != "base")
                    why = "unknown option " + key + "=";
                else if (!mb || *mb < 0)
                    why = key + "= takes megabytes (0 or more)";
                else
                    (key == "total" ? total : base) = mb;
            }
            if (!why.empty()) {
                bad(why);
                continue;
            }
            if (total)
                day.totalMB = total;
            if (base)
                day.baseMB = base;
        } else if (command == "settings") {
            const std::string what = w.size() >= 2 ? w[1] : "";
            // Before the day's first event the lists are the day's own; after it, a change at its moment.
            auto change = [&](auto apply) {
                if (day.events.empty()) {
                    Lists lists { day.never, day.always, day.alwaysKill };
                    apply(lists);
                    day.never = lists.never;
                    day.always = lists.always;
                    day.alwaysKill = lists.alwaysKill;
                    return;
                }
                Lists lists = day.listChanges.empty() ? Lists { day.never, day.always, day.alwaysKill } : day.listChanges.back();
                apply(lists);
                day.listChanges.push_back(std::move(lists));
                event(Event::Kind::Lists, kNoApp)->lists = static_cast<int>(day.listChanges.size() - 1);
            };
            if (what == "never" || what == "always") {
                change([&](Lists& lists) { (what == "never" ? lists.never : lists.always).assign(w.begin() + 2, w.end()); });
            } else if (what == "alwaysKill") {
                if (w.size() != 3 || (w[2] != "on" && w[2] != "off"))
                    bad("settings alwaysKill takes on or off");
                else
                    change([&](Lists& lists) { lists.alwaysKill = w[2] == "on"; });
            } else if (what == "ramValue") {
                // The thresholds come from the command line.
                auto value = w.size() == 3 ? sv::host::parseNumber(w[2]) : std::nullopt;
                if (!value || *value != std::trunc(*value))
                    bad("settings ramValue takes a whole number");
            } else if (what == "learnFromUse") {
                // The policy chosen decides: learn-from-use has it on, the others off.
                if (w.size() != 3 || (w[2] != "on" && w[2] != "off"))
                    bad("settings learnFromUse takes on or off");
            } else {
                bad("settings takes never, always, ramValue, alwaysKill or learnFromUse");
            }
        } else {
            bad("unknown command " + command);
        }
    }
    trace.days.push_back(std::move(day));
    return trace;
}

bool readTraceFile(const std::string& path, Trace& into)
{
    struct stat info {};
    std::ifstream in;
    if (::stat(path.c_str(), &info) != 0) {
        std::fprintf(stderr, "sleepvane-replay: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        std::fprintf(stderr, "sleepvane-replay: cannot read %s: not a regular file\n", path.c_str());
        return false;
    }
    in.open(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "sleepvane-replay: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    std::string first;
    std::getline(in, first);
    in.clear();
    in.seekg(0);
    bool lsapp = first.rfind("user_id", 0) == 0
        || (path.size() > 4 && path.compare(path.size() - 4, 4, ".tsv") == 0);
    Trace trace = lsapp ? readLsapp(in, path) : readScenario(in, path);
    into.badLines += trace.badLines;
    into.lines += trace.lines;
    for (Day& day : trace.days)
        into.days.push_back(std::move(day));
    return true;
}

} // namespace replay
