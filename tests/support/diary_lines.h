#pragma once
// Diaries written line by line as the library writes them (contract/diary.h), for tests: a phone
// whose free memory is what it leaves to applications less what the running ones hold, sessions
// numbered as the library numbers them.

#include "contract/diary.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
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

} // namespace sv::test
