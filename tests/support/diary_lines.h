#pragma once
// Diaries written line by line as the library writes them (contract/diary_file.h), for tests: a phone
// whose free memory is what it leaves to applications less what the running ones hold, sessions
// numbered as the library numbers them.

#include "contract/diary_file.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace sv::test {

class DiaryLines {
public:
    static constexpr std::int64_t kOrigin = 1767225600000; // 2026-01-01 00:00 UTC, the manual clock's
    static constexpr std::int64_t kDayMs = 86400000;

    // The first day starts at 07:00.
    explicit DiaryLines(double applicationsMB)
        : applicationsMB_(applicationsMB)
    {
    }

    void install(const std::string& id, double megabytes) { footprints_[id] = megabytes; }
    template <class Ids> void installEach(const Ids& ids, double megabytes)
    {
        for (const auto& id : ids)
            install(id, megabytes);
    }

    // The application comes to the front (the one there leaves, state 2).
    void open(const std::string& id)
    {
        if (!front_ && ms_ - emptySince_ >= slv::diary::kNewSession && started_)
            ++session_;
        started_ = true;
        std::erase(running_, id);
        running_.push_back(id);
        line(slv::diary::Kind::Opened, id, "");
        if (front_)
            line(slv::diary::Kind::Closed, *front_, "2");
        front_ = id;
    }
    void home()
    {
        if (!front_)
            return;
        line(slv::diary::Kind::Closed, *front_, "2");
        front_.reset();
        emptySince_ = ms_;
    }
    // The library closes it (the home screen's own close box).
    void close(const std::string& id, const std::string& reason = "Low memory")
    {
        std::erase(running_, id);
        line(slv::diary::Kind::OurClose, id, reason);
    }
    // Each in turn, with a wait after each.
    template <class Ids> void openInTurn(const Ids& ids, double secondsEach)
    {
        for (const auto& id : ids) {
            open(id);
            wait(secondsEach);
        }
    }
    template <class Ids> void closeEach(const Ids& ids, double secondsEach = 0)
    {
        for (const auto& id : ids) {
            close(id);
            wait(secondsEach);
        }
    }
    // The same day on n dates, the first of them this one.
    template <class Day> void onDays(int n, Day day)
    {
        for (int i = 0; i < n; ++i) {
            if (i)
                nextDay();
            day();
        }
    }
    void call(bool starts) { line(starts ? slv::diary::Kind::CallStart : slv::diary::Kind::CallEnd, "-", ""); }
    void wait(double seconds) { ms_ += static_cast<std::int64_t>(std::llround(seconds * 1000)); }
    // 07:00 of the next date.
    void nextDay()
    {
        ++day_;
        ms_ = kOrigin + day_ * kDayMs + 7 * 3600000;
    }
    // Any line at all.
    void line(slv::diary::Kind kind, const std::string& app, const std::string& detail)
    {
        if (auto written = slv::diary::lineOf({ session_, ms_, app, kind, freeMB(), detail }))
            text_ += *written;
    }

    std::int64_t freeMB() const
    {
        double held = 0;
        for (const std::string& id : running_)
            held += footprints_.at(id);
        return static_cast<std::int64_t>(std::floor(std::max(0.0, applicationsMB_ - held)));
    }
    const std::string& text() const { return text_; }

private:
    double applicationsMB_;
    std::map<std::string, double> footprints_;
    std::vector<std::string> running_;
    std::optional<std::string> front_;
    std::string text_ = std::string(slv::diary::Header) + "\n";
    std::int64_t session_ = 1, day_ = 0, ms_ = kOrigin + 7 * 3600000, emptySince_ = 0;
    bool started_ = false;
};

// A line as the library must write it, `seconds` after the manual clock's start, in local time
// UTC+2 (TZ=XYZ-2): worked out here with gmtime, not by the writer the library uses.
inline std::string diaryLine(int session, double seconds, const std::string& app, const std::string& kind, int free,
                              const std::string& detail = "")
{
    std::int64_t ms = DiaryLines::kOrigin + std::llround(seconds * 1000);
    std::time_t local = static_cast<std::time_t>(ms / 1000 + 2 * 3600);
    std::tm parts {};
    ::gmtime_r(&local, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &parts);
    std::ostringstream out;
    out << "1\t" << session << "\t" << stamp << "\t" << app << "\t" << kind << "\t" << ms << "\t" << free << "\t"
        << detail;
    return out.str();
}

// Days on which the applications, each of the same footprint, are opened one after another half
// a minute apart, then the home screen and all of them closed by the library.
inline std::string openedInTurn(const std::vector<std::string>& apps, double megabytes, int days)
{
    DiaryLines diary(512);
    diary.installEach(apps, megabytes);
    diary.onDays(days, [&] {
        diary.openInTurn(apps, 30);
        diary.home();
        diary.closeEach(apps);
    });
    return diary.text();
}

// Five applications of 100 MB on 512 MB so: the fifth launch needs a close at the fourth switch,
// 112 MB free. Three dates: the newest is still going on, so two whole days to suggest from.
inline std::string twoWholeDaysOfFiveApplications()
{
    return openedInTurn({ "com.example.a", "com.example.b", "com.example.c", "com.example.d", "com.example.e" }, 100, 3);
}

// A diary file as read back: its first line, when it has one, and the lines after it.
struct DiaryFile {
    std::optional<std::string> header;
    std::vector<std::string> lines;
};
inline DiaryFile readDiaryFile(const std::string& hostPath)
{
    DiaryFile file;
    std::ifstream in(hostPath);
    std::string text;
    if (!std::getline(in, text))
        return file;
    file.header = text;
    while (std::getline(in, text))
        file.lines.push_back(text);
    return file;
}

} // namespace sv::test
