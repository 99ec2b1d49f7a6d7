#pragma once
// The threshold suggested for this phone from its own diary of use, worked out by the replay's
// core (playback/suggestion.h, the code of sleepvane-replay) on the main run loop, one step a
// turn so that the pane answers touches meanwhile: a one-shot timer a step, the first kFirstStep
// after the start (the pane's first frame is on the screen by then), none once the work is done
// or its owner is gone. Nothing is read before the first step. What it found is kept beside the
// diary (slv::diary::SuggestionPath) under a key of the diary's whole days and the lists, and read
// back instead of worked out again while they stay the same. What the pane shows of it (the row's
// figure and the footer) is worded here.

#include "contract/threshold.h"
#include "playback/suggestion.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class SLVThresholdSuggestion : public std::enable_shared_from_this<SLVThresholdSuggestion> {
public:
    // The slider's values: its range, in its steps.
    static constexpr replay::SliderRange kSlider {};
    static constexpr double kFirstStep = 0.05;

    // Starts the work with the settings as they are now (current: the threshold the slider shows);
    // done runs once, when it is over, unless the suggestion is gone by then.
    static std::shared_ptr<SLVThresholdSuggestion> start(int current, std::function<void()> done);

    bool finished() const { return work_ && work_->done(); }
    // Once finished: nothing to show (too little diary, or none); else the figure of the row (the
    // slider's value advised) and the footer, beside the threshold the slider showed at the start.
    bool shown() const;
    std::optional<int> rowThreshold() const;
    std::string footer() const;
    // Whether the result was read back from what an earlier opening worked out.
    bool readBack() const { return fromSaved_; }

private:
    SLVThresholdSuggestion() = default;
    void scheduleStep(double delay = 0);
    void step();

    int current_ = 0;
    std::uint64_t key_ = 0;
    bool fromSaved_ = false;
    std::unique_ptr<replay::Suggestion> work_;
    std::function<void()> done_;
};
