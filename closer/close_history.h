#pragma once
// The library's side of the close history: each close it performs is recorded, and a close the
// user undid within a minute (the application came back to the foreground) is marked so.
//
// The home screen's thread only hands each change over. One writer thread of the library's own
// reads the file, applies every change handed over since its last turn and replaces the file
// atomically, so that neither a close nor a decision ever waits on the disk. A history file that
// cannot be read (or is no file) is never written over; its changes are dropped.

#include "closer/batch_writer.h"
#include "contract/history_file.h"
#include "platform/foundation/clock.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CloseHistory {
public:
    static CloseHistory& shared();
    CloseHistory(const CloseHistory&) = delete;
    CloseHistory& operator=(const CloseHistory&) = delete;

    // A close just performed. freeMemory: the figure a low-memory decision compared.
    void recordClose(std::string_view bundleID, std::string_view reason, std::optional<std::int64_t> freeMemory);
    // The application came back to the foreground: within the window after its last close, the
    // newest record of it gets the time it took.
    void noteForeground(std::string_view bundleID);
    // Returns once every change handed over so far is in the file (or was dropped).
    void flush();
    // Forgets the closes it remembers for reopen marks (tests starting afresh).
    void reset();

    struct Change {
        std::optional<slv::history::Record> close; // a close, or else a reopen mark
        std::string bundleID;
        double reopenedAfter = 0;
        sv::Date reopenedAt;                       // when it came back
    };
    // Applies one change to the file's entries: appends (keeping the newest kLimit) or marks the
    // newest record of the application, if that record is dated within the window before the
    // return (the close it stands for may have been lost with a replaced or unwritable file).
    static void apply(sv::Array& entries, const Change& change);

private:
    CloseHistory();
    void hand(Change change);
    void write(const std::vector<Change>& changes);

    // The home screen's thread only: when each application was last closed (run-loop time).
    std::unordered_map<std::string, sv::Clock::Duration> lastClose_;
    bool reportedTrouble_ = false; // the writer's: a file it could not keep was logged

    using Writer = BatchWriter<Change>;
    Writer writer_; // last: its thread ends before the members it uses go
};
