// The application catalogue export: one record per home-screen icon, with a PNG of the icon,
// for the settings pane in the other process.
#include "closer/catalogue_export.h"

#include "closer/catalogue_plan.h"
#include "closer/icon_names.h"
#include "closer/icon_writes.h"
#include "contract/settings_contract.h"
#include "platform/foundation/files.h"
#include "contract/home_screen.h"
#include "platform/runtime/foundation_objects.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

void postProgress()
{
    notify_post(slv::darwin::CheckOnApps);
}

// The icon's image, drawn and handed over to be written under name; nothing for an icon that
// cannot draw or draws nothing.
void addIconImage(id icon, IconWrites& writes, std::string name)
{
    // The icon's image lives only as long as this pool and its write, not for the whole export.
    sv::rt::AutoreleasePool pool;
    if (id image = sv::rt::msgSend<id>(icon, sv::home::sel::generateIconImage, 0))
        writes.add(image, std::move(name));
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

        // Nothing when there is no file, or none that can be read.
        std::shared_ptr<const sv::Dictionary> settings = slv::settingsSnapshot();
        postProgress();

        CataloguePlan plan = planCatalogue(icons.get());
        if (!catalogueIsCurrent(settings, plan)) {
            postProgress();
            // Reached once for all images, no link followed on the way.
            auto iconsFolder = sv::fs::openFolder(slv::path::IconsFolder);
            if (iconsFolder) {
                IconWrites writes(*iconsFolder);
                for (const PlannedRecord& planned : plan.records)
                    if (auto imageName = imageNameFor(planned.bundleID))
                        addIconImage(planned.icon, writes, std::move(*imageName));
                writes.finish();
            }
            // Each record names its image only once every image is written.
            for (const PlannedRecord& planned : plan.records)
                records.push_back(slv::applicationRecord(planned.appName, planned.bundleID,
                                                         recordIconPath(planned.bundleID, iconsFolder)));
            accepted = static_cast<std::int64_t>(plan.records.size());
            excluded = plan.excluded;
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
