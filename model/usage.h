#pragma once
// What Learn From Use learns and which suspect it closes, stated on its own like the rest of the
// model.
//
// The rule:
//  - Learning. Every time an application comes to the foreground (state 4) it earns one use, two
//    when it comes back within 60 s of a close of ours (a regretted close); older uses count less,
//    halving every kHalfLifeUses uses learned since. The clock of the decay is the count of uses,
//    not time: nothing fades while the phone lies idle, and nothing learned depends on a clock.
//    It also learns what follows what: each application keeps up to kSuccessorsKept applications
//    that came to the foreground right after it, with a count each (a newcomer takes the place of
//    the lowest count, of equals the first identifier in byte order; when a count reaches
//    kSuccessorLimit, every count of that application halves, rounded down, and those at 0 leave).
//  - The likelihood of an application: its decayed uses plus kFollowWeight times the share of
//    the successors of the application last in front that it took.
//  - Footprints. At each close of ours the free memory just before and just after it (the whole
//    MB the library compares) shows what the application held: a rise is its footprint, averaged
//    with the one learned before (half each, rounded down). No rise teaches nothing.
//  - Two experts, each naming a suspect among the closable ones (oldest first):
//    the rules: the oldest;
//    the score: the newest (the application just left) is kept while another may be closed, and
//    so is the one before it. Of the rest, it names another than the oldest only when that one's
//    likelihood + 1 is less than half the oldest's (kScoreMargin), and only one whose close frees
//    no less than the oldest's would (its footprint at least the oldest's; an application without
//    a learned footprint counts as the mean of those learned, rounded down; with none learned, all
//    count alike); of those, the least likely, the oldest of equals. Otherwise it names the oldest.
//  - Weights, learned from restarts. Each expert's weight is 2^-h, h its halvings, kept so that
//    the heavier has h = 0. Each pick where the two name different suspects is a trial of both:
//    when an application comes to the foreground within kRestartWindow of a pick at which an
//    expert named it, closing it was that expert's restart, whether or not it was closed,
//    and its weight halves (h + 1, once for the return however many of its trials named it; never
//    more than kMostHalvings below the other). A new phone starts with equal weights
//    (kHeadStart).
//  - The pick: the suspect the heavier expert names; of equal weights, the rules'. The trials
//    live only as long as the home screen runs.
//
// Why this shape (the way of regret-minimising caches with two experts, kept deterministic): no
// fixed blend of frequency and recency suits every person and every hour, so whom to follow is
// learned on the phone from what comes back. Both experts are tried at every pick where they
// differ, the one not followed too (what it named came back or did not), so learning never
// waits for the one followed to err. A return costs an expert one halving however often it named
// that application: the suspect of the expert not followed stays in the list and is named again at
// every pick, and counting each would sink that expert for one return while the followed one's
// suspect, closed, is named once. The margin keeps the score to picks where it is sure: where
// favourites change through the day its small differences mislead, and a pick that merely matches
// the oldest's likelihood gains nothing over the rules. The footprint bounds the score's pick, not
// its order: a close that frees at least what the rules' close would leaves memory low no longer,
// while dividing the likelihood by the footprint (tried) closed large favourites that came back
// and held memory low longer. Equal weights at the start (a head start of 2 for the rules was
// tried): with the margin what the score disagrees on is seldom wrong, a new phone follows the
// rules until one of their names comes back, and one restart of the score's hands the pick back
// to them. The bound
// on the halvings is how far the loser can fall behind, so that favourites that change are
// followed again after a few restarts. Heavier wins (no sampling), the halvings are integers and
// the margin a doubling: the library and the model agree to the millisecond with no rounding
// between them. Recency guards what a plain count gets wrong, the return to the application just
// left (A, B, A).

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace model {

inline constexpr double kHalfLifeUses = 400;
inline constexpr double kReturnExtra = 1;
inline constexpr double kFollowWeight = 20;
inline constexpr std::size_t kSuccessorsKept = 4;
inline constexpr std::int64_t kSuccessorLimit = 64;
inline constexpr std::size_t kRecentKept = 2;
inline constexpr double kRestartWindow = 600;
inline constexpr std::int64_t kHeadStart = 0;
inline constexpr double kScoreMargin = 2;
inline constexpr std::int64_t kMostHalvings = 6;

enum class Expert { Rules = 0, Score = 1 };

// Of n closable suspects (oldest first), how many from the oldest the pick may take: all but the
// newest `kept`, at least one.
std::size_t pickable(std::size_t n, std::size_t kept = kRecentKept);

// One application's successors and their counts.
using Successors = std::map<std::string, std::int64_t>;
// The successor came after the application whose row this is.
void learnSuccessor(Successors& row, const std::string& next);
// The share of the row's counts that `next` took; 0 for no row or an empty one.
double successorShare(const Successors* row, const std::string& next);

class Usage {
public:
    // Which of the closable suspects (oldest first) to close; nothing for none.
    using Picker = std::function<std::optional<std::size_t>(const std::vector<std::string>& closable)>;

    // The application came to the foreground at `now`; returned: within 60 s of a close of ours.
    void foreground(const std::string& id, bool returned, double now = 0);
    // One of our closes, with the free memory (whole MB) just before and just after it.
    void closed(const std::string& id, std::int64_t freeBefore, std::int64_t freeAfter);
    // The home screen started again: what the experts named is forgotten, the rest kept.
    void restarted() { named_.clear(); }
    // Higher is more likely to be opened again soon.
    double likelihood(const std::string& id) const;
    // The decayed uses alone.
    double uses(const std::string& id) const;
    // The suspect to close, at `now`; remembers what each expert named.
    std::optional<std::size_t> pick(const std::vector<std::string>& closable, double now = 0);
    // The suspect each expert names, without remembering it.
    std::optional<std::size_t> named(Expert expert, const std::vector<std::string>& closable) const;
    // The expert followed now.
    Expert trusted() const;
    // An expert's halvings: its weight is 2^-halvings of the heavier's.
    std::int64_t halvings(Expert expert) const { return halvings_[static_cast<int>(expert)]; }
    void setHalvings(std::int64_t rules, std::int64_t score);
    // The footprint learned of an application (MB), 0 for none.
    std::int64_t footprint(const std::string& id) const;
    const std::map<std::string, std::int64_t>& footprints() const { return footprint_; }
    // What picks in the rule's place, experts and all: the replay's foresight bound
    // (playback/). Nothing: the rule.
    void answerWith(Picker picker) { answer_ = std::move(picker); }
    // What names the score's suspect in its place: the replay's predictor experiments.
    void scoreWith(Picker picker) { scorer_ = std::move(picker); }
    // The megabytes a close of the application is taken to free: its learned footprint, else the
    // mean of those learned (rounded down), else 1.
    std::int64_t megabytes(const std::string& id) const;
    // Every application learned, most likely first (ties by identifier).
    std::vector<std::pair<std::string, double>> ranked() const;
    bool empty() const { return score_.empty(); }
    const std::optional<std::string>& front() const { return last_; }
    const std::map<std::string, Successors>& successors() const { return follows_; }

private:
    std::uint64_t uses_ = 0;
    struct Score {
        double value = 0;
        std::uint64_t at = 0; // uses_ when value was last brought up to date
    };
    std::map<std::string, Score> score_;
    std::map<std::string, Successors> follows_;
    std::optional<std::string> last_; // the application last in front
    Picker answer_;
    Picker scorer_;
    std::int64_t halvings_[2] = { 0, kHeadStart }; // the rules', the score's
    std::map<std::string, std::int64_t> footprint_;
    // A pick where the experts differed: what each named, until it came back or the window passed.
    struct Trial {
        double at = 0;
        std::optional<std::string> name[2];
    };
    std::vector<Trial> named_;
    void countRestart(Expert expert);
};

} // namespace model
