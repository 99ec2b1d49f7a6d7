#pragma once
// What Learn From Use learns, stated on its own like the rest of the model: how likely each
// application is to come to the foreground again soon.
//
// The rule: every time an application comes to the foreground (state 4) it earns one use, two
// when it comes back within 60 s of a close of ours (a regretted close); older uses count less,
// halving every kHalfLifeUses foreground changes since (so the score is frequency over a sliding
// window, with recency); and an application that tends to follow the one in front earns
// kFollowWeight times the share of the front application's successors it took. The least likely
// is the one with the lowest score; ties go to the oldest suspect. The clock of the decay is
// the count of uses, not time: nothing to learn while the phone lies idle, and nothing in the
// learned file depends on a clock.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace model {

// A predictor's knobs; the defaults are the library's rule, the others what was tried on
// replayed days (tools/replay, docs/replay.md).
struct Predictor {
    double halfLifeUses = 400;
    double returnExtra = 1;   // added for a return within 60 s of our close
    double followWeight = 0;  // what tends to follow the application in front
    int windowUses = 0;       // >0: a plain count over the last windowUses uses instead of decay
    bool recencyOnly = false; // the number of uses since the last one, nothing else
};

class Usage {
public:
    explicit Usage(Predictor predictor = {})
        : p_(predictor)
    {
    }
    // The application came to the foreground; returned: within 60 s of a close of ours.
    void foreground(const std::string& id, bool returned);
    // Higher is more likely to be opened again soon.
    double likelihood(const std::string& id) const;
    // What answers in the rule's place: the replay's foresight bound, which knows when each
    // application is next used (tools/replay). Nothing: the rule.
    void answerWith(std::function<double(const std::string& id)> likelihood) { answer_ = std::move(likelihood); }
    // Every application learned, most likely first (ties by identifier).
    std::vector<std::pair<std::string, double>> ranked() const;
    bool empty() const { return score_.empty(); }

private:
    double decayed(const std::string& id) const;

    Predictor p_;
    std::uint64_t uses_ = 0;
    struct Score {
        double value = 0;
        std::uint64_t at = 0; // uses_ when value was last brought up to date
    };
    std::map<std::string, Score> score_;
    std::vector<std::string> recent_; // windowUses > 0: the last uses, oldest first
    std::map<std::string, std::map<std::string, double>> follows_;
    std::optional<std::string> last_; // the application last in front
    std::function<double(const std::string&)> answer_;
};

} // namespace model
