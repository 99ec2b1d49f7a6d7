// The application catalogue export: one record per home-screen icon, with a PNG of the icon,
// for the settings pane in the other process.
#include "closer/sleepwright.h"

#include "contract/settings_contract.h"
#include "platform/foundation/files.h"
#include "platform/home_screen.h"
#include "platform/runtime/foundation_objects.h"
#include "platform/ui/image_object.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

// Home-screen entries that are no applications a user would pick.
constexpr std::array<std::string_view, 11> kExcludedDisplayNames = {
    "Lockdown", "WebSheet", "DemoApp", "FieldTest", "SpringBoard", "iPodOut",
    "TrustMe", "AdSheet", "iOS Diagnostics", "Setup", "Phone",
};

bool isExcluded(const std::string& displayName)
{
    for (std::string_view excluded : kExcludedDisplayNames)
        if (displayName == excluded)
            return true;
    return false;
}

// The image path is built from the identifier, so one that names a folder, climbs out of the
// icons folder or cannot be a file name gets no image at all.
bool isSafeFileName(std::string_view leaf)
{
    return !leaf.empty() && leaf != "." && leaf != ".." && leaf.find('/') == std::string_view::npos
        && leaf.find('\0') == std::string_view::npos;
}

void postProgress()
{
    notify_post(slv::darwin::CheckOnApps);
}

// The icon's image as PNG at path; false when the icon cannot draw or nothing could be written.
bool writeIconImage(id icon, const std::string& path)
{
    // The icon's image lives only as long as this pool, not for the whole export.
    sv::rt::AutoreleasePool pool;
    if (!sv::rt::respondsTo(icon, sv::rt::selector(sv::home::sel::generateIconImage)))
        return false;
    id image = sv::rt::msgSend<id>(icon, sv::home::sel::generateIconImage, 0);
    if (!image)
        return false;
    auto png = UIImagePNGRepresentation(image);
    return png && sv::fs::writeDataAtomically(path, png->data(), png->size());
}

} // namespace

void grabAppData(CFNotificationCenterRef, void*, const char*, const void*, const void*)
{
    sv::rt::AutoreleasePool pool;
    sv::Array records;
    std::int64_t accepted = 0;
    std::int64_t excluded = 0;

    postProgress();

    id model = sv::rt::msgSend<id>(sv::rt::classObject(sv::home::cls::IconModel), sv::home::sel::sharedInstance);
    id applicationIcons = sv::rt::msgSend<id>(model, sv::home::sel::applicationIcons);
    sv::rt::Ref icons = sv::rt::Ref::retain(sv::rt::msgSend<id>(applicationIcons, sv::home::sel::allObjects));

    if (icons) {
        postProgress();

        std::int64_t storedNumber = 0;
        std::int64_t storedMinus = 0;
        if (slv::settingsExist()) {
            auto settings = slv::readSettings();
            if (const sv::Value* number = settings ? sv::find(*settings, slv::key::ApplicationsNumber) : nullptr) {
                storedNumber = number->integerValue().value_or(0);
                if (const sv::Value* minus = sv::find(*settings, slv::key::ApplicationsMinus))
                    storedMinus = minus->integerValue().value_or(0);
            }
        }
        postProgress();

        auto count = [&icons] { return static_cast<std::int64_t>(sv::rt::msgSend<unsigned long>(icons.get(), "count")); };
        if (storedNumber != count() - storedMinus) {
            postProgress();
            for (std::int64_t i = 0; i < count(); ++i) {
                id icon = sv::rt::msgSend<id>(icons.get(), "objectAtIndex:", static_cast<unsigned long>(i));
                const std::string* leaf = sv::rt::stringValue(sv::rt::msgSend<id>(icon, sv::home::sel::leafIdentifier));
                const std::string* name = sv::rt::stringValue(sv::rt::msgSend<id>(icon, sv::home::sel::displayName));
                if (!leaf || !name)
                    continue;
                if (isExcluded(*name)) {
                    ++excluded;
                    continue;
                }
                ++accepted;

                std::string imagePath = slv::iconImagePath(*leaf);
                bool safe = isSafeFileName(*leaf);
                if (safe)
                    writeIconImage(icon, imagePath);
                bool hasImage = safe && sv::fs::exists(imagePath);
                records.push_back(slv::applicationRecord(*name, *leaf, hasImage ? imagePath : std::string(slv::path::MissingIcon)));
            }
            postProgress();
        }
        icons.reset();
    }

    postProgress();

    if (!records.empty()) {
        slv::updateSettings([&](sv::Dictionary& settings) {
            settings.insert_or_assign(std::string(slv::key::ApplicationData), sv::Value(std::move(records)));
            settings.insert_or_assign(std::string(slv::key::ApplicationsNumber), sv::Value(accepted));
            settings.insert_or_assign(std::string(slv::key::ApplicationsMinus), sv::Value(excluded));
            return true;
        });
    }

    postProgress();
    records.clear();
    notify_post(slv::darwin::AppsLoaded);
}
