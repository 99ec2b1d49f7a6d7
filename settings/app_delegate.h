#pragma once
// The pane's root screen: the free-memory slider with its label, and the number of applications
// in each list. It reads and saves the settings file through settings_store.h, as every screen
// of the pane does.

#include "platform/foundation/value.h"
#include "platform/prefs/list_controller.h"
#include "settings/value_tracking_slider.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class SLVThresholdSuggestion;

class SLVAppDelegate final : public sv::prefs::PSListController, public ZEVValueTrackingSliderDelegate {
public:
    static constexpr int kMemoryLabelTag = 5769420;
    static constexpr int kAlwaysCountTag = 408020;
    static constexpr int kNeverCountTag = 42069;
    static constexpr int kSuggestedTag = 7303;
    // The suggestion's rows, below the slider once the diary tells enough.
    static constexpr std::string_view kSuggestedGroup = "SuggestedFooter";
    static constexpr std::string_view kSuggestedRow = "Suggested";

    // Null when the base initialiser gives nothing. Starts the first-fill timer, which keeps the
    // pane alive until it fires.
    static std::shared_ptr<SLVAppDelegate> initForContentSize(sv::ui::Size size);
    ~SLVAppDelegate() override;

    void viewWillAppear(bool animated) override;
    // First fill: slider and label in the "RamSlider" cell, if it is made by now; then the
    // suggestion from the diary is worked out, once a pane.
    void doneLoading();
    // The two counts.
    void finishLoad();
    // From the slider, at every update: save the number, show the text.
    void valueIsUpdating(const std::string& text, std::int32_t numberToSave) override;
    // A switch's save. Learn From Use turned off moves the diary's off stamp in the same write,
    // then deletes the library's diary of use at once (saying so when it cannot) and takes the
    // suggestion's rows away.
    bool setPreferenceValue(const sv::Value& value, const sv::prefs::PSSpecifier& specifier) override;

    // The switch rows bound to the settings file show the reading the library decides by.
    std::optional<sv::Value> readPreferenceValue(const sv::prefs::PSSpecifier& specifier) const override;

    // Takes the pane's screens off the navigation stack, each kind while it is on top: Never
    // screens, then Always screens, then the root pane.
    static void popAllControllers();

    // The suggested threshold, once worked out: its rows are shown; a tap on the row moves the
    // slider there and saves it as a drag does.
    void showSuggestion();
    void applySuggestion();
    // The suggestion and its rows go (with the diary they came from).
    void hideSuggestion();

    static constexpr std::string_view kDeleteFailedTitle = "Could Not Delete the Diary";
    static constexpr std::string_view kDeleteFailedMessage =
        "Your diary of use is still on this phone. Sleepvane tries again as you use your apps; if this "
        "stays, delete Diary.tsv in /var/mobile/Library/Sleepvane.";
    const std::shared_ptr<SLVThresholdSuggestion>& suggestion() const { return suggestion_; }

    std::shared_ptr<ZEVValueTrackingSlider> ramSlider;

private:
    SLVAppDelegate() = default;

    std::shared_ptr<SLVThresholdSuggestion> suggestion_;
};
