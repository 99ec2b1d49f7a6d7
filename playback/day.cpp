#include "playback/day.h"

#include <algorithm>
#include <cctype>

namespace replay {

AppId Day::app(const std::string& name, const std::string& bundleID)
{
    AppId found = find(bundleID);
    if (found != kNoApp)
        return found;
    apps.push_back(App { name, bundleID, std::nullopt, {} });
    return static_cast<AppId>(apps.size() - 1);
}

bool Day::used() const
{
    return std::any_of(events.begin(), events.end(), [](const Event& event) { return event.kind == Event::Kind::Launch; });
}

AppId Day::find(const std::string& bundleID) const
{
    for (std::size_t i = 0; i < apps.size(); ++i)
        if (apps[i].bundleID == bundleID)
            return static_cast<AppId>(i);
    return kNoApp;
}

void DayBuilder::add(Event::Kind kind, double time, AppId app, int state)
{
    Event event;
    event.kind = kind;
    event.time = time;
    event.app = app;
    event.state = state;
    day_.events.push_back(event);
}

void DayBuilder::open(double time, AppId app)
{
    if (app == foreground_)
        return;
    // The newcomer is on top before the one it covers reports its leave, as on the phone.
    add(Event::Kind::Launch, time, app);
    add(Event::Kind::State, time, app, 4);
    if (foreground_ != kNoApp)
        add(Event::Kind::State, time, foreground_, 2);
    foreground_ = app;
}

void DayBuilder::home(double time)
{
    if (foreground_ == kNoApp)
        return;
    add(Event::Kind::Home, time, kNoApp);
    add(Event::Kind::State, time, foreground_, 2);
    foreground_ = kNoApp;
}

std::string bundleIDFor(const std::string& name)
{
    std::string slug;
    for (unsigned char c : name) {
        if (std::isalnum(c))
            slug.push_back(static_cast<char>(std::tolower(c)));
        else if (!slug.empty() && slug.back() != '-')
            slug.push_back('-');
    }
    while (!slug.empty() && slug.back() == '-')
        slug.pop_back();
    return "replay." + (slug.empty() ? std::string("app") : slug);
}

} // namespace replay
