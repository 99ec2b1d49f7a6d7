#include "playback/lsapp.h"

#include "contract/diary_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <istream>
#include <map>
#include <ostream>
#include <set>
#include <string_view>

namespace replay {
namespace {

    void report(const std::string& source, long line, const std::string& why)
    {
        std::fprintf(stderr, "%s: line %ld: %s\n", source.c_str(), line, why.c_str());
    }

    bool wholeNumber(std::string_view text)
    {
        return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    }

    // Passed over: Broken, and whatever a diary logs beside what the replay plays.
    enum class Kind { Opened, Closed, Interaction, Other };

    struct Row {
        long day = 0;
        int seconds = 0;
        std::string session;
        std::string app;
        Kind kind = Kind::Other;
    };

    // One line as a row of a person; false with the reason when it is malformed.
    bool parse(std::string_view line, Row& row, std::string_view& user, std::string& why)
    {
        std::string_view fields[5];
        std::size_t count = 0;
        for (std::string_view rest = line; count < 5;) {
            auto tab = rest.find('\t');
            fields[count++] = rest.substr(0, tab);
            if (tab == std::string_view::npos)
                break;
            rest.remove_prefix(tab + 1);
        }
        if (count < 5) {
            why = "expected 5 tab-separated fields (user_id, session_id, timestamp, app_name, event_type), found "
                + std::to_string(count);
            return false;
        }
        auto stamp = slv::diary::parseTimestamp(fields[2]);
        if (!wholeNumber(fields[0]))
            why = "user_id is not a whole number";
        else if (!wholeNumber(fields[1]))
            why = "session_id is not a whole number";
        else if (!stamp)
            why = "timestamp is not YYYY-MM-DD HH:MM:SS";
        else if (fields[3].empty())
            why = "app_name is empty";
        else if (fields[4].empty())
            why = "event_type is empty";
        if (!why.empty())
            return false;
        user = fields[0];
        row.day = stamp->day;
        row.seconds = stamp->seconds;
        row.session = fields[1];
        row.app = fields[3];
        row.kind = fields[4] == "Opened" ? Kind::Opened
            : fields[4] == "Closed"      ? Kind::Closed
            : fields[4] == "User Interaction" ? Kind::Interaction
                                              : Kind::Other;
        return true;
    }

    // A person's rows cut into calendar days, each replayed on a device just switched on.
    void buildDays(const std::string& person, std::vector<Row>& rows, std::vector<Day>& days)
    {
        std::stable_sort(rows.begin(), rows.end(),
                         [](const Row& a, const Row& b) { return a.day != b.day ? a.day < b.day : a.seconds < b.seconds; });
        std::size_t i = 0;
        while (i < rows.size()) {
            Day day;
            long date = rows[i].day;
            day.person = "person " + person;
            day.label = day.person + ", " + civilDate(date);
            DayBuilder build(day);
            std::string session = rows[i].session;
            double last = rows[i].seconds;
            std::unordered_map<std::string, AppId> ids;
            for (; i < rows.size() && rows[i].day == date; ++i) {
                const Row& row = rows[i];
                if (row.session != session) {
                    // A session's end: the phone went back to the home screen.
                    build.home(last);
                    session = row.session;
                }
                last = row.seconds;
                if (row.kind == Kind::Other)
                    continue;
                auto [found, added] = ids.try_emplace(row.app, kNoApp);
                if (added)
                    found->second = day.app(row.app, bundleIDFor(row.app));
                AppId app = found->second;
                if (row.kind == Kind::Opened || row.kind == Kind::Interaction)
                    build.open(row.seconds, app);
                else if (build.foreground() == app)
                    build.home(row.seconds);
            }
            build.home(last);
            if (!day.events.empty())
                days.push_back(std::move(day));
        }
    }

} // namespace

bool isLsappHeader(std::string_view line) { return line.starts_with("user_id"); }

std::string civilDate(long days)
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

Trace readLsapp(std::istream& in, const std::string& source)
{
    Trace result;
    std::map<std::string, std::vector<Row>> people;
    std::vector<std::string> order;
    std::string line;
    while (std::getline(in, line)) {
        ++result.lines;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if ((result.lines == 1 && isLsappHeader(line)) || line.empty())
            continue;
        Row row;
        std::string_view user;
        std::string why;
        if (!parse(line, row, user, why)) {
            report(source, result.lines, why);
            ++result.badLines;
            continue;
        }
        auto [found, added] = people.try_emplace(std::string(user));
        if (added)
            order.push_back(found->first);
        found->second.push_back(std::move(row));
    }
    for (const std::string& person : order)
        buildDays(person, people[person], result.days);
    return result;
}

bool LsappFile::open(const std::string& path)
{
    path_ = path;
    in_.open(path, std::ios::binary);
    if (!in_)
        return false;
    std::unordered_map<std::string, std::size_t> index;
    std::vector<std::set<long>> dates;
    std::size_t current = SIZE_MAX;
    std::streamoff at = 0;
    std::string line;
    while (std::getline(in_, line)) {
        std::streamoff begin = at;
        at += static_cast<std::streamoff>(line.size()) + (in_.eof() ? 0 : 1);
        ++lines_;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if ((lines_ == 1 && isLsappHeader(line)) || line.empty())
            continue;
        Row row;
        std::string_view user;
        std::string why;
        if (!parse(line, row, user, why)) {
            report(path_, lines_, why);
            ++badLines_;
            continue;
        }
        // A person's rows mostly come together: the index is asked only when the person changes.
        if (current == SIZE_MAX || user != people_[current].id) {
            auto [found, added] = index.try_emplace(std::string(user), people_.size());
            if (added) {
                people_.push_back(Person { found->first, {} });
                dates.emplace_back();
            }
            if (current != SIZE_MAX)
                people_[current].runs.back().end = begin;
            current = found->second;
            people_[current].runs.push_back(Run { begin, begin });
        }
        if (row.kind == Kind::Opened || row.kind == Kind::Interaction)
            dates[current].insert(row.day);
    }
    if (current != SIZE_MAX)
        people_[current].runs.back().end = at;
    for (std::size_t i = 0; i < people_.size(); ++i)
        days_ += static_cast<long>(dates[i].size());
    return true;
}

std::vector<Day> LsappFile::person(std::size_t i)
{
    const Person& person = people_.at(i);
    std::vector<Row> rows;
    std::string line;
    for (const Run& run : person.runs) {
        in_.clear();
        in_.seekg(run.begin);
        for (std::streamoff at = run.begin; at < run.end && std::getline(in_, line);) {
            at += static_cast<std::streamoff>(line.size()) + 1;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            Row row;
            std::string_view user;
            std::string why;
            // Bad rows were reported by the index.
            if (parse(line, row, user, why) && user == person.id)
                rows.push_back(std::move(row));
        }
    }
    std::vector<Day> days;
    buildDays(person.id, rows, days);
    return days;
}

void writeLsappDay(std::ostream& out, const Day& day, long user, long date, long& session)
{
    std::string when = civilDate(date) + " ";
    AppId front = kNoApp;
    auto row = [&](double time, AppId app, const char* kind) {
        long t = static_cast<long>(time);
        char clock[16];
        std::snprintf(clock, sizeof clock, "%02ld:%02ld:%02ld", t / 3600 % 100, t / 60 % 60, t % 60);
        out << user << '\t' << session << '\t' << when << clock << '\t' << day.apps[app].name << '\t' << kind << '\n';
    };
    for (const Event& event : day.events) {
        if (event.kind == Event::Kind::Launch && event.app != front) {
            row(event.time, event.app, "Opened");
            if (front != kNoApp)
                row(event.time, front, "Closed");
            front = event.app;
        } else if (event.kind == Event::Kind::Home && front != kNoApp) {
            row(event.time, front, "Closed");
            front = kNoApp;
            ++session;
        }
    }
    if (front != kNoApp) {
        row(day.end(), front, "Closed");
        ++session;
    }
}

} // namespace replay
