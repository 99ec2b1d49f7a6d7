#pragma once
// The pane's root screen: the free-memory slider with its label, and the number of applications
// in each list. Its class operations (settings_store.cpp) are the pane's only access to the
// settings file (apart from the choosers' catalogue read). The same unit holds the bundle's
// load-time constructor and the relays of the library's notifications.

#include "platform/foundation/value.h"
#include "platform/notify/darwin_notify.h"
#include "platform/prefs/list_controller.h"
#include "settings/value_tracking_slider.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class SLVAppDelegate final : public sv::prefs::PSListController, public ZEVValueTrackingSliderDelegate {
public:
    static constexpr int kMemoryLabelTag = 5769420;
    static constexpr int kAlwaysCountTag = 408020;
    static constexpr int kNeverCountTag = 42069;

    // Null when the base initialiser gives nothing. Starts the first-fill timer, which keeps the
    // pane alive until it fires.
    static std::shared_ptr<SLVAppDelegate> initForContentSize(sv::ui::Size size);
    ~SLVAppDelegate() override;

    void viewWillAppear(bool animated) override;
    // First fill: slider and label in the "RamSlider" cell, if it is made by now.
    void doneLoading();
    // The two counts.
    void finishLoad();
    // From the slider, at every update: save the number, show the text.
    void valueIsUpdating(const std::string& text, std::int32_t numberToSave) override;

    // Class operations.
    // The value under key, or nothing; with isBool, a boolean (false when absent).
    static std::optional<sv::Value> getObjectWithKey(std::optional<std::string_view> key, bool isBool);
    // Merges the entries into the settings file, keeping every other key.
    static void writeDictToSave(const std::optional<sv::Dictionary>& dict);
    // Asks the library for a fresh catalogue.
    static void delayLoad();
    // Takes the pane's screens off the navigation stack, each kind while it is on top: Never
    // screens, then Always screens, then the root pane.
    static void popAllControllers();

    std::shared_ptr<ZEVValueTrackingSlider> ramSlider;

private:
    SLVAppDelegate() = default;
};

// Registers the pane's controller classes (SLVAppDelegate and the two chooser screens) with the
// Preferences registry.
void registerSettingsClasses();

// The load-time constructor.
void Init();

// Darwin callbacks: the library's export finished / made one step.
void appsAllLoaded(CFNotificationCenterRef center, void* observer, const char* name, const void* object,
                   const void* userInfo);
void checkOnApps(CFNotificationCenterRef center, void* observer, const char* name, const void* object,
                 const void* userInfo);
