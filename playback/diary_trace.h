#pragma once
// The library's diary of use (contract/diary_file.h) as days to replay: its applications by their
// identifiers, its calls, and the closes the library made, each calendar date a day. Its
// free-memory figures say two things more:
//
// - What each application holds: free memory falls by it at a launch that starts it (after one of
//   our closes of it, or at its first line in the diary) and rises by it at our close of it. Each
//   such step, from the figure of the line before, is an observation; one that is no step down or
//   up, or starts or ends at 0 (memory ran out), is none. The estimate is the median of at least
//   kLeastObservations of them.
// - What the phone leaves to applications (total less what the system uses): at every line, free
//   memory plus what the applications the diary knows to be running hold (by their estimates,
//   else the median of what was observed of them, else the table); the estimate is the median of
//   these. The total is not in the diary: it is taken as twice that (the system holding
//   half, as on the replay's default device), so the floor is kFloorShare of it.

#include "contract/diary_file.h"
#include "playback/day.h"
#include "playback/footprints.h"
#include "playback/replay.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace replay {

inline constexpr int kLeastObservations = 3;

// True for the diary's first line.
bool isDiaryHeader(std::string_view line);

class DiaryTrace {
public:
    // The diary's text whole; its days belong to person. A last line without its line break was
    // cut short by a lost write and is passed over; every other line that is no diary line is a
    // problem, passed over too. A diary line whose free memory lies outside 0 to kPhoneMaximumMB
    // is passed over as implausible: a figure no phone shows would make any advice a guess.
    static DiaryTrace read(std::string_view text, const std::string& person);

    struct Problem {
        long line;
        std::string why;
    };
    const std::vector<Day>& days() const { return days_; }
    std::vector<Day>& days() { return days_; }
    const std::vector<Problem>& problems() const { return problems_; }
    // The lines passed over for their free memory (the library writes no such line, so the pane
    // still reads the rest).
    const std::vector<Problem>& implausible() const { return implausible_; }
    long lines() const { return lines_; }
    // Days on which an application came to the foreground.
    long daysOfUse() const;

    // Every observation of each application's footprint, by identifier, in the diary's order.
    const std::map<std::string, std::vector<double>>& observations() const { return observations_; }
    // Sets the estimates of the applications observed often enough.
    void estimateInto(Footprints& footprints) const;
    // Total less base, by the footprints given (estimates, the table or drawn figures); nothing
    // for a diary without a line whose free memory is above 0.
    std::optional<double> applicationsMB(const Footprints& footprints) const;
    // The device the diary shows, by the footprints given.
    std::optional<DeviceSize> device(const Footprints& footprints) const;
    // Gives each day the device, as a scenario's `memory` line would.
    void setDevice(const DeviceSize& device);

private:
    std::vector<Day> days_;
    std::vector<Problem> problems_, implausible_;
    long lines_ = 0;
    std::vector<std::string> names_;
    std::vector<slv::diary::DiaryLine> sequence_; // the lines read, in the days' order
    std::map<std::string, std::vector<double>> observations_;
};

// The median; nothing for none.
std::optional<double> median(std::vector<double> values);

} // namespace replay
