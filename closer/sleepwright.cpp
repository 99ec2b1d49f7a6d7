// Start-up inside the home screen and the renaming of its state-change handler.
#include "closer/sleepwright.h"

#include "closer/app_launch.h"
#include "closer/catalogue_export.h"
#include "closer/diary.h"
#include "closer/recheck_chain.h"
#include "closer/selectors.h"
#include "closer/sus_app.h"
#include "closer/usage.h"
#include "contract/settings_contract.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "contract/home_screen.h"

#include <alloca.h>
#include <cstdlib>
#include <cstring>
#include <string>

unsigned char Debug_ = 1;

void SleepwrightRename(bool flag, const char* className, const char* selectorName, IMP replacement)
{
    Class cls = objc_getClass(className);
    if (!cls) {
        if (Debug_)
            sv::log("WB:Warning: cannot find class [%s]", className);
        return;
    }
    if (!(flag & 1))
        cls = object_getClass(reinterpret_cast<id>(cls));

    SEL sel = sel_registerName(selectorName);
    Method method = class_getInstanceMethod(cls, sel);
    if (!method) {
        if (Debug_)
            sv::log("WB:Warning: cannot find method [%s %s]", className, selectorName);
        return;
    }

    std::size_t length = std::strlen(selectorName);
    std::size_t bufferSize = (length + 8) & ~std::size_t { 3 };
    static_assert(swr::kRenamePrefix.size() <= 4, "the buffer holds a prefix of at most 4 bytes");
    char* prefixedName = static_cast<char*>(alloca(bufferSize));
    std::memcpy(prefixedName, swr::kRenamePrefix.data(), swr::kRenamePrefix.size());
    std::memcpy(prefixedName + swr::kRenamePrefix.size(), selectorName, length + 1);

    const char* types = method_getTypeEncoding(method);
    IMP current = method_getImplementation(method);
    SEL prefixed = sel_registerName(prefixedName);
    if (!class_addMethod(cls, prefixed, current, types))
        sv::log("WB:Error: failed to rename [%s %s]", className, selectorName);

    unsigned int count = 0;
    Method* own = class_copyMethodList(cls, &count);
    bool definedHere = false;
    for (unsigned int i = 0; i < count && !definedHere; ++i)
        definedHere = own[i] == method;
    if (definedHere) {
        if (replacement)
            method_setImplementation(method, replacement);
    } else if (replacement) {
        // Inherited: the override lives on this class and the superclass keeps its own.
        if (!class_addMethod(cls, sel, replacement, types))
            sv::log("WB:Error: failed to rename [%s %s]", className, selectorName);
    }
    std::free(own);
}

void SleepwrightMakeFolders()
{
    constexpr mode_t kFolderPermissions = 509; // 0775
    if (!sv::fs::exists(slv::path::DataFolder)) {
        if (sv::fs::createDirectory(slv::path::DataFolder, kFolderPermissions))
            sv::fs::createDirectory(slv::path::IconsFolder, kFolderPermissions);
    }
}

void Sleepwright_initializer()
{
    sv::rt::AutoreleasePool pool;

    auto identifier = sv::bundle::mainBundleIdentifier();
    if (!identifier || *identifier != sv::home::kBundleIdentifier)
        return;

    SleepwrightMakeFolders();

    susApp = std::make_unique<SuspectList>();
    Usage::shared().load();

    CFNotificationCenterRef center = CFNotificationCenterGetDarwinNotifyCenter();
    CFNotificationCenterAddObserver(center, nullptr, grabAppData, slv::darwin::GrabApps, nullptr, 0);
    CFNotificationCenterAddObserver(center, nullptr, testToKillAgain, slv::darwin::KillApp, nullptr, 0);
    CFNotificationCenterAddObserver(center, nullptr, finalTestToKillAgain, slv::darwin::KillTest, nullptr, 0);

    // The home screen tells when a call ends; nothing is looked at while no call changes.
    Diary::shared().start();
    static const char kCallObserver = 0;
    sv::NotificationCenter::defaultCenter().addObserver(&kCallObserver, std::string(sv::home::note::CallStatusChanged),
                                                        [](const sv::Notification&) { resumeAfterCall(); });

    SleepwrightRename(true, sv::home::cls::ApplicationController, sv::home::sel::applicationStateChanged,
                      sv::rt::toImp(&Sleepwarden_appLaunch));
}
