#include "playback/day_source.h"

namespace replay {

namespace {

    // A synthetic person's days, made one at a time: each is drawn from the seed, the person and
    // the day alone, so a long run holds no more than a short one.
    class SyntheticPerson final : public PersonDays {
    public:
        SyntheticPerson(const Synthetic& generator, int person, int days)
            : generator_(generator)
            , person_(person)
            , days_(days)
        {
        }
        bool next(Day& day) override
        {
            if (day_ >= days_)
                return false;
            day = generator_.day(person_, day_++);
            return true;
        }

    private:
        const Synthetic& generator_;
        int person_, days_, day_ = 0;
    };

} // namespace

bool HeldDays::next(Day& day)
{
    if (next_ >= days_.size())
        return false;
    day = std::move(days_[next_]);
    // What was handed out is no longer held.
    days_[next_++] = Day();
    return true;
}

bool DaySource::next(std::vector<Day>& days)
{
    days.clear();
    auto person = nextPerson();
    if (!person)
        return false;
    for (Day day; person->next(day);)
        days.push_back(std::move(day));
    return true;
}

std::unique_ptr<PersonDays> SyntheticDays::nextPerson()
{
    if (person_ >= people_)
        return nullptr;
    return std::make_unique<SyntheticPerson>(generator_, person_++, daysEach_);
}

} // namespace replay
