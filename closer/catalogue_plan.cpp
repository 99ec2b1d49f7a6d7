#include "closer/catalogue_plan.h"

#include "closer/icon_check.h"
#include "closer/icon_names.h"

#include "contract/settings_contract.h"
#include "platform/foundation/files.h"
#include "contract/home_screen.h"
#include "platform/runtime/foundation_objects.h"

#include <algorithm>
#include <array>

namespace {

// Home-screen entries that are no applications a user would pick.
constexpr std::array<std::string_view, 11> kExcludedDisplayNames = {
    "Lockdown", "WebSheet", "DemoApp", "FieldTest", "SpringBoard", "iPodOut",
    "TrustMe", "AdSheet", "iOS Diagnostics", "Setup", "Phone",
};

bool isExcluded(std::string_view displayName)
{
    for (std::string_view excluded : kExcludedDisplayNames)
        if (displayName == excluded)
            return true;
    return false;
}

// The stored integer under key; 0 when absent or no number.
std::int64_t storedCount(const sv::Dictionary& settings, std::string_view key)
{
    const sv::Value* value = sv::find(settings, key);
    return value ? value->integerValue().value_or(0) : 0;
}

// The record's identifier and name; its "IconPath" is the icon check's.
bool recordMatches(const sv::Value& stored, const PlannedRecord& planned)
{
    const sv::Dictionary* record = stored.asDictionary();
    if (!record)
        return false;
    const std::string* bundleID = sv::findString(*record, slv::key::BundleID);
    const std::string* appName = sv::findString(*record, slv::key::AppName);
    return bundleID && *bundleID == planned.bundleID && appName && *appName == planned.appName;
}

// The plan last found to match the stored records, with the settings it was found in: while the
// settings cache hands out that very dictionary and the plan is the same, the records still
// match, and the walk over every stored record is not made again. Kept as one run of text.
class MatchedPlan {
public:
    bool matches(const std::shared_ptr<const sv::Dictionary>& settings, const CataloguePlan& plan) const
    {
        if (!settings || settings != settings_ || plan.excluded != excluded_ || plan.records.size() * 2 != ends_.size())
            return false;
        std::string_view texts = texts_;
        std::size_t start = 0;
        std::size_t taken = 0;
        for (const PlannedRecord& record : plan.records)
            for (std::string_view text : { record.bundleID, record.appName }) {
                std::size_t end = ends_[taken++];
                if (texts.substr(start, end - start) != text)
                    return false;
                start = end;
            }
        return true;
    }

    void remember(const std::shared_ptr<const sv::Dictionary>& settings, const CataloguePlan& plan)
    {
        settings_ = settings;
        excluded_ = plan.excluded;
        texts_.clear();
        ends_.clear();
        for (const PlannedRecord& record : plan.records)
            for (std::string_view text : { record.bundleID, record.appName }) {
                texts_ += text;
                ends_.push_back(texts_.size());
            }
    }

    void forget() { settings_.reset(); }

private:
    std::shared_ptr<const sv::Dictionary> settings_;
    std::int64_t excluded_ = 0;
    std::string texts_;
    std::vector<std::size_t> ends_;
};

MatchedPlan& matchedPlan()
{
    static MatchedPlan plan;
    return plan;
}

} // namespace

CataloguePlan planCatalogue(id icons)
{
    CataloguePlan plan;
    // Three messages for each of some hundred icons, nearly all of one class.
    sv::rt::RepeatedSend<id, unsigned long> objectAtIndex("objectAtIndex:");
    sv::rt::RepeatedSend<id> leafIdentifier(sv::home::sel::leafIdentifier);
    sv::rt::RepeatedSend<id> displayName(sv::home::sel::displayName);
    unsigned long count = sv::rt::msgSend<unsigned long>(icons, "count");
    plan.records.reserve(std::min<unsigned long>(count, 4096));
    for (unsigned long i = 0; i < count; ++i) {
        id icon = objectAtIndex(icons, i);
        const std::string* leaf = sv::rt::stringValue(leafIdentifier(icon));
        const std::string* name = sv::rt::stringValue(displayName(icon));
        if (!leaf || !name)
            continue;
        if (isExcluded(*name))
            ++plan.excluded;
        else
            plan.records.push_back({ icon, *leaf, *name });
    }
    return plan;
}

namespace {

// The stored counts and records are exactly those the plan would write.
bool storedRecordsMatch(const sv::Dictionary& stored, const sv::Array* records, const CataloguePlan& plan)
{
    // Without a number the stored minus is taken as 0 too.
    bool numbered = sv::find(stored, slv::key::ApplicationsNumber) != nullptr;
    std::int64_t number = storedCount(stored, slv::key::ApplicationsNumber);
    std::int64_t minus = numbered ? storedCount(stored, slv::key::ApplicationsMinus) : 0;
    if (number != static_cast<std::int64_t>(plan.records.size()) || minus != plan.excluded)
        return false;
    std::size_t count = records ? records->size() : 0;
    if (count != plan.records.size())
        return false;
    for (std::size_t i = 0; i < count; ++i)
        if (!recordMatches((*records)[i], plan.records[i]))
            return false;
    return true;
}

} // namespace

bool catalogueIsCurrent(const std::shared_ptr<const sv::Dictionary>& settings, const CataloguePlan& plan)
{
    static const sv::Dictionary kNothingStored;
    const sv::Dictionary& stored = settings ? *settings : kNothingStored;
    const sv::Array* records = sv::findArray(stored, slv::key::ApplicationData);
    if (!matchedPlan().matches(settings, plan)) {
        if (!storedRecordsMatch(stored, records, plan)) {
            matchedPlan().forget();
            return false;
        }
        matchedPlan().remember(settings, plan);
    }
    return !records || records->empty() || IconCheck::shared().imagesCurrent(std::shared_ptr<const sv::Array>(settings, records));
}
