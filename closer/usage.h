#pragma once
// Learn From Use: how likely each application is to come to the foreground again soon, learned
// from every foreground change while the switch is on, so that the low-memory path closes the
// least likely first.
//
// Each return to the foreground earns a use, two when it comes within 60 s of one of our closes;
// older uses count less, halving every kHalfLifeUses uses learned since. The count of uses is the
// clock: what was learned does not fade while the phone is not used, and the file holds no date.
// Each application also keeps a few applications that came to the foreground right after it, and
// the memory our closes of it freed. Two experts name the suspect to close, the rules (the oldest)
// and the score (the two left last kept; another than the oldest only when far less likely and
// freeing no less), and the one whose names came back less often within ten minutes is followed;
// a new phone follows the rules until one of their names comes back (model/usage.h states the
// rule and why; the referee holds this to it).
//
// What was learned is read from its file at start (a missing, unreadable or hostile file: start
// empty) and written back by a run-loop timer at most once a minute after a change, never on
// the decision's path; with nothing changed no timer is armed. The file keeps only the most
// likely applications, so that it always stays one the next start reads back; counts that reach
// the end of their range stay there.

#include "platform/foundation/run_loop.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class Usage {
public:
    static Usage& shared();

    inline static constexpr double kHalfLifeUses = 400;
    inline static constexpr double kFollowWeight = 20;
    inline static constexpr std::size_t kSuccessorsKept = 4;
    inline static constexpr std::int64_t kSuccessorLimit = 64;
    inline static constexpr std::size_t kRecentKept = 2;
    inline static constexpr double kRestartWindow = 600;
    inline static constexpr std::int64_t kHeadStart = 0;
    // The score names another than the oldest only when it is this many times less likely.
    inline static constexpr double kScoreMargin = 2;
    inline static constexpr std::int64_t kMostHalvings = 6;
    // A footprint read from the file is believed up to this (MB).
    inline static constexpr std::int64_t kLargestFootprint = std::int64_t(1) << 31;
    inline static constexpr double kSaveDelay = 60;
    // The file is read only up to this size.
    inline static constexpr std::size_t kMaximumFileSize = 256 * 1024;
    // What the file keeps: the 200 most likely applications, more than a phone holds installed
    // (with identifiers of ordinary length and four successors each, about 100 KB, under half the
    // read limit), and fewer when their identifiers are so long that the file would pass half the
    // read limit.
    inline static constexpr std::size_t kMostKept = 200;
    inline static constexpr std::size_t kMaximumWrittenSize = kMaximumFileSize / 2;

    // Reads what was learned from the file (at start).
    void load();
    // The application came to the foreground while the switch is on.
    void noteForeground(const std::string& bundleID);
    // It came to the foreground while the switch is off: nothing is learned, but that was its
    // return after our close, so a later use while on is a plain one.
    void noteForegroundUnlearned(const std::string& bundleID);
    // One of our closes was performed.
    void noteClose(const std::string& bundleID);
    // It freed memory: the free figures (whole MB) just before and just after it, switch on.
    void noteFreed(const std::string& bundleID, std::int64_t freeBefore, std::int64_t freeAfter);
    // The decayed uses: higher is more likely to come to the foreground again soon; 0 for one
    // never seen.
    double likelihood(const std::string& bundleID) const;
    // Of the closable suspects (oldest first), the one to close; nothing for none. Remembers what
    // each expert named, for its restarts.
    std::optional<std::size_t> pick(const std::vector<std::string>& closable);
    // Whether the score's expert is followed now, and each expert's halvings (its weight is
    // 2^-halvings of the heavier's).
    bool trustsTheScore() const { return halvings_[1] < halvings_[0]; }
    std::int64_t rulesHalvings() const { return halvings_[0]; }
    std::int64_t scoreHalvings() const { return halvings_[1]; }
    std::int64_t footprint(const std::string& bundleID) const;
    // Every application learned, most likely first.
    std::vector<std::pair<std::string, double>> ranked() const;
    // Forgets everything and calls off a pending write (tests starting afresh).
    void reset();

private:
    Usage() = default;
    void changed();
    void save();
    std::vector<std::uint8_t> fileOf(const std::vector<std::pair<std::string, double>>& ranked, std::size_t count) const;

    struct Score {
        double value = 0;
        std::int64_t at = 0; // uses_ when value was brought up to date
    };
    std::int64_t uses_ = 0;
    std::unordered_map<std::string, Score> scores_;
    // What came to the foreground right after each application, with counts.
    std::unordered_map<std::string, std::map<std::string, std::int64_t>> next_;
    std::optional<std::string> front_; // the application last in front
    std::unordered_map<std::string, sv::Clock::Duration> lastClose_; // run-loop time of our last close of each
    void countRestart(int expert);
    void setHalvings(std::int64_t rules, std::int64_t score);
    std::int64_t halvings_[2] = { 0, kHeadStart }; // the rules', the score's
    std::unordered_map<std::string, std::int64_t> footprint_; // MB
    // Picks where the experts named different suspects, while the home screen runs and for the
    // restart window: what each named, until it came back.
    struct Trial {
        sv::Clock::Duration at;
        std::optional<std::string> name[2];
    };
    std::vector<Trial> trials_;
    std::optional<sv::RunLoop::TimerId> saveTimer_;
    bool reportedTrouble_ = false;
};
