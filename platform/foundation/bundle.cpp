#include "platform/foundation/bundle.h"

#include "platform/foundation/files.h"
#include "platform/foundation/plist/property_list.h"

#include <climits>
#include <unistd.h>

namespace sv::bundle {
namespace {
    struct Override {
        bool active = false;
        std::optional<std::string> identifier;
    };
    Override& override()
    {
        static Override value;
        return value;
    }

    std::optional<std::string> readIdentifier()
    {
        char buffer[PATH_MAX];
        ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        if (n <= 0)
            return std::nullopt;
        std::string path(buffer, static_cast<std::size_t>(n));
        path = path.substr(0, path.rfind('/') + 1) + "Info.plist";
        auto bytes = fs::readHostFile(path, plist::kMaximumFileSize);
        if (!bytes)
            return std::nullopt;
        auto value = plist::parse(bytes->data(), bytes->size());
        const Dictionary* info = value ? value->asDictionary() : nullptr;
        const std::string* identifier = info ? findString(*info, "CFBundleIdentifier") : nullptr;
        if (!identifier)
            return std::nullopt;
        return *identifier;
    }
}

std::optional<std::string> mainBundleIdentifier()
{
    if (override().active)
        return override().identifier;
    static const std::optional<std::string> identifier = readIdentifier();
    return identifier;
}

void setMainBundleIdentifierForTesting(std::optional<std::string> identifier)
{
    override() = { true, std::move(identifier) };
}

} // namespace sv::bundle
