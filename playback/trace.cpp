#include "playback/trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace replay {

bool TraceDays::add(const std::string& path)
{
    auto fail = [&](const char* why) {
        std::fprintf(stderr, "sleepvane-replay: cannot read %s: %s\n", path.c_str(), why);
        return false;
    };
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return fail(std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return fail("not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return fail(std::strerror(errno));
    std::string first;
    std::getline(in, first);
    File file;
    file.path = path;
    if (isDiaryHeader(first)) {
        in.clear();
        in.seekg(0);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        file.isDiary = true;
        file.diary = std::make_unique<DiaryTrace>(DiaryTrace::read(text, "diary " + path));
        std::vector<DiaryTrace::Problem> bad = file.diary->problems();
        bad.insert(bad.end(), file.diary->implausible().begin(), file.diary->implausible().end());
        std::stable_sort(bad.begin(), bad.end(), [](const auto& a, const auto& b) { return a.line < b.line; });
        for (const DiaryTrace::Problem& problem : bad)
            std::fprintf(stderr, "%s: line %ld: %s\n", path.c_str(), problem.line, problem.why.c_str());
        badLines_ += static_cast<int>(bad.size());
        if (file.diary->daysOfUse() == 0)
            withoutUsage_.push_back(path);
        else
            files_.push_back(std::move(file));
        return true;
    }
    bool lsapp = isLsappHeader(first) || (path.size() > 4 && path.compare(path.size() - 4, 4, ".tsv") == 0);
    if (lsapp) {
        file.lsapp = std::make_unique<LsappFile>();
        if (!file.lsapp->open(path))
            return fail(std::strerror(errno));
        badLines_ += file.lsapp->badLines();
        if (file.lsapp->days() == 0)
            withoutUsage_.push_back(path);
        else
            files_.push_back(std::move(file));
        return true;
    }
    in.clear();
    in.seekg(0);
    Trace read = readScenario(in, path);
    badLines_ += read.badLines;
    if (read.days.empty()) {
        withoutUsage_.push_back(path);
    } else {
        file.scenario = std::move(read.days.front());
        files_.push_back(std::move(file));
    }
    return true;
}

long TraceDays::people() const
{
    long people = 0;
    for (const File& file : files_)
        people += file.lsapp ? static_cast<long>(file.lsapp->people()) : 1;
    return people;
}

long TraceDays::days() const
{
    long days = 0;
    for (const File& file : files_)
        days += file.lsapp ? file.lsapp->days() : file.diary ? static_cast<long>(file.diary->days().size()) : 1;
    return days;
}

void TraceDays::useDiaries(Footprints& footprints, bool device)
{
    for (const File& file : files_)
        if (file.diary)
            file.diary->estimateInto(footprints);
    if (!device)
        return;
    for (File& file : files_) {
        if (!file.diary)
            continue;
        if (auto shown = file.diary->device(footprints)) {
            file.diary->setDevice(*shown);
            devices_.emplace_back(file.path, *shown);
        } else {
            // Played all the same, but on a device the diary does not show: the reader is told.
            std::fprintf(stderr,
                         "sleepvane-replay: %s: no free-memory figure above 0 to tell its device by: its days are "
                         "played on the run's device\n",
                         file.path.c_str());
        }
    }
}

bool TraceDays::diariesOnly() const
{
    return !files_.empty() && std::all_of(files_.begin(), files_.end(), [](const File& file) { return file.isDiary; });
}

std::unique_ptr<PersonDays> TraceDays::nextPerson()
{
    std::vector<Day> days;
    return take(days) ? std::make_unique<HeldDays>(std::move(days)) : nullptr;
}

bool TraceDays::take(std::vector<Day>& days)
{
    days.clear();
    while (file_ < files_.size()) {
        File& file = files_[file_];
        if (file.diary) {
            days = std::move(file.diary->days());
            file.diary.reset();
            ++file_;
            return true;
        }
        if (!file.lsapp) {
            days.push_back(std::move(file.scenario));
            ++file_;
            return true;
        }
        if (person_ < file.lsapp->people()) {
            days = file.lsapp->person(person_++);
            if (!days.empty())
                return true;
            continue;
        }
        file.lsapp.reset();
        ++file_;
        person_ = 0;
    }
    return false;
}

} // namespace replay
