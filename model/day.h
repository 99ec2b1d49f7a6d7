#pragma once
// The closing rules of Sleepvane, stated once more and on their own: what the home screen's
// library must close, when, what its re-check chain posts, what stays on the suspect list and
// what the close history holds. It shares no code with the library, the pane or the platform, so
// that the referee can hold them to it (tests/referee) and the replay tool can play long traces
// on it.
//
// A Day is a discrete-event simulator on a clock of its own that starts at 0 and moves only in
// advance(): tell it what happens at the present moment (install, stateChanged, launch, call,
// settings...), then advance; it answers with events (closed, posted) through the listener, and
// with the suspect list and the history whenever asked. No I/O, no threads, no wall clock.
//
// What a user relies on, in the order a state change meets it (the library's hook):
//  1. Every state change puts the application at the end of the suspect list (once: one already
//     on it keeps its place).
//  2. State 4 (back in front): calls off its pending closes (one that fell due during a call
//     too), takes it off the list, drops a decision held back for it by a call, and marks the
//     newest history record of it "reopened after" when it was closed within 60 s and that record
//     is dated within those 60 s.
//  3. State 3 (backgrounded): a process that cannot hold background tasks (or no process) enters
//     the close path, and leaves the list first. An application declaring background audio but
//     doing nothing (no location, no VoIP, not playing, recording, monitoring sockets or holding
//     watchdog assertions) enters the close path and stays on the list. Anything else is spared
//     and leaves the list.
//  4. State 2 enters the close path; other states do nothing more.
//  Close path:
//  5. During a call (active, ringing or being placed) nothing is decided: the application is held
//     back until the call ends, in the order they left.
//  6. No identifier: nothing. Never list: off the suspect list, nothing. The three fixed
//     identifiers: nothing (they stay on the list).
//  7. Always list, or Close Every App: a close in 1 s ("Always list" / "Close every app"), off
//     the list. Memory is not consulted.
//  8. Otherwise compare free memory (whole MB) with the threshold, at or below meaning low:
//     with at most one suspect, close this application in 1 s ("Low memory") and take it off;
//     with two or more, close the oldest closable suspect in 1 s and start the re-check chain.
//  9. The oldest closable suspect: walking from the oldest, a fixed identifier is passed over (and
//     stays), one without identifier or on the never list is dropped, the first other one is taken.
//  10. A close taps the switcher's close box of that identifier 1 s after it was scheduled, unless
//     called off, the application is on top or not running, or it is on the never list by then;
//     it is recorded in the history (newest 100 kept).
//  11. The chain: while memory stays low and the list holds a closable suspect, one more close
//     every 4.6 s (1 s and the chain's wait), one chain at a time.
//  12. A call's end decides what it held once, afresh (the settings and free memory of that
//     moment): first the applications of the closes that fell due during it and were not called
//     off (in the order they fell due; each rejoins the front of the suspect list if not on it),
//     then those that left during it (in the order of their latest leave; a return drops one, and
//     so does a close of it scheduled meanwhile), each once, take the close path, except that only
//     the first to reach the memory comparison makes it: one low-memory close of the closable
//     suspect the rules pick (or of itself, as the only suspect), and the chain goes on from that
//     close. If none got that far and the call held the chain (a re-check, or a fallen-due close
//     marked for re-check, called off or not), the re-check is made then, unless the chain posted
//     its name since.
//  13. Learn From Use ("LearnFromUse" on in the settings file): the closable suspect taken, by
//     the decision and by the chain alike, is the one model/usage.h's rule picks (the two left
//     last kept while another may go; of the others the least likely to be opened again, ties:
//     the oldest); on the way every never-listed suspect and one without identifier is dropped and
//     fixed ones stay. While the switch is on, every state 4 of an application with an identifier
//     is a use learned; the return within 60 s of a close is the first state 4 after it, switch on
//     or off. Who may be closed, when, and how many do not change.
//  14. The threshold: "ramValue" as a whole number; 175 when there is no settings file, no such
//     key, or a value that is no number; a number outside the slider's range (30 to 300) reads as
//     the nearer end, one between its steps of 5 as it stands.
//  15. The switches, Close Every App ("alwaysKill") and Learn From Use ("LearnFromUse"): on for
//     true and for any number but 0; off for false, 0, a NaN (no number), anything that is no
//     number (a text, a list) and when there is no settings file or no such key.
//  16. The diary of use, kept while Learn From Use is on (model/day_diary.cpp): each state 4
//     ("Opened"), 2 and 3 ("Closed", the state its detail) of an application with an identifier,
//     each close performed ("Sleepvane Close", its reason the detail), each call's start and end
//     ("Call Start", "Call End", the application "-"), with the moment (wall milliseconds) and the
//     free memory the library reads then (just after a close). The switch is read at each of them
//     (a state change of 4, 2 or 3 of any application, a close, a call's start or end) and when
//     the write falls due: found off, what waits is dropped, and the diary is deleted if the
//     switch was seen on at the read before. Off means gone: every save of the switch as off
//     deletes the diary at once and moves an off stamp, and a read that finds the stamp moved
//     since the read before drops what waits and deletes the diary, even with the switch on
//     again. Only the switch turns the diary off: with no settings file, no "LearnFromUse" or one
//     that is neither a boolean nor a number (a NaN included), nothing is noted (what waits is
//     dropped) and nothing deleted. (The diary's bounds, 7 dates and 2 MB, are no part of the
//     model: the referee's days stay within one date and far below 2 MB.)
//
// Mechanics kept for fidelity with the library (no user sees them; the referee compares them):
//  - Free memory: the kernel's whole 4 KB pages, read as MB with four decimals ("%.4f") and the
//    whole part compared.
//  - The chain's wait is the single-precision 3.6 s: a close marked for re-check, once due (closed
//    or not), posts "norv.swr.kill.app"; 3.6f s later "norv.swr.kill.test" follows (a later
//    "norv.swr.kill.app" starts the wait anew: one wait at a time), and then, if the list is not
//    empty, memory is low and no marked close is still to come, the pick is closed with
//    re-check. Either name posted by anyone runs its step. A re-check during a call is held back
//    to the call's end.
//  - Posts are queued and delivered in the order posted, after the step that posted them.
//  - Scheduling a close of an identifier calls off every earlier pending close of it; a close
//    falling due during a call waits for the call's end.
//  - The diary's notes wait for a write 60 s after the first of them; lines are numbered in
//    sessions as they are written: the first line of a diary begins session 1, and an application
//    that comes to the front after 300 s or more with none there begins the next.

#include "model/usage.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace model {

struct App {
    std::string key;   // what scenarios call it; its identifier unless hasIdentifier is false
    double memoryMB = 0;
    bool hasIdentifier = true;
    // Declared background modes.
    bool audio = false;
    bool location = false;
    bool voip = false;
    // Its process and what it does.
    bool hasProcess = true;
    bool taskAssertions = true;
    bool playing = false;
    bool recording = false;
    bool sockets = false;
    bool watchdog = false;
};

enum class Call { None, Active, Incoming, Outgoing };

struct HistoryRecord {
    std::string bundleID;
    double date = 0;                       // wall seconds (the day's wall origin plus its clock)
    std::string reason;                    // "Always list", "Close every app", "Low memory"
    std::optional<std::int64_t> freeMemory; // low memory only
    std::optional<double> reopenedAfter;
    bool operator==(const HistoryRecord&) const = default;
};

// One line of the diary: the model's own on purpose, not the contract's slv::diary::DiaryLine, so
// that the referee compares the library's file with a statement that shares none of its code (the
// event type as its text, as the file has it).
struct DiaryLine {
    std::int64_t session = 0;
    std::int64_t timeMs = 0;
    std::string app;
    std::string kind; // "Opened", "Closed", "Sleepvane Close", "Call Start", "Call End"
    std::int64_t freeMB = 0;
    std::string detail;
    bool operator==(const DiaryLine&) const = default;
};

struct Event {
    enum class Kind { Closed, Posted };
    double time = 0;
    Kind kind = Kind::Closed;
    std::string what; // the application's key, or the name posted
};

// The identifiers never closed: the home screen's own and the telephone's.
inline constexpr const char* kFixedIdentifiers[] = { "com.apple.springboard", "com.apple.mobilephone",
                                                     "com.apple.AdSheetPhone" };
// What a scenario calls each call state, in the order of Call.
inline constexpr const char* kCallWords[] = { "none", "active", "incoming", "outgoing" };

inline constexpr double kCloseDelay = 1.0;
inline constexpr double kRecheckDelay = static_cast<double>(3.6f);
inline constexpr double kReopenWindow = 60;
inline constexpr std::size_t kHistoryLimit = 100;
inline constexpr std::int64_t kDefaultThreshold = 175;
inline constexpr std::int64_t kMinimumThreshold = 30;
inline constexpr std::int64_t kMaximumThreshold = 300;

// A switch's reading: what is stored under its key as a number (true 1, false 0), or nothing for
// a missing key or a value that is no number.
inline bool switchOn(std::optional<double> stored)
{
    return stored && *stored == *stored && *stored != 0;
}
inline constexpr const char* kKillApp = "norv.swr.kill.app";
inline constexpr const char* kKillTest = "norv.swr.kill.test";

class Day {
public:
    using Listener = std::function<void(const Event&)>;
    explicit Day(double wallOrigin = 0, Listener listener = {});

    double now() const { return now_; }
    // Lets time pass: every close and re-check due up to now() + seconds happens, in order.
    void advance(double seconds);

    // What happens at the present moment.
    void install(const App& app);         // installs or re-describes
    void stateChanged(const std::string& key, int state);
    void launch(const std::string& key);  // runs, first in the switcher, on top
    void home();                          // nothing on top
    void memory(std::optional<double> totalMB, std::optional<double> baseMB);
    void pinFree(std::optional<double> freeMB);
    void call(Call call);
    void post(const std::string& name);   // a system-wide post reaching the home screen
    // The settings file. A file written only with other keys has no "ramValue".
    void setNever(std::vector<std::string> ids);
    void setAlways(std::vector<std::string> ids);
    void setThreshold(std::optional<std::int64_t> ramValue); // nothing: present but no number
    void setAlwaysKill(bool on);
    // readable: a boolean or a number (a NaN is neither, and reads as off but says nothing to the
    // diary).
    void setLearnFromUse(bool on, bool readable = true);
    // What Learn From Use has learned: carried from day to day as the library's file carries it.
    const Usage& usage() const { return usage_; }
    void setUsage(Usage usage) { usage_ = std::move(usage); }
    void touchSettings();                 // the file comes to exist (a catalogue export)

    // What is to be seen.
    std::vector<std::string> suspects() const;
    const std::vector<HistoryRecord>& history() const { return history_; }
    // The minute's write, now, if anything waits for it (`show diary now`).
    void writeDiaryNow();
    // The diary's lines as written so far (what waits for the write is not in it).
    const std::vector<DiaryLine>& diary() const { return diary_; }
    std::vector<std::string> switcher() const { return switcher_; }
    std::int64_t threshold() const;
    std::int64_t freeFigure() const;      // the whole MB the library compares
    double freeMB() const;
    bool callOn() const { return call_ != Call::None; }

private:
    struct Close {
        std::string app;
        std::string bundleID;
        bool killAgain = false;
        bool calledOff = false;
        std::string reason;
        std::optional<std::int64_t> freeMemory;
    };
    struct Due {
        double at;
        std::uint64_t order;
        bool operator<(const Due& other) const { return at != other.at ? at < other.at : order < other.order; }
    };
    enum class Job { Close, Recheck, DiaryWrite };

    App& app(const std::string& key);
    const App* find(const std::string& key) const;
    std::optional<std::string> identifier(const std::string& key) const;
    bool listed(const std::vector<std::string>& list, const std::optional<std::string>& id) const;
    void dropSuspect(const std::string& key);
    // Without lowMemoryStep it stops short of comparing free memory; true when it compared.
    bool closePath(const std::string& key, bool lowMemoryStep = true);
    void schedule(const std::string& key, const std::string& bundleID, bool killAgain, std::string reason,
                  std::optional<std::int64_t> freeMemory);
    void callOff(const std::string& bundleID);
    bool closeNextSuspect(std::int64_t figure);
    void closeDue(std::uint64_t id);
    void recheck();
    void deliver(const std::string& name);
    void drainPosts();
    void emit(Event::Kind kind, const std::string& what);
    void callEnded();
    bool markedClosePending() const;
    bool diaryKept();
    void diaryNote(const char* kind, const std::string& app, std::string detail);
    void diaryWrite();

    double wallOrigin_;
    Listener listener_;
    double now_ = 0;
    std::uint64_t nextOrder_ = 1;

    std::map<std::string, App> apps_;
    std::vector<std::string> suspects_;   // oldest first
    std::vector<std::string> switcher_;   // most recent first
    std::optional<std::string> top_;
    double totalMB_ = 1024;
    double baseMB_ = 512;
    std::optional<double> pinnedFreeMB_;
    Call call_ = Call::None;

    bool settingsExist_ = false;
    std::vector<std::string> never_;
    std::vector<std::string> always_;
    std::optional<std::int64_t> ramValue_;
    bool ramValueKey_ = false;
    bool alwaysKill_ = false;
    bool learnFromUse_ = false;
    Usage usage_;

    std::map<Due, std::pair<Job, std::uint64_t>> due_;   // closes and re-checks to come
    std::map<std::uint64_t, Close> closes_;               // closes not yet done, by order
    std::vector<std::uint64_t> heldCloses_;               // fell due during a call
    std::vector<std::string> heldApps_;                   // left during a call
    bool heldRecheck_ = false;
    std::optional<Due> recheckWait_;                      // the chain's 3.6 s wait, when running
    bool awaitingRecheck_ = false;                        // "norv.swr.kill.app" posted, no re-check since
    std::vector<std::string> posts_;                      // posted, not yet delivered

    std::vector<HistoryRecord> history_;
    std::map<std::string, double> lastClose_;

    std::vector<DiaryLine> diary_;         // written
    std::vector<DiaryLine> diaryWaiting_;  // noted, their session still to come
    std::optional<Due> diaryWrite_;
    std::optional<bool> diarySwitchSeen_;
    bool learnFromUseReadable_ = false;        // the diary's switch is on or off, not unknown
    std::int64_t diaryOffs_ = 0;               // the off stamp in the settings file
    std::optional<std::int64_t> diaryOffsSeen_; // as last read
    std::optional<std::string> diaryFront_; // the writer's sessions
    std::int64_t diaryEmptySince_ = 0;
};

} // namespace model
