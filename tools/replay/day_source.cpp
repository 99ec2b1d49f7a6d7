#include "tools/replay/day_source.h"

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

} // namespace replay
