#pragma once
// Predictors tried beside Learn From Use's rule (`learn-from-use:<knobs>`): the same kind of
// learning with other knobs, played through the model's pick in the rule's place. The rule itself
// is model::Usage's; with no knob turned these predict as it does.

#include "playback/policy.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace replay {

class Predictor {
public:
    explicit Predictor(const Knobs& knobs);
    // The application came to the foreground; returned: within 60 s of a close of ours.
    void foreground(const std::string& id, bool returned);
    double likelihood(const std::string& id) const;
    // Which of the closable suspects (oldest first) to close; megabytes: what closing one frees.
    std::optional<std::size_t> pick(const std::vector<std::string>& closable,
                                    const std::function<double(const std::string&)>& megabytes) const;

private:
    double decayed(const std::string& id) const;

    double half_, extra_, follow_, size_, margin_;
    int window_;
    bool recency_;
    std::size_t keep_;
    std::uint64_t uses_ = 0;
    struct Score {
        double value = 0;
        std::uint64_t at = 0;
    };
    std::map<std::string, Score> score_;
    std::vector<std::string> recent_; // window: the last uses, oldest first
    std::map<std::string, std::map<std::string, std::int64_t>> follows_;
    std::optional<std::string> last_;
};

} // namespace replay
