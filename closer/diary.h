#pragma once
// The diary of use, on the home screen's thread: each arrival in and leave from the foreground,
// each of our closes and each call's start and end, with its time and the free memory then,
// noted only while Learn From Use is on. Notes wait for a run-loop timer that hands them to the
// diary's writer thread a minute after the first of them, so at most once a minute, and no
// timer is armed while nothing was noted. The switch and its off stamp are read at each note and
// again when the timer fires (contract/diary_file.h, "Off means gone"): found off, or the stamp moved
// since the last look, what waits is dropped and the diary deleted; found neither on nor off,
// nothing is noted and nothing deleted.

#include "closer/diary_writer.h"
#include "platform/foundation/run_loop.h"
#include "platform/runtime/object.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

class Diary {
public:
    static Diary& shared();

    inline static constexpr double kWriteDelay = 60;
    // Notes of one minute beyond this many are dropped.
    inline static constexpr std::size_t kMaximumWaiting = 10000;

    // At start-up: follows the call state. Before anyone else who acts on a call's end, so that
    // the call's end comes before what it lets happen.
    void start();
    // The home screen reported a state change: 4 is an arrival, 2 and 3 a leave, others nothing.
    void noteStateChange(id application, int state);
    // One of our closes was performed, for this reason.
    void noteClose(std::string_view bundleID, std::string_view reason);
    // The minute's write, now, if anything waits for it.
    void writeNow();
    // Drops what waits and forgets the switch and the call (tests starting afresh).
    void reset();

private:
    Diary() = default;
    bool kept();
    void drop();
    void note(slv::diary::DiaryLine line);
    void hand();
    void callChanged();

    std::vector<slv::diary::DiaryLine> waiting_; // their sessions for the writer to number
    std::optional<sv::RunLoop::TimerId> timer_;
    std::optional<bool> switchSeen_; // the switch as last read; nothing before the first read
    std::optional<std::int64_t> stampSeen_; // the off stamp as last read, which waiting events carry
    bool inCall_ = false;
};
