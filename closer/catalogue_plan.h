#pragma once
// What a rebuild of the catalogue would write now, and whether the stored catalogue already
// says exactly that. Counts alone cannot tell a replaced application from the one it replaced.

#include "platform/foundation/files.h"
#include "platform/foundation/value.h"
#include "platform/runtime/object.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The icon and its texts are held by the snapshot the plan was made from (or the autorelease
// pool around it): a plan lives no longer than that snapshot.
struct PlannedRecord {
    id icon;
    std::string_view bundleID;
    std::string_view appName;
};

struct CataloguePlan {
    std::vector<PlannedRecord> records; // one per accepted icon, in the snapshot's order
    std::int64_t excluded = 0;          // icons left out by display name
};

// Walks the snapshot (an NSArray of icons), which must outlive the plan: icons without
// identifier or name count nowhere.
CataloguePlan planCatalogue(id icons);

// True when the settings (nothing: no file) hold exactly the records the plan would write, in
// order, with their counts, and every record's image is still there.
bool catalogueIsCurrent(const std::shared_ptr<const sv::Dictionary>& settings, const CataloguePlan& plan);
