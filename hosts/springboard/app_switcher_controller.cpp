// "SBAppSwitcherController": the switcher's entries (each answers `icon`, whose `application` is
// the running application) and the close box.
#include "hosts/springboard/device.h"
#include "hosts/springboard/springboard.h"
#include "contract/home_screen.h"
#include "platform/runtime/class_builder.h"
#include "platform/runtime/foundation_objects.h"

namespace sb {
namespace {

    // Entries and their icons are made afresh for every answer, as snapshots.
    struct HolderState : sv::rt::ObjectState {
        sv::rt::Ref held;
    };

    sv::rt::Ref makeHolder(const char* className, id held)
    {
        sv::rt::Ref holder = sv::rt::Ref::adopt(sv::rt::alloc(objc_getClass(className)));
        sv::rt::state<HolderState>(holder.get())->held = sv::rt::Ref::retain(held);
        return holder;
    }

    id held(id self, SEL) { return sv::rt::state<HolderState>(self)->held.get(); }

    id sharedInstance(id, SEL)
    {
        static sv::rt::Ref controller
            = sv::rt::Ref::adopt(sv::rt::alloc(objc_getClass(sv::home::cls::AppSwitcherController)));
        return controller.get();
    }

    id applicationIconsExceptTopApp(id, SEL)
    {
        const Device& device = Device::shared();
        std::vector<sv::rt::Ref> entries;
        for (const std::string& bundleID : device.switcher()) {
            if (device.top() == bundleID)
                continue;
            sv::rt::Ref icon = makeHolder("SBAppSwitcherIcon", Springboard::shared().findApplication(bundleID));
            entries.push_back(makeHolder("SBAppSwitcherEntry", icon.get()));
        }
        return sv::rt::autorelease(sv::rt::makeArray(std::move(entries)).leak());
    }

    void iconCloseBoxTapped(id, SEL, id entry)
    {
        id icon = sv::rt::msgSend<id>(entry, sv::home::sel::icon);
        Device::shared().close(sv::rt::msgSend<id>(icon, sv::home::sel::application));
    }

} // namespace

void registerSwitcherClasses()
{
    sv::rt::ClassBuilder("SBAppSwitcherEntry").state<HolderState>().method(sv::home::sel::icon, &held).registerClass();
    sv::rt::ClassBuilder("SBAppSwitcherIcon").state<HolderState>().method(sv::home::sel::application, &held).registerClass();
    sv::rt::ClassBuilder(sv::home::cls::AppSwitcherController)
        .classMethod(sv::home::sel::sharedInstance, &sharedInstance)
        .method(sv::home::sel::applicationIconsExceptTopApp, &applicationIconsExceptTopApp)
        .method(sv::home::sel::iconCloseBoxTapped, &iconCloseBoxTapped)
        .registerClass();
}

} // namespace sb
