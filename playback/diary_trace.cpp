#include "playback/diary_trace.h"

#include "playback/lsapp.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <unordered_map>

namespace replay {
namespace diary = slv::diary;

namespace {

    // A line as read, with the date of its timestamp and its time of day (with the moment's
    // milliseconds).
    struct Read {
        diary::DiaryLine line;
        long day = 0;
        double secondOfDay = 0;
    };

} // namespace

bool isDiaryHeader(std::string_view line)
{
    return line == diary::Header;
}

std::optional<double> median(std::vector<double> values)
{
    if (values.empty())
        return std::nullopt;
    std::sort(values.begin(), values.end());
    std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

DiaryTrace DiaryTrace::read(std::string_view text, const std::string& person)
{
    DiaryTrace trace;
    std::vector<Read> lines;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        ++trace.lines_;
        if (end == std::string_view::npos)
            break; // cut short by a lost write
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (trace.lines_ == 1 && isDiaryHeader(line))
            continue;
        diary::Timestamp stamp;
        auto parsed = diary::parseLine(line, &stamp);
        if (!parsed) {
            trace.problems_.push_back({ trace.lines_, "not a line of the diary (8 tab-separated fields: user_id, "
                                                      "session_id, timestamp, app_name, event_type, time_ms, free_mb, "
                                                      "detail)" });
            continue;
        }
        if (parsed->freeMB < 0 || double(parsed->freeMB) > kPhoneMaximumMB) {
            char why[96];
            std::snprintf(why, sizeof why, "free memory of %lld MB lies outside 0 to %.0f MB",
                          static_cast<long long>(parsed->freeMB), kPhoneMaximumMB);
            trace.implausible_.push_back({ trace.lines_, why });
            continue;
        }
        std::int64_t milliseconds = ((parsed->timeMs % 1000) + 1000) % 1000;
        lines.push_back({ std::move(*parsed), stamp.day, stamp.seconds + double(milliseconds) / 1000 });
    }
    // Lines are written in time order; a clock set back may have dated some earlier.
    std::stable_sort(lines.begin(), lines.end(), [](const Read& a, const Read& b) { return a.day < b.day; });

    // What each application holds, and which run, line by line.
    std::unordered_map<std::string, int> index;
    std::set<int> running, closedByUs, seen;
    std::optional<std::int64_t> previous;
    for (const Read& read : lines) {
        const diary::DiaryLine& e = read.line;
        bool call = e.kind == diary::Kind::CallStart || e.kind == diary::Kind::CallEnd;
        int id = -1;
        if (!call) {
            auto [found, added] = index.try_emplace(e.app, int(trace.names_.size()));
            if (added)
                trace.names_.push_back(e.app);
            id = found->second;
        }
        auto observe = [&](std::int64_t step) {
            if (previous && *previous > 0 && e.freeMB > 0 && step > 0)
                trace.observations_[e.app].push_back(double(step));
        };
        if (e.kind == diary::Kind::Opened) {
            if (!running.count(id) && (closedByUs.count(id) || !seen.count(id)) && previous)
                observe(*previous - e.freeMB);
            running.insert(id);
            closedByUs.erase(id);
        } else if (e.kind == diary::Kind::Closed) {
            running.insert(id);
        } else if (e.kind == diary::Kind::OurClose) {
            if (previous)
                observe(e.freeMB - *previous);
            running.erase(id);
            closedByUs.insert(id);
        }
        if (id >= 0)
            seen.insert(id);
        previous = e.freeMB;
        trace.sequence_.push_back(e);
    }

    // A calendar date a day, played as the home screen saw it.
    for (std::size_t i = 0; i < lines.size();) {
        long date = lines[i].day;
        Day day;
        day.person = person;
        day.label = person + ", " + civilDate(date);
        day.diary = true;
        std::unordered_map<std::string, AppId> ids;
        AppId front = kNoApp;
        std::int64_t session = lines[i].line.session;
        double last = lines[i].secondOfDay;
        auto add = [&](Event::Kind kind, double time, AppId app = kNoApp, int state = 0, Call call = Call::None) {
            Event event;
            event.kind = kind;
            event.time = time;
            event.app = app;
            event.state = state;
            event.call = call;
            day.events.push_back(event);
        };
        for (; i < lines.size() && lines[i].day == date; ++i) {
            const diary::DiaryLine& e = lines[i].line;
            double time = std::max(last, lines[i].secondOfDay);
            // A new session with an application still in front: the home screen started again.
            if (e.session != session && front != kNoApp) {
                add(Event::Kind::Home, last);
                add(Event::Kind::State, last, front, 2);
                front = kNoApp;
            }
            session = e.session;
            last = time;
            AppId app = kNoApp;
            if (e.kind != diary::Kind::CallStart && e.kind != diary::Kind::CallEnd) {
                auto [found, added] = ids.try_emplace(e.app, kNoApp);
                if (added)
                    found->second = day.app(e.app, e.app);
                app = found->second;
            }
            switch (e.kind) {
            case diary::Kind::Opened:
                if (app != front)
                    add(Event::Kind::Launch, time, app);
                add(Event::Kind::State, time, app, 4);
                front = app;
                break;
            case diary::Kind::Closed:
                if (app == front) {
                    add(Event::Kind::Home, time);
                    front = kNoApp;
                }
                add(Event::Kind::State, time, app, e.detail == "3" ? 3 : 2);
                break;
            case diary::Kind::OurClose:
                day.recordedCloses.push_back({ time, app, e.detail });
                break;
            case diary::Kind::CallStart:
                add(Event::Kind::Call, time, kNoApp, 0, Call::Active);
                break;
            case diary::Kind::CallEnd:
                add(Event::Kind::Call, time, kNoApp, 0, Call::None);
                break;
            }
        }
        if (!day.events.empty())
            trace.days_.push_back(std::move(day));
    }
    return trace;
}

long DiaryTrace::daysOfUse() const
{
    return static_cast<long>(std::count_if(days_.begin(), days_.end(), [](const Day& day) { return day.used(); }));
}

void DiaryTrace::estimateInto(Footprints& footprints) const
{
    for (const auto& [id, steps] : observations_)
        if (steps.size() >= std::size_t(kLeastObservations))
            footprints.estimate(id, *median(steps), int(steps.size()));
}

std::optional<double> DiaryTrace::applicationsMB(const Footprints& footprints) const
{
    // An application seen too seldom for an estimate of its own is still better told by what
    // was seen of it than by the table.
    std::unordered_map<std::string, double> sizes;
    for (const std::string& name : names_) {
        Footprints::Figure figure = footprints.figure(name, name);
        auto seen = observations_.find(name);
        if (figure.source != Footprints::Source::File && figure.source != Footprints::Source::Diary
            && seen != observations_.end())
            figure.megabytes = *median(seen->second);
        sizes[name] = figure.megabytes;
    }
    std::set<std::string> running;
    double held = 0;
    std::vector<double> samples;
    for (const diary::DiaryLine& line : sequence_) {
        if (line.kind == diary::Kind::Opened || line.kind == diary::Kind::Closed) {
            if (running.insert(line.app).second)
                held += sizes[line.app];
        } else if (line.kind == diary::Kind::OurClose) {
            if (running.erase(line.app))
                held -= sizes[line.app];
        }
        // Memory that ran out says nothing of how much there was.
        if (line.freeMB > 0)
            samples.push_back(double(line.freeMB) + held);
    }
    return median(std::move(samples));
}

std::optional<DeviceSize> DiaryTrace::device(const Footprints& footprints) const
{
    auto applications = applicationsMB(footprints);
    if (!applications)
        return std::nullopt;
    DeviceSize device;
    device.totalMB = 2 * *applications;
    device.baseMB = *applications;
    return device;
}

void DiaryTrace::setDevice(const DeviceSize& device)
{
    for (Day& day : days_) {
        day.totalMB = device.totalMB;
        day.baseMB = device.baseMB;
    }
}

} // namespace replay
