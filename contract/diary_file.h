#pragma once
// The diary of use: what happened on the home screen over the last days, kept by the library
// only while Learn From Use is on, so that the threshold can be chosen from this phone's own
// days. It never leaves the phone; turning Learn From Use off deletes it.
//
// The file is /var/mobile/Library/Sleepvane/Diary.tsv, text in lines that each end in "\n",
// fields separated by one tab. The first line is exactly
//
//   user_id	session_id	timestamp	app_name	event_type	time_ms	free_mb	detail
//
// and every other line is one event, oldest first, with these eight fields:
//
//   user_id     1: the diary is one person's.
//   session_id  a whole number from 1 to kMaximumSession. It goes up by one when an application
//               comes to the foreground after kNewSession (300 s) or more with none there (the
//               home screen's start counts as none there since the diary's last line), and after
//               kMaximumSession begins again at 1. Every line carries the session it falls in.
//   timestamp   the local time of the event, YYYY-MM-DD HH:MM:SS: the whole second of time_ms.
//               Days are the dates of this field.
//   app_name    the application's bundle identifier, as the home screen reports it (never
//               holding a tab, line break or other control character: an application whose
//               identifier does is left out); "-" for a call.
//   event_type  one of
//                 Opened           the application came to the foreground (state 4);
//                 Closed           it left the foreground (state 2 or 3);
//                 Sleepvane Close  the library closed it (the app switcher's close box);
//                 Call Start       a call began to ring, be placed or be active;
//                 Call End         no call is left.
//   time_ms     the moment, in milliseconds since 1970-01-01 00:00:00 UTC (rounded to the
//               nearest), by the clock the library's timers run on.
//   free_mb     free memory at that moment, in whole megabytes, as the close decision reads it
//               (for a Sleepvane Close: just after the close).
//   detail      Closed: the state reported, "2" or "3"; Sleepvane Close: why, "Always list",
//               "Close every app" or "Low memory"; empty otherwise.
//
// The first five fields are those of the LSApp data set's tab-separated format, so a reader of
// that format reads the diary as one person's trace: it passes over the fields after the fifth
// and the event types of our own (Sleepvane Close, Call Start, Call End).
//
// Lines are appended at most once a minute (a minute's events at a time; those of the last minute
// before the home screen stops are lost). Bounds: at most kMaximumSize (2 MB) in all, the oldest
// date's lines going first (and of the newest date, its oldest lines); and by date, trimmed so
// that a clock set back or forward while the home screen runs, for a while or for good, and local
// dates going back (a trip west), never drop a line that a correct clock all along would have
// kept. The date a line is measured against is the present's, taken as the earlier of two
// readings: the date of the event being written, and the date by the clock the home screen
// started with, carried on by its steady clock (so that a clock moved since its start moves
// nothing). Dropped are only the lines dated more than kDays - 1 (6) dates before that; a line
// dated after it (written before the clock went back) stays. The limit of this: a clock already
// wrong when the home screen starts keeps more dates (never fewer) until its next start, when
// lines it dated more than six days back go. Trimming rewrites the file whole and atomically. A last line without its "\n"
// was cut short by a lost write: it is no line, and is cut before the next lines are added. A
// diary that is a link (symbolic or hard), no regular file, over kMaximumSize, or holds anything
// that is not a line as above (a session or time_ms beyond its bounds included), is set aside as
// SetAsidePath and a new one begun; one is kept, the one set aside last, replacing a file or a
// folder set aside before.
//
// Off means gone. Nothing noted while Learn From Use was on before it went off is ever written,
// whatever happens after, and a diary deleted is never brought back:
//  - the diary's switch is read by diarySwitch(): on or off only for a boolean or a number under
//    "LearnFromUse"; a settings file that is missing or cannot be read, no such key, or any other
//    value is neither (Unknown): nothing is noted then, and nothing deleted;
//  - every save that turns the switch off also moves the stamp OffsKey ("LearnFromUseOffs", a
//    whole number) on by one, in the same write; then, holding the diary's lock ("Diary.tsv.lock"
//    beside it), deletes the diary (removeUnderLock);
//  - the library notes each event with the stamp it read with the switch; a note, a close, a call
//    or the minute's write that finds the stamp moved drops every event still waiting and deletes
//    the diary, even when the switch is on again by then;
//  - the library's writer, holding the same lock, reads the stamp again and writes only the events
//    noted under it, so that a write that crosses an off never lands after its deletion.
// A delete that fails is said (the pane: an alert; the library: its log, once) and tried again at
// the library's next look while the switch stays off.

#include "contract/settings_contract.h"
#include "platform/foundation/files.h"

#include <charconv>
#include <climits>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace slv::diary {

inline constexpr std::string_view Path = "/var/mobile/Library/Sleepvane/Diary.tsv";
inline constexpr std::string_view SetAsidePath = "/var/mobile/Library/Sleepvane/Diary.tsv.set-aside";
// The pane's suggestion worked out from the diary's whole days, kept so that it is not worked out
// again at every opening; it goes with the diary.
inline constexpr std::string_view SuggestionPath = "/var/mobile/Library/Sleepvane/Diary.tsv.suggestion";
inline constexpr std::string_view Header = "user_id\tsession_id\ttimestamp\tapp_name\tevent_type\ttime_ms\tfree_mb\tdetail";
inline constexpr std::string_view Person = "1";
inline constexpr std::string_view NoApplication = "-";
inline constexpr int kDays = 7;
inline constexpr std::size_t kMaximumSize = 2 * 1024 * 1024;
inline constexpr std::int64_t kNewSession = 300 * 1000; // ms
// Bounds of a line's numbers, so that nothing read from a file overflows what is done with it: a
// session beyond kMaximumSession (a million a day for longer than the phone lasts) and a time_ms
// outside the years 0000 to 9999 make no line.
inline constexpr std::int64_t kMaximumSession = std::int64_t { 1 } << 50;
inline constexpr std::int64_t kEarliestMs = -62167219200000;
inline constexpr std::int64_t kLatestMs = 253402300799999;
inline constexpr std::string_view OffsKey = "LearnFromUseOffs";
// A library function, exported under this name, that returns once everything the library has
// handed to its writer is in the file (the home-screen host's `show diary`).
inline constexpr const char* kFlushSymbol = "SleepwrightFlushDiary";
// A library function, exported under this name and called on the home screen's thread, that hands
// what waits for the minute's write to the writer at once, as the minute's timer would (the
// home-screen host's `show diary now`).
inline constexpr const char* kWriteNowSymbol = "SleepwrightWriteDiaryNow";

enum class Kind { Opened, Closed, OurClose, CallStart, CallEnd };

inline constexpr std::string_view kindName(Kind kind)
{
    switch (kind) {
    case Kind::Opened: return "Opened";
    case Kind::Closed: return "Closed";
    case Kind::OurClose: return "Sleepvane Close";
    case Kind::CallStart: return "Call Start";
    case Kind::CallEnd: return "Call End";
    }
    return "";
}

inline std::optional<Kind> kindNamed(std::string_view name)
{
    for (Kind kind : { Kind::Opened, Kind::Closed, Kind::OurClose, Kind::CallStart, Kind::CallEnd })
        if (kindName(kind) == name)
            return kind;
    return std::nullopt;
}

// One line of the diary, its fields as above; the timestamp is time_ms's. Every layer that reads
// or writes the file uses this type (a session of 0: not numbered yet).
struct DiaryLine {
    std::int64_t session = 0;
    std::int64_t timeMs = 0;
    std::string app;
    Kind kind = Kind::Opened;
    std::int64_t freeMB = 0;
    std::string detail;
    friend bool operator==(const DiaryLine&, const DiaryLine&) = default;
};

// A field that stays one field of one line, in every reader's eyes: well-formed UTF-8 without a
// tab, line break (U+2028 and U+2029 and NEL among them) or other control character (C0, DEL, C1).
inline bool plainField(std::string_view text)
{
    static constexpr char32_t kShortest[] = { 0, 0, 0x80, 0x800, 0x10000 };
    for (std::size_t at = 0; at < text.size();) {
        auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x80) {
            if (lead < 0x20 || lead == 0x7f)
                return false;
            ++at;
            continue;
        }
        std::size_t length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 0;
        if (length == 0 || lead > 0xf4 || text.size() - at < length)
            return false;
        char32_t code = lead & (0x7fu >> length);
        for (std::size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(text[at + k]);
            if ((next & 0xc0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3fu);
        }
        if (code < kShortest[length] || code <= 0x9f || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff
            || code == 0x2028 || code == 0x2029)
            return false;
        at += length;
    }
    return true;
}

// Days since 1970-01-01 of a civil date (Howard Hinnant's algorithm).
inline long daysFromCivil(long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    long era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = static_cast<unsigned>(y - era * 400);
    unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

namespace detail {
    // The local time of a moment within the bounds of a line; nothing for one outside them.
    inline std::optional<std::tm> localTime(std::int64_t timeMs)
    {
        if (timeMs < kEarliestMs || timeMs > kLatestMs)
            return std::nullopt;
        std::int64_t seconds = timeMs / 1000 - (timeMs % 1000 < 0 ? 1 : 0);
        std::time_t when = static_cast<std::time_t>(seconds);
        std::tm local {};
        if (!::localtime_r(&when, &local) || local.tm_year + 1900 < 0 || local.tm_year + 1900 > 9999)
            return std::nullopt;
        return local;
    }

    inline long dayOf(const std::tm& local)
    {
        return daysFromCivil(local.tm_year + 1900L, static_cast<unsigned>(local.tm_mon + 1),
                             static_cast<unsigned>(local.tm_mday));
    }

    inline std::optional<std::string> timestampOf(const std::tm& local)
    {
        char text[32];
        std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
        return length == 19 ? std::optional<std::string>(std::string(text, length)) : std::nullopt;
    }
}

// The local time of a moment as the timestamp field; nothing for one that has no four-digit year.
inline std::optional<std::string> timestampOf(std::int64_t timeMs)
{
    auto local = detail::localTime(timeMs);
    return local ? detail::timestampOf(*local) : std::nullopt;
}

// The date of a moment's timestamp field, as days since 1970-01-01; nothing when it has none.
inline std::optional<long> dayOf(std::int64_t timeMs)
{
    auto local = detail::localTime(timeMs);
    return local ? std::optional<long>(detail::dayOf(*local)) : std::nullopt;
}

// The text of a line, with its "\n", and the date it bears (days since 1970-01-01) in *day;
// nothing when a field cannot be written as one.
inline std::optional<std::string> lineOf(const DiaryLine& line, long* day = nullptr)
{
    auto local = detail::localTime(line.timeMs);
    auto timestamp = local ? detail::timestampOf(*local) : std::nullopt;
    if (!timestamp || line.session < 1 || line.session > kMaximumSession || line.app.empty() || !plainField(line.app) || !plainField(line.detail))
        return std::nullopt;
    std::string text;
    text.reserve(96 + line.app.size() + line.detail.size());
    text.append(Person).append("\t").append(std::to_string(line.session)).append("\t").append(*timestamp);
    text.append("\t").append(line.app).append("\t").append(kindName(line.kind));
    text.append("\t").append(std::to_string(line.timeMs)).append("\t").append(std::to_string(line.freeMB));
    text.append("\t").append(line.detail).append("\n");
    if (day)
        *day = detail::dayOf(*local);
    return text;
}

namespace detail {
    inline bool wholeNumber(std::string_view text, std::int64_t& value, bool allowSign = false)
    {
        if (text.empty() || text.size() > 19 || (!allowSign && text[0] == '-'))
            return false;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        return error == std::errc() && end == text.data() + text.size();
    }

    inline bool digits(std::string_view text, std::size_t at, std::size_t count, int& value)
    {
        auto [end, error] = std::from_chars(text.data() + at, text.data() + at + count, value);
        return error == std::errc() && end == text.data() + at + count && text[at] != '-' && text[at] != '+';
    }
}

// "YYYY-MM-DD HH:MM:SS" (the LSApp timestamp) as a day number and the seconds into that day;
// nothing for anything else.
struct Timestamp {
    long day = 0; // days since 1970-01-01
    int seconds = 0;
};
inline std::optional<Timestamp> parseTimestamp(std::string_view text)
{
    using detail::digits;
    int y, mo, d, h, mi, s;
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':'
        || text[16] != ':' || !digits(text, 0, 4, y) || !digits(text, 5, 2, mo) || !digits(text, 8, 2, d)
        || !digits(text, 11, 2, h) || !digits(text, 14, 2, mi) || !digits(text, 17, 2, s))
        return std::nullopt;
    static const int lengths[] = { 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    if (mo < 1 || mo > 12 || d < 1 || d > lengths[mo - 1] || h > 23 || mi > 59 || s > 60)
        return std::nullopt;
    return Timestamp { daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)), h * 3600 + mi * 60 + s };
}

// One line of the diary, without its "\n", and its timestamp field in *stamp (a file's line may
// bear a date other than its time_ms's, written before the time zone changed); nothing for
// anything that is not a line as above.
inline std::optional<DiaryLine> parseLine(std::string_view text, Timestamp* stamp = nullptr)
{
    std::string_view fields[8];
    std::size_t count = 0;
    for (;;) {
        auto tab = text.find('\t');
        if (count == 8)
            return std::nullopt;
        fields[count++] = text.substr(0, tab);
        if (tab == std::string_view::npos)
            break;
        text.remove_prefix(tab + 1);
    }
    DiaryLine line;
    std::int64_t person = 0;
    auto kind = count == 8 ? kindNamed(fields[4]) : std::nullopt;
    auto read = count == 8 ? parseTimestamp(fields[2]) : std::nullopt;
    if (!kind || !read || !detail::wholeNumber(fields[0], person) || !detail::wholeNumber(fields[1], line.session)
        || line.session < 1 || line.session > kMaximumSession
        || !detail::wholeNumber(fields[5], line.timeMs, true) || line.timeMs < kEarliestMs
        || line.timeMs > kLatestMs
        || !detail::wholeNumber(fields[6], line.freeMB, true) || fields[3].empty() || !plainField(fields[3])
        || !plainField(fields[7]))
        return std::nullopt;
    line.kind = *kind;
    line.app = fields[3];
    line.detail = fields[7];
    if (stamp)
        *stamp = *read;
    return line;
}

// The diary's switch, as the diary reads it (see "Off means gone" above).
enum class Switch { On, Off, Unknown };
inline Switch diarySwitch(const sv::Dictionary* settings)
{
    const sv::Value* value = settings ? sv::find(*settings, slv::key::LearnFromUse) : nullptr;
    if (!value)
        return Switch::Unknown;
    const auto& stored = value->storage();
    if (const bool* flag = std::get_if<bool>(&stored))
        return *flag ? Switch::On : Switch::Off;
    if (const std::int64_t* integer = std::get_if<std::int64_t>(&stored))
        return *integer != 0 ? Switch::On : Switch::Off;
    if (const double* real = std::get_if<double>(&stored); real && *real == *real)
        return *real != 0 ? Switch::On : Switch::Off;
    return Switch::Unknown;
}

// The stamp the switch's offs move; 0 while there is none (or it is no whole number).
inline std::int64_t offStamp(const sv::Dictionary* settings)
{
    auto stamp = settings ? sv::findInteger(*settings, OffsKey) : std::nullopt;
    return stamp.value_or(0);
}

// The stamp after one more off, never overflowing.
inline std::int64_t nextOffStamp(std::int64_t stamp)
{
    return stamp < 0 || stamp == INT64_MAX ? 1 : stamp + 1;
}

// The lock the writer holds while it checks the stamp and writes, and an off while it deletes.
inline std::optional<sv::fs::FileLock> lock(double timeoutSeconds)
{
    return sv::fs::FileLock::acquire(Path, timeoutSeconds);
}

// Deletes the diary and what was set aside of it, file or folder (and a temporary a killed rewrite
// left); true when none is left. Holding the lock is the caller's part.
inline bool remove()
{
    bool gone = sv::fs::removeTree(Path);
    gone = sv::fs::removeTree(SetAsidePath) && gone;
    gone = sv::fs::removeTree(SuggestionPath) && gone;
    sv::fs::removeLeftoverTemporary(Path);
    sv::fs::removeLeftoverTemporary(SuggestionPath);
    return gone;
}

// The delete of an off: under the lock, waited for at most timeoutSeconds (and done all the same
// without it: the stamp, moved before, keeps the writer from writing over it).
inline bool removeUnderLock(double timeoutSeconds = 0.25)
{
    auto held = lock(timeoutSeconds);
    return remove();
}

} // namespace slv::diary
