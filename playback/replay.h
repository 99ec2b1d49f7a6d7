#pragma once
// Plays a day on a simulated device under one policy and one threshold, and counts what it cost.
//
// The device has the system's own low-memory killer. When a launch takes free memory below the
// floor, the system closes a backgrounded application of its own choosing: the largest in the
// lowest band, as the kernel's low-memory killer on a phone picks (the highest oom_score_adj
// first, of those the largest resident size). The bands, lowest first: every backgrounded
// application but the one left last, then the one left last (a phone's "previous application"
// band). When none is left, it closes the application in front. It kills until free memory is at
// the floor again; nothing is closed at a leave, on a timer or by the policy's doing.

#include "contract/history_file.h"
#include "contract/slider.h"
#include "playback/day.h"
#include "playback/footprints.h"
#include "playback/policy.h"

#include <optional>
#include <string>
#include <vector>

namespace replay {

// The floor's default, as a share of total memory: the critical level at which the memory-status
// killer of the phone's kernel starts closing applications, 5 % of physical memory (XNU,
// bsd/kern/kern_memorystatus.c, critical_threshold_percentage = 5). The kernel lowers it to 4 % on
// devices over 3 GB; the replay keeps 5 % for every device (--device floor= sets another).
inline constexpr double kFloorShare = 0.05;
// minutes_low counts the time free memory is under the floor plus this margin, the same line for
// every threshold: about one median application's footprint (90 MB) from the killer.
inline constexpr double kLowMarginMB = 100;

// The device a run plays on unless --device says otherwise: 3 GB, a third of it held by the
// system (docs/replay.md says why).
inline constexpr double kDefaultTotalMB = 3072, kDefaultBaseMB = 1024;

// The most memory a phone has, in MB (64 GB, well above any phone made): a device said to
// have more, or a free-memory figure above it, is a mistake or a lie, never a phone.
inline constexpr double kPhoneMaximumMB = 64 * 1024;

// A close is regretted when its application is opened again within kRegrettedWithin (s), as the
// close history marks one; an application opened again within kRestartWithin after a close or a
// system kill, whoever caused it, is a restart a person feels.
inline constexpr double kRegrettedWithin = slv::history::kReopenWindow;
inline constexpr double kRestartWithin = 600;

// How long after the last event a day's pending closes and re-checks still play out (the check
// against the library plays its host on as long).
inline constexpr double kTail = 60;

struct DeviceSize {
    // A small device, 1 GB with half of it for applications: memory is short on it most of the
    // day, which the tests want. The command line's default is kDefaultTotalMB, kDefaultBaseMB.
    double totalMB = 1024;
    double baseMB = 512;
    // Nothing: kFloorShare of the total (of a scenario's own total when it sets one); 0: the
    // system never kills.
    std::optional<double> floorMB = std::nullopt;
    double floorFor(double total) const { return floorMB.value_or(kFloorShare * total); }
};

// What the pane's slider can set, in MB: the settings file's threshold reads as the nearer end
// of this range, whatever is stored.
inline constexpr int kSliderMinimumMB = slv::kMinimumThreshold, kSliderMaximumMB = slv::kMaximumThreshold;
inline bool sliderHolds(int threshold) { return threshold >= kSliderMinimumMB && threshold <= kSliderMaximumMB; }

// A threshold as the library can be made to play it: the slider at the nearer end of its range,
// and memory moved by the difference (shiftMB taken from free memory), so that free memory in
// whole MB compares with ramValue exactly as it compares with the threshold.
struct SliderSetting {
    int ramValue = 0;
    double shiftMB = 0;
};
SliderSetting sliderSetting(int threshold);

// The cost of one policy at one threshold, summed over days.
struct Figures {
    std::string policy;
    int threshold = 0;
    long days = 0;
    long daysWithoutSystemKill = 0;
    long switches = 0;     // an application left the foreground (each a decision of the rules)
    long lowLeaves = 0;    // ... finding free memory (whole MB) at or below the threshold
    long launches = 0;     // an application came to the foreground
    long coldLaunches = 0; // ... and had to start anew
    // ... and waited for the system to free memory: found free memory under the floor plus
    // kLowMarginMB, or took it under the floor (the system's killer acted for it)
    long lowLaunches = 0;
    long closes = 0;       // the policy's
    // Opened again within 60 s (10 minutes, the 60 s ones included) after the policy closed it or
    // the system killed it: the restarts a person feels, whoever caused them.
    long restarts60s = 0;
    long restarts10min = 0;
    long regretted60s = 0; // the policy closed it, then it was opened again within 60 s
    long restartsAfterOurCloses10min = 0; // ... within 10 minutes (the regretted ones included)
    long systemKills = 0;  // the system's own killer closed an application, in front or not
    long foregroundKills = 0; // ... the one in front
    long restartsAfterSystemKills60s = 0; // killed by the system, then opened again within 60 s
    long restartsAfterSystemKills10min = 0; // ... within 10 minutes (the 60 s ones included)
    double secondsUnderThreshold = 0; // free memory at or below the threshold
    double secondsLow = 0;            // free memory under the floor plus kLowMarginMB
    double lowestFree = kNever;       // MB, once the system has acted; kNever when no day was played

    double per100Switches(long count) const { return switches ? 100.0 * double(count) / double(switches) : 0; }
    void add(const Figures& other);
};

// How much of the gap between the rules and the foresight bound a policy closes (1: all of it);
// nothing when there is no gap.
std::optional<double> shareOfGap(long rules, long policy, long bound);

// One close a policy made.
struct Closed {
    double time;
    AppId app;
};

// A policy that plans on the rules' own play of a day (the foresight bound) can be handed that
// play by whoever made it, instead of making it again; it holds for its next day only.
class PlansOnTheRules {
public:
    virtual ~PlansOnTheRules() = default;
    virtual void rulesPlayed(const Figures& figures, const std::vector<Closed>& closes) = 0;
};

class Replay {
public:
    Replay(DeviceSize device, const Footprints& footprints)
        : device_(device)
        , footprints_(footprints)
    {
    }
    // Plays the day; closes (in order) land in closes when given.
    Figures play(const Day& day, Policy& policy, int threshold, std::vector<Closed>* closes = nullptr) const;
    // The same device without the system's killer (the home-screen host has none).
    Replay withoutSystemKiller() const;
    const DeviceSize& device() const { return device_; }
    const Footprints& footprints() const { return footprints_; }

private:
    DeviceSize device_;
    const Footprints& footprints_;
};

// The footprint each application of the day has on this replay's device.
std::vector<double> footprintsOf(const Day& day, const Footprints& footprints);
// The day with each application's footprint written into it, so that plays need not look it up.
Day withFootprints(Day day, const Footprints& footprints);

} // namespace replay
