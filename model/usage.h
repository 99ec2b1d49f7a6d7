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
//  - The pick, among the closable suspects (oldest first): the newest (the application just left)
//    is kept while another may be closed, and so is the one before it; of the rest, the one with
//    the lowest likelihood goes, the oldest of equals.
//
// Recency guards what a plain count gets wrong, the return to the application just left (A, B,
// A); the count and the successors order the rest.

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

    // The application came to the foreground; returned: within 60 s of a close of ours.
    void foreground(const std::string& id, bool returned);
    // Higher is more likely to be opened again soon.
    double likelihood(const std::string& id) const;
    // The decayed uses alone.
    double uses(const std::string& id) const;
    std::optional<std::size_t> pick(const std::vector<std::string>& closable) const;
    // What picks in the rule's place: the replay's foresight bound and its predictor experiments
    // (tools/replay). Nothing: the rule.
    void answerWith(Picker picker) { answer_ = std::move(picker); }
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
};

} // namespace model
