#pragma once
// The catalogue as every side reads it: its records by identifier, and the name an application
// goes by wherever it is shown (the pane's rows, the picture of a run).

#include "contract/settings_contract.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace slv {

// Records by bundle identifier, pointing into the settings dictionary they were read from.
using CatalogueRecords = std::map<std::string, const sv::Dictionary*, std::less<>>;

// The catalogue's records; of two records of one identifier the later wins, as in the choosers'
// sections.
inline CatalogueRecords catalogueRecords(const sv::Dictionary& settings)
{
    CatalogueRecords records;
    if (const sv::Array* data = sv::findArray(settings, key::ApplicationData))
        for (const sv::Value& entry : *data)
            if (const sv::Dictionary* record = entry.asDictionary())
                if (const std::string* id = sv::findString(*record, key::BundleID))
                    records[*id] = record;
    return records;
}

// The catalogue's name of an application, else (no record, or an empty name) its identifier.
inline std::string applicationName(const CatalogueRecords& records, std::string_view bundleID)
{
    if (auto found = records.find(bundleID); found != records.end())
        if (const std::string* name = sv::findString(*found->second, key::AppName); name && !name->empty())
            return *name;
    return std::string(bundleID);
}

} // namespace slv
