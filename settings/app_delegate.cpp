#include "settings/app_delegate.h"

#include "contract/diary_file.h"
#include "contract/settings_contract.h"
#include "contract/threshold.h"
#include "platform/foundation/make_set_up.h"
#include "platform/foundation/run_loop.h"
#include "platform/ui/alert_view.h"
#include "platform/ui/application.h"
#include "platform/ui/label.h"
#include "settings/always_apps_controller.h"
#include "settings/never_apps_controller.h"
#include "settings/pending_saves.h"
#include "settings/settings_store.h"
#include "settings/threshold_suggestion.h"

#include <algorithm>
#include <climits>
#include <cstdio>

using namespace sv::ui;

namespace {
constexpr std::string_view kSpecifierList = "SLVHome";
constexpr std::string_view kRamSliderRow = "RamSlider";
constexpr std::string_view kAlwaysRow = "AlwaysKill";
constexpr std::string_view kNeverRow = "NeverKill";
// 0.1 as a float, widened.
constexpr double kFirstFillDelay = static_cast<double>(0.1f);
constexpr Rect kSliderFrame { 33.5f, 10, 215, 44 };
constexpr Rect kMemoryLabelFrame { 260, 0, 45, 46 };
constexpr Rect kAlwaysCountFrame { 245, 0, 45, 44 };
constexpr Rect kNeverCountFrame { 245, 1, 45, 44 };
constexpr Rect kSuggestedFrame { 170, 0, 120, 44 };

std::string formatInteger(const char* pattern, long long number)
{
    char text[48];
    std::snprintf(text, sizeof text, pattern, static_cast<int>(std::clamp<long long>(number, INT_MIN, INT_MAX)));
    return text;
}

// The number of entries of a stored list; 0 when absent or not a list.
long long countOf(const std::optional<sv::Value>& value)
{
    const sv::Array* list = value ? value->asArray() : nullptr;
    return list ? static_cast<long long>(list->size()) : 0;
}

// Deletes the library's diary, saying so when it cannot.
void deleteDiary()
{
    if (slv::diary::removeUnderLock())
        return;
    if (auto alert = UIAlertView::initWithTitle(std::string(SLVAppDelegate::kDeleteFailedTitle),
                                                std::string(SLVAppDelegate::kDeleteFailedMessage), {},
                                                std::string("Dismiss"), {}))
        alert->show();
}

std::shared_ptr<UILabel> labelWithTag(UIView& cell, int tag)
{
    return std::dynamic_pointer_cast<UILabel>(cell.viewWithTag(tag));
}

void showCount(UIView& cell, long long count, int tag, const Rect& frame)
{
    std::string text = formatInteger("%i", count);
    if (auto existing = cell.viewWithTag(tag)) {
        if (auto label = std::dynamic_pointer_cast<UILabel>(existing))
            label->setText(std::move(text));
        return;
    }
    auto label = UILabel::initWithFrame(frame);
    if (!label)
        return;
    label->setBackgroundColor(UIColor::clearColor());
    label->setFont(UIFont::boldSystemFontOfSize(18));
    label->setTextAlignment(TextAlignment::Center);
    label->setTextColor(UIColor::blueColor());
    label->setText(std::move(text));
    label->setTag(tag);
    cell.addSubview(label);
}
}

std::shared_ptr<SLVAppDelegate> SLVAppDelegate::initForContentSize(Size size)
{
    auto self = sv::makeSetUp(new SLVAppDelegate, &SLVAppDelegate::setUpForContentSize, size);
    if (!self)
        return nullptr;
    self->setSpecifiers(self->loadSpecifiersFromPlistName(kSpecifierList, self.get()));
    sv::RunLoop::main().scheduleTimer(kFirstFillDelay, [self] { self->doneLoading(); });
    return self;
}

SLVAppDelegate::~SLVAppDelegate() = default;

void SLVAppDelegate::viewWillAppear(bool animated)
{
    PSListController::viewWillAppear(animated);
    SLVPendingSaves::retry();
    // Back from a chooser: its list may have changed.
    if (cachedCellForSpecifierID(kAlwaysRow))
        finishLoad();
}

void SLVAppDelegate::doneLoading()
{
    if (auto cell = cachedCellForSpecifierID(kRamSliderRow)) {
        for (const auto& subview : cell->subviews()) {
            if (typeid(*subview) == typeid(sv::ui::UISwitch)) {
                subview->setHidden(true);
                break;
            }
        }

        // The library reads the same threshold from the same file.
        long long threshold = slv::threshold(slv::settingsSnapshot().get());

        std::weak_ptr<ZEVValueTrackingSliderDelegate> delegate = std::static_pointer_cast<SLVAppDelegate>(shared_from_this());
        ramSlider = ZEVValueTrackingSlider::initWithFrame(kSliderFrame, delegate);
        if (ramSlider) {
            ramSlider->setMinimumValue(static_cast<float>(slv::kMinimumThreshold));
            ramSlider->setMaximumValue(static_cast<float>(slv::kMaximumThreshold));
            ramSlider->setValue(static_cast<float>(threshold));
            cell->addSubview(ramSlider);
        }

        if (auto label = UILabel::initWithFrame(kMemoryLabelFrame)) {
            label->setBackgroundColor(UIColor::clearColor());
            label->setFont(UIFont::boldSystemFontOfSize(15));
            label->setTextAlignment(TextAlignment::Center);
            label->setAdjustsFontSizeToFitWidth(true);
            label->setTextColor(UIColor::blackColor());
            label->setText(formatInteger("%i MB", threshold));
            label->setTag(kMemoryLabelTag);
            cell->addSubview(label);
        }

        // The switch off: a diary left behind is deleted, and nothing is suggested from it. (One
        // neither on nor off, in a settings file that cannot be read, deletes nothing.)
        auto state = slv::diary::diarySwitch(slv::settingsSnapshot().get());
        if (state == slv::diary::Switch::Off
            && (sv::fs::exists(slv::diary::Path) || sv::fs::exists(slv::diary::SetAsidePath)))
            deleteDiary();
        if (ramSlider && !suggestion_ && state != slv::diary::Switch::Off) {
            std::weak_ptr<SLVAppDelegate> weak = std::static_pointer_cast<SLVAppDelegate>(shared_from_this());
            suggestion_ = SLVThresholdSuggestion::start(static_cast<int>(ramSlider->value()), [weak] {
                if (auto self = weak.lock())
                    self->showSuggestion();
            });
        }
    }
    finishLoad();
}

void SLVAppDelegate::showSuggestion()
{
    if (!suggestion_)
        return;
    if (!suggestion_->shown() || slv::diary::diarySwitch(slv::settingsSnapshot().get()) == slv::diary::Switch::Off) {
        suggestion_.reset();
        return;
    }
    if (specifierForID(kSuggestedGroup))
        return;
    auto group = sv::prefs::PSSpecifier::preferenceSpecifierNamed("", sv::prefs::PSCellType::Group);
    group->setIdentifier(std::string(kSuggestedGroup));
    group->setProperty("footerText", sv::Value(suggestion_->footer()));
    if (!insertSpecifier(group, kRamSliderRow))
        return;
    auto figure = suggestion_->rowThreshold();
    if (!figure)
        return;
    auto row = sv::prefs::PSSpecifier::preferenceSpecifierNamed(std::string(kSuggestedRow), sv::prefs::PSCellType::Button);
    std::weak_ptr<SLVAppDelegate> weak = std::static_pointer_cast<SLVAppDelegate>(shared_from_this());
    row->setTarget(weak);
    row->setButtonAction([weak] {
        if (auto self = weak.lock())
            self->applySuggestion();
    });
    insertSpecifier(row, kSuggestedGroup);
    // Its cell is made as the list is laid out.
    view()->layoutIfNeeded();
    auto cell = cachedCellForSpecifierID(kSuggestedRow);
    auto label = cell ? UILabel::initWithFrame(kSuggestedFrame) : nullptr;
    if (!label)
        return;
    label->setBackgroundColor(UIColor::clearColor());
    label->setFont(UIFont::systemFontOfSize(17));
    label->setTextAlignment(TextAlignment::Right);
    label->setTextColor(UIColor::colorWithRed(0.22f, 0.33f, 0.53f, 1));
    label->setText(formatInteger("%i MB", *figure));
    label->setTag(kSuggestedTag);
    cell->addSubview(label);
}

void SLVAppDelegate::hideSuggestion()
{
    suggestion_.reset();
    removeSpecifier(kSuggestedRow);
    removeSpecifier(kSuggestedGroup);
}

void SLVAppDelegate::applySuggestion()
{
    auto figure = suggestion_ ? suggestion_->rowThreshold() : std::nullopt;
    if (!figure)
        return;
    if (ramSlider)
        ramSlider->setValue(static_cast<float>(*figure));
    valueIsUpdating(formatInteger("%i MB", *figure), *figure);
}

void SLVAppDelegate::finishLoad()
{
    auto always = cachedCellForSpecifierID(kAlwaysRow);
    auto never = cachedCellForSpecifierID(kNeverRow);
    long long alwaysCount = countOf(slv::store::getObjectWithKey(slv::key::AlwaysIdentifiers, false));
    long long neverCount = countOf(slv::store::getObjectWithKey(slv::key::NeverIdentifiers, false));
    if (always)
        showCount(*always, alwaysCount, kAlwaysCountTag, kAlwaysCountFrame);
    if (never)
        showCount(*never, neverCount, kNeverCountTag, kNeverCountFrame);
}

void SLVAppDelegate::valueIsUpdating(const std::string& text, std::int32_t numberToSave)
{
    slv::store::writeDictToSave(sv::Dictionary { { std::string(slv::key::RamValue), sv::Value(numberToSave) } });
    if (auto cell = cachedCellForSpecifierID(kRamSliderRow))
        if (auto label = labelWithTag(*cell, kMemoryLabelTag))
            label->setText(text);
}

bool SLVAppDelegate::setPreferenceValue(const sv::Value& value, const sv::prefs::PSSpecifier& specifier)
{
    namespace diary = slv::diary;
    sv::Dictionary saving { { std::string(slv::key::LearnFromUse), value } };
    if (specifier.key() != slv::key::LearnFromUse || specifier.defaults() != slv::kSettingsDomain
        || diary::diarySwitch(&saving) != diary::Switch::Off)
        return PSListController::setPreferenceValue(value, specifier);
    // The stamp moves with the switch, in one write, so that the library never reads the one
    // without the other.
    auto result = slv::updateSettings([&](sv::Dictionary& settings) {
        settings[std::string(slv::key::LearnFromUse)] = value;
        settings[std::string(diary::OffsKey)] = diary::nextOffStamp(diary::offStamp(&settings));
        return true;
    });
    if (result != sv::plist::UpdateResult::Written && result != sv::plist::UpdateResult::AlreadyCurrent)
        return false;
    hideSuggestion();
    // The library reads the switch only at its next look; the diary must not wait for that.
    deleteDiary();
    return true;
}

std::optional<sv::Value> SLVAppDelegate::readPreferenceValue(const sv::prefs::PSSpecifier& specifier) const
{
    if (specifier.cellType() == sv::prefs::PSCellType::Switch && specifier.defaults() == slv::kSettingsDomain
        && !specifier.key().empty())
        return sv::Value(slv::switchOn(slv::settingsSnapshot().get(), specifier.key()));
    return PSListController::readPreferenceValue(specifier);
}

void SLVAppDelegate::popAllControllers()
{
    SLVNeverAppsController::popAllControllers();
    SLVAlwaysAppsController::popAllControllers();
    SLVAppListController::popAllOf<SLVAppDelegate>();
}
