#pragma once
// The tab-separated format of the public LSApp data set: a header, then one row an event
// (user_id, session_id, timestamp as YYYY-MM-DD HH:MM:SS, app_name, event_type). One device a
// person, one day a calendar date. Columns after the fifth, and event types other than Opened,
// Closed and User Interaction (Broken, and those of diaries that log more), are passed over.

#include "playback/day.h"

#include <fstream>
#include <iosfwd>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace replay {

inline constexpr const char* kLsappHeader = "user_id\tsession_id\ttimestamp\tapp_name\tevent_type";
// True for an LSApp header: a first line that starts with user_id.
bool isLsappHeader(std::string_view line);

// Every person's days from a stream held in memory whole.
Trace readLsapp(std::istream& in, const std::string& source);

// A file read person by person: one pass makes an index of where each person's rows lie
// (reporting bad rows), and a person's rows are read again when that person's days are asked for,
// so that no more than one person's days are held at a time.
class LsappFile {
public:
    // False, with errno set, when the file cannot be opened.
    bool open(const std::string& path);
    std::size_t people() const { return people_.size(); }
    long days() const { return days_; }
    long lines() const { return lines_; }
    int badLines() const { return badLines_; }
    // Person i's days in time order (people in the order they first appear).
    std::vector<Day> person(std::size_t i);

private:
    struct Run {
        std::streamoff begin, end;
    };
    struct Person {
        std::string id;
        std::vector<Run> runs;
    };
    std::string path_;
    std::ifstream in_;
    std::vector<Person> people_;
    long days_ = 0, lines_ = 0;
    int badLines_ = 0;
};

// Days written as LSApp rows of one person on one date (days since 1970-01-01): "Opened" when an
// application comes to the foreground, "Closed" when it leaves; a session ends at the home screen.
// Times are cut to whole seconds.
void writeLsappDay(std::ostream& out, const Day& day, long user, long date, long& session);

// "YYYY-MM-DD" of a day number (days since 1970-01-01).
std::string civilDate(long days);

} // namespace replay
