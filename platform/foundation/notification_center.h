#pragma once
// The in-process notification centre: named posts with an optional object and user info,
// delivered synchronously to every observer before post returns.

#include "platform/foundation/value.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sv {

struct Notification {
    std::string name;
    const void* object = nullptr;
    std::optional<Dictionary> userInfo;
};

class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    // observer identifies the registration for removal; object, when set, filters by sender.
    void addObserver(const void* observer, std::string name, Handler handler, const void* object = nullptr);
    // Removes the observer's registrations for one name, or for every name when name is empty.
    void removeObserver(const void* observer, std::string_view name = {});
    void post(std::string_view name, const void* object = nullptr, std::optional<Dictionary> userInfo = std::nullopt);

    std::size_t observerCount(std::string_view name) const;

private:
    struct Registration {
        std::uint64_t id;
        const void* observer;
        std::string name;
        const void* object;
        Handler handler;
    };
    std::vector<Registration> registrations_;
    std::uint64_t nextId_ = 1;
};

} // namespace sv
