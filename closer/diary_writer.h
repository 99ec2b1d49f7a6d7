#pragma once
// The diary's file, kept by a writer thread of the library's own (contract/diary_file.h says what is
// in it). The home screen's thread hands over a minute's events at a time and never waits: the
// thread numbers the sessions, appends, trims the oldest days by a whole-file rewrite, and sets
// aside a diary that is not one. Nothing of it is on the path of a decision or a close.

#include "closer/batch_writer.h"
#include "contract/diary_file.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class DiaryWriter {
public:
    static DiaryWriter& shared();
    DiaryWriter(const DiaryWriter&) = delete;
    DiaryWriter& operator=(const DiaryWriter&) = delete;

    // The home screen's clocks at a hand-over: the wall clock the events are dated by, and the
    // steady clock that no change of the time moves.
    struct Present {
        std::int64_t wallMs = 0;
        std::int64_t steadyMs = 0;
    };
    // Hands events over to be appended, in order, as lines whose sessions the writer numbers:
    // those noted under the off stamp given, which the writer checks again under the diary's lock.
    void append(std::vector<slv::diary::DiaryLine> events, std::int64_t stamp, Present present);
    // Hands over the diary's deletion, done after what was handed over before it.
    void remove();
    // The last deletion failed (the home screen's thread asks it again at its next look).
    bool removeFailed() const { return removeFailed_.load(); }
    // Returns once everything handed over so far is done.
    void flush();
    // Waits for the writer, then forgets the file it knew (tests starting afresh).
    void reset();

    // Events waiting for the writer beyond this many are dropped (a stuck disk must not grow
    // the home screen without end).
    inline static constexpr std::size_t kMaximumWaiting = 100000;

private:
    DiaryWriter();
    struct Job {
        bool remove = false;
        std::vector<slv::diary::DiaryLine> events;
        std::int64_t stamp = 0;
        Present present;
    };
    // How long the writer waits for an off's delete to let go of the lock.
    inline static constexpr double kLockTimeout = 2;
    void hand(Job job);
    void work(std::vector<Job>& jobs);

    // The writer thread's own from here on.
    // What the writer keeps of a line in the file: its text for a rewrite, and what trimming and
    // the sessions' numbering need of it.
    struct Stored {
        std::string text; // the line with its "\n"
        long day = 0;
        std::int64_t session = 0;
        std::int64_t timeMs = 0;
    };
    struct FileState {
        sv::fs::FileInfo info;
        bool missing = false;
        bool torn = false; // ends in a line cut short, or lacks its header line: rewritten next
        long oldestDay = 0; // of the lines in the file, when it has any
        bool hasLines = false;
        // A line dated day is in the file.
        void hold(long day) { oldestDay = std::exchange(hasLines, true) ? std::min(oldestDay, day) : day; }
    };
    // Where the session numbering stands after the last line written.
    struct Sessions {
        std::int64_t session = 0;
        std::optional<std::string> front; // the application in the foreground
        std::int64_t emptySince = 0;      // when the foreground last became empty
    };
    enum class Load { Ready, Retry, Trouble };
    void write(const std::vector<slv::diary::DiaryLine>& events, const Present& present);
    void removeNow();
    long trimDay(const std::vector<Stored>& fresh, const Present& present);
    Load load(std::optional<std::vector<Stored>>& lines);
    bool readLines(std::vector<Stored>& lines, sv::fs::FileInfo& info, bool& torn, std::string& hostile);
    std::vector<Stored> linesOf(const std::vector<slv::diary::DiaryLine>& events, Sessions& sessions) const;
    bool rewrite(const std::vector<Stored>& old, const std::vector<Stored>& fresh, long present);
    bool setAside(const std::string& why);
    void trouble();

    std::optional<FileState> file_;
    Sessions sessions_;
    bool reportedTrouble_ = false;
    bool reportedRemove_ = false;
    // Wall minus steady at the first hand-over this writer saw: the home screen's own time.
    std::optional<std::int64_t> startOffset_;
    std::atomic<bool> removeFailed_ { false };

    using Writer = BatchWriter<Job>;
    Writer writer_; // last: its thread ends before the members it uses go
};
