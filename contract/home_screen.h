#pragma once
// What the library and the home-screen process agree on: the home screen's classes by name, the
// selectors the library sends them and the signatures of those methods, and the notifications it
// posts. The library reaches them only through the runtime; the stand-in home screen defines them.

#include <objc/runtime.h>

#include <string_view>

namespace sv::home {

inline constexpr const char* kBundleIdentifier = "com.apple.springboard";

namespace cls {
    inline constexpr const char* ApplicationController = "SBApplicationController";
    inline constexpr const char* TelephonyManager = "SBTelephonyManager";
    inline constexpr const char* IconModel = "SBIconModel";
    inline constexpr const char* AppSwitcherController = "SBAppSwitcherController";
}

namespace sel {
    // SBApplicationController, instance: void (id application, int state)
    inline constexpr const char* applicationStateChanged = "applicationStateChanged:state:";
    // application object, instance: id (an NSString, or null)
    inline constexpr const char* bundleIdentifier = "bundleIdentifier";
    inline constexpr const char* displayIdentifier = "displayIdentifier";
    // application object, instance: id (the process object, or null)
    inline constexpr const char* process = "process";
    // application object, instance: bool
    inline constexpr const char* supportsAudioBackgroundMode = "supportsAudioBackgroundMode";
    inline constexpr const char* supportsLocationBackgroundMode = "supportsLocationBackgroundMode";
    inline constexpr const char* supportsVOIPBackgroundMode = "supportsVOIPBackgroundMode";
    // process object, instance: bool
    inline constexpr const char* supportsBackgroundTaskAssertions = "supportsBackgroundTaskAssertions";
    inline constexpr const char* isNowPlayingWithAudio = "isNowPlayingWithAudio";
    inline constexpr const char* isRecordingAudio = "isRecordingAudio";
    inline constexpr const char* usesSocketMonitoring = "usesSocketMonitoring";
    inline constexpr const char* hasWatchdogAssertionsOut = "hasWatchdogAssertionsOut";
    // SBTelephonyManager, class: id; instance: bool
    inline constexpr const char* sharedTelephonyManager = "sharedTelephonyManager";
    inline constexpr const char* inCall = "inCall";
    inline constexpr const char* incomingCallExists = "incomingCallExists";
    inline constexpr const char* outgoingCallExists = "outgoingCallExists";
    // SBIconModel and SBAppSwitcherController, class: id
    inline constexpr const char* sharedInstance = "sharedInstance";
    // SBIconModel, instance: id (a set answering allObjects with an NSArray of icons)
    inline constexpr const char* applicationIcons = "_applicationIcons";
    inline constexpr const char* allObjects = "allObjects";
    // icon, instance: id (NSString); generateIconImage: takes int, answers id (a UIImage)
    inline constexpr const char* leafIdentifier = "leafIdentifier";
    inline constexpr const char* displayName = "displayName";
    inline constexpr const char* generateIconImage = "generateIconImage:";
    // SBAppSwitcherController, instance: id (NSArray of entries); entry: icon; icon: application
    inline constexpr const char* applicationIconsExceptTopApp = "_applicationIconsExceptTopApp";
    inline constexpr const char* icon = "icon";
    inline constexpr const char* application = "application";
    // SBAppSwitcherController, instance: void (id entry)
    inline constexpr const char* iconCloseBoxTapped = "iconCloseBoxTapped:";
}

// In-process notifications the home screen posts on its default centre.
namespace note {
    // The telephony's call state changed (a call rings, is answered, placed or hung up).
    inline constexpr std::string_view CallStatusChanged = "SBTelephonyCallStatusChangedNotification";
}

// The states "applicationStateChanged:state:" reports that the library acts on.
namespace state {
    // Left the foreground, not to run on in the background.
    inline constexpr int Left = 2;
    // Left the foreground for the background, where it may go on with what it declared.
    inline constexpr int Background = 3;
    // Came to the foreground.
    inline constexpr int Foreground = 4;
}

} // namespace sv::home
