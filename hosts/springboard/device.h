#pragma once
// The simulated device behind the home screen's classes: memory (total, a base use, the footprint
// of each running application), the app switcher, the telephone and the processes.

#include "contract/sus_app_list.h"
#include "hosts/common/scenario.h"
#include "platform/runtime/object.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sb {

enum class Call { None, Active, Incoming, Outgoing };
// What the `call` command and the `call` event line call each state, in the order of Call. The
// host's own words, on purpose not the model's: the referee holds the two against each other.
inline constexpr const char* kCallWords[] = { "none", "active", "incoming", "outgoing" };

class Device {
public:
    static Device& shared();
    // Back to a device just out of the box (tests).
    void reset();

    static constexpr std::int32_t kPageSize = 4096;

    void setMemory(std::optional<double> totalMB, std::optional<double> baseMB);
    // Pins what the kernel reports as free; nothing returns to the model.
    void pinFree(std::optional<double> freeMB) { pinnedFreeMB_ = freeMB; }
    double totalMB() const { return totalMB_; }
    double baseMB() const { return baseMB_; }
    double appsMB() const;
    // Free memory of the model (never below 0), or the pinned figure.
    double freeMB() const;
    bool freePinned() const { return pinnedFreeMB_.has_value(); }
    // Free memory as the kernel reports it: free and inactive page counts.
    void pages(std::uint32_t& freePages, std::uint32_t& inactivePages) const;
    // Makes the kernel queries of this process answer for the device.
    void installKernelProviders() const;

    // The application runs and comes to the top, first in the switcher.
    void launch(const std::string& bundleID);
    // The home screen comes to the front: no application on top.
    void goHome() { top_.reset(); }
    // What the close box does: the application stops and leaves the switcher. False when it was
    // not running.
    bool close(id application);
    bool running(std::string_view bundleID) const;
    // Running applications, most recently launched first.
    const std::vector<std::string>& switcher() const { return switcher_; }
    const std::optional<std::string>& top() const { return top_; }

    Call call() const { return call_; }
    // Tells the home screen's process (sv::home::note::CallStatusChanged) when it changes.
    void setCall(Call call);

    // The process object of an application, or null when it has none.
    id process(id application);

    // Where `show suspects` finds the library's suspect list.
    using SuspectSource = std::function<const SuspectList*()>;
    void setSuspectSource(SuspectSource source) { suspects_ = std::move(source); }
    const SuspectList* suspects() const { return suspects_ ? suspects_() : nullptr; }

    // Waits until the library's close history holds every close made so far (`show history`).
    void setHistoryFlush(std::function<void()> flush) { historyFlush_ = std::move(flush); }
    void flushHistory() const
    {
        if (historyFlush_)
            historyFlush_();
    }

    // Waits until the library's diary holds everything it handed to its writer (`show diary`).
    void setDiaryFlush(std::function<void()> flush) { diaryFlush_ = std::move(flush); }
    void flushDiary() const
    {
        if (diaryFlush_)
            diaryFlush_();
    }

    // Makes the library hand over what waits for its minute's write at once (`show diary now`).
    void setDiaryWriteNow(std::function<void()> write) { diaryWriteNow_ = std::move(write); }
    void writeDiaryNow() const
    {
        if (diaryWriteNow_)
            diaryWriteNow_();
    }

    // What the library learned from use, most likely first (`show usage`); nothing without a library.
    using UsageSource = std::function<std::vector<std::pair<std::string, double>>()>;
    void setUsageSource(UsageSource source) { usage_ = std::move(source); }
    std::optional<std::vector<std::pair<std::string, double>>> usage() const
    {
        return usage_ ? std::optional(usage_()) : std::nullopt;
    }

    // Told after every close, which frees memory between commands.
    void setChangeObserver(std::function<void()> observer) { changed_ = std::move(observer); }

private:
    double totalMB_ = 1024;
    double baseMB_ = 512;
    std::optional<double> pinnedFreeMB_;
    std::vector<std::string> switcher_;
    std::optional<std::string> top_;
    Call call_ = Call::None;
    std::map<std::string, sv::rt::Ref, std::less<>> processes_;
    SuspectSource suspects_;
    std::function<void()> changed_;
    std::function<void()> historyFlush_;
    std::function<void()> diaryFlush_;
    std::function<void()> diaryWriteNow_;
    UsageSource usage_;
};

// "SBProcess", the process and background-mode answers of "SBApplication",
// "SBTelephonyManager" and "SBAppSwitcherController" with its entries. After
// registerApplicationClasses.
void registerDeviceClasses();
void registerProcessClasses();
void registerTelephonyClasses();
void registerSwitcherClasses();
// A new "SBProcess" for the application scenarios name bundleID.
sv::rt::Ref makeProcess(const std::string& bundleID);

// launch, home, memory, free, call, show, settings
void addDeviceCommands(sv::host::Scenario& scenario);

// From now on reports `free <MB>`, `threshold <MB>` and `call <state>` events whenever what the
// device reports or the settings file holds has changed, looked at after every command and close.
void startMemoryEvents(sv::host::Scenario& scenario);

} // namespace sb
