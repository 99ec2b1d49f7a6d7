#pragma once
// Days from trace files, one person's days at a time: the LSApp format (the library's diary among
// them), or the home-screen host's scenarios, one day a file. Scenarios are read with the hosts'
// own words, so this part of the replay is the tool's alone.

#include "playback/day_source.h"
#include "playback/diary_trace.h"
#include "playback/lsapp.h"

#include <istream>
#include <memory>
#include <string>
#include <vector>

namespace replay {

// A home-screen scenario as one day (none when it holds no event).
Trace readScenario(std::istream& in, const std::string& source);

// Trace files, each indexed when added: the library's diary when its first line is the diary's
// header (read whole, its days one person), an LSApp file when its first line is the header or its
// name ends in .tsv (each of its people in turn), otherwise a scenario (its day a person).
class TraceDays final : public DaySource {
public:
    // False, with "sleepvane-replay: cannot read <file>: <why>" on standard error, when the file
    // cannot be read at all.
    bool add(const std::string& path);
    long people() const override;
    long days() const override;
    std::unique_ptr<PersonDays> nextPerson() override;
    int badLines() const { return badLines_; }
    // The files that hold no day of use.
    const std::vector<std::string>& withoutUsage() const { return withoutUsage_; }

    // What the diaries say of the applications' footprints goes into footprints (below what a
    // footprints file gives); with device, each diary's days are played on the device it shows
    // (a diary that shows none is said on standard error). Before the days are asked for.
    void useDiaries(Footprints& footprints, bool device);
    // Each diary's path and the device it shows (when useDiaries set them).
    const std::vector<std::pair<std::string, DeviceSize>>& diaryDevices() const { return devices_; }
    // Every file is a diary.
    bool diariesOnly() const;

private:
    bool take(std::vector<Day>& days);

    struct File {
        std::unique_ptr<LsappFile> lsapp;
        Day scenario;
        std::unique_ptr<DiaryTrace> diary;
        bool isDiary = false;
        std::string path;
    };
    std::vector<std::pair<std::string, DeviceSize>> devices_;
    std::vector<File> files_;
    std::vector<std::string> withoutUsage_;
    int badLines_ = 0;
    std::size_t file_ = 0, person_ = 0;
};

} // namespace replay
