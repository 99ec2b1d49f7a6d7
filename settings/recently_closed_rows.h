#pragma once
// What the "Recently Closed" screen shows of the library's close history: one row a close,
// newest first, named and pictured from the catalogue, with what a tap on it may do.

#include "contract/history_file.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SLVRecentlyClosedRow {
    std::string bundleID;
    std::string name;     // the catalogue's name, else (none, or empty) the identifier
    std::string iconPath; // the catalogue's icon; empty when it has no record
    slv::history::Record record; // without the figures the library could not have written
    bool isNever = false;  // already on the Never list: marked, and a tap does nothing
    bool isAlways = false; // on the Always list: a tap gets the conflict alert

    // "Low memory · 124 MB free · reopened after 12 s", the reason isolated.
    std::string detail() const;
    // How long before now (seconds since 2001) the close was; empty for a date that is none a
    // close could have: before 2001, or more than a day ahead of now (a clock set back by a
    // little reads "just now").
    std::string ago(double now) const;
};

// Text from the files (a reason, a name) made unable to reorder the words it stands among: in a
// first-strong isolate, unless it is plain ASCII, which holds no right-to-left letter and no
// direction mark.
std::string isolated(std::string_view text);

// The rows of a history, newest first, read against the settings file's catalogue and lists; a
// figure no library writes (free memory outside 0 to 2^31-1 MB, a reopen that is no number or
// outside the minute) is left out.
std::vector<SLVRecentlyClosedRow> recentlyClosedRows(const std::vector<slv::history::Record>& history,
                                                     const sv::Dictionary& settings);

// An application the user keeps bringing back within a minute of its close: two or more of its
// closes in the history were reopened. Offered for the Never list whether or not Learn From Use
// is on; none for one on either list already.
struct SLVNeverSuggestion {
    std::string bundleID;
    std::string name;
    int regrettedCloses = 0;
    // "Camera came back soon after 3 closes. Never close it?", the name isolated.
    std::string message() const;
};
// The application with the most reopened closes (of equal counts, the most recently closed).
std::optional<SLVNeverSuggestion> neverSuggestion(const std::vector<SLVRecentlyClosedRow>& rows);

// How long ago a moment was, said briefly: "just now", "42 s ago", "5 min ago", "3 h ago", "2 d ago".
std::string howLongAgo(double seconds);

// "reopened after 12 s"
std::string reopenedText(double seconds);
