#include "platform/foundation/notification_center.h"

#include <algorithm>

namespace sv {

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(const void* observer, std::string name, Handler handler, const void* object)
{
    registrations_.push_back({ nextId_++, observer, std::move(name), object, std::move(handler) });
}

void NotificationCenter::removeObserver(const void* observer, std::string_view name)
{
    std::erase_if(registrations_, [&](const Registration& r) {
        return r.observer == observer && (name.empty() || r.name == name);
    });
}

void NotificationCenter::post(std::string_view name, const void* object, std::optional<Dictionary> userInfo)
{
    Notification notification { std::string(name), object, std::move(userInfo) };
    // Observers may come and go while the post is delivered: deliver to those registered when it
    // began and still registered when their turn comes.
    std::vector<std::uint64_t> targets;
    for (const Registration& r : registrations_)
        if (r.name == name && (!r.object || r.object == object))
            targets.push_back(r.id);
    for (std::uint64_t id : targets) {
        auto found = std::find_if(registrations_.begin(), registrations_.end(), [&](const Registration& r) { return r.id == id; });
        if (found == registrations_.end())
            continue;
        Handler handler = found->handler;
        handler(notification);
    }
}

std::size_t NotificationCenter::observerCount(std::string_view name) const
{
    return static_cast<std::size_t>(std::count_if(registrations_.begin(), registrations_.end(),
                                                  [&](const Registration& r) { return r.name == name; }));
}

} // namespace sv
