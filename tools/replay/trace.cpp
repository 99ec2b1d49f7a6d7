#include "tools/replay/trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

namespace replay {

bool SyntheticDays::next(std::vector<Day>& days)
{
    if (person_ >= people_)
        return false;
    days.clear();
    for (int d = 0; d < daysEach_; ++d)
        days.push_back(generator_.day(person_, d));
    ++person_;
    return true;
}

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
    bool lsapp = first.rfind("user_id", 0) == 0 || (path.size() > 4 && path.compare(path.size() - 4, 4, ".tsv") == 0);
    File file;
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
        days += file.lsapp ? file.lsapp->days() : 1;
    return days;
}

bool TraceDays::next(std::vector<Day>& days)
{
    days.clear();
    while (file_ < files_.size()) {
        File& file = files_[file_];
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
