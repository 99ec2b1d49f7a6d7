#include "settings/chooser_sections.h"

#include "contract/settings_contract.h"
#include "platform/foundation/string_case.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace {
const std::string* nameOf(const sv::Dictionary& entry)
{
    return sv::findString(entry, slv::key::AppName);
}

// The section letter of a name: its first character in title case; characters without case
// stay as they are.
std::string letterOf(std::string_view name)
{
    return sv::capitalizedString(sv::firstCharacter(name));
}
}

SLVAppSections buildAppSections(const sv::Dictionary* settings)
{
    SLVAppSections built;
    auto& applications = built.applications;
    // Entries without a name have no place in an alphabetic list (nor anything to show), and
    // entries that are not records at all are skipped with them.
    if (const sv::Array* catalogue = settings ? sv::findArray(*settings, slv::key::ApplicationData) : nullptr) {
        for (const sv::Value& element : *catalogue) {
            const sv::Dictionary* entry = element.asDictionary();
            const std::string* name = entry ? nameOf(*entry) : nullptr;
            if (name && !name->empty())
                applications.push_back(*entry);
        }
    }

    // Letters sort by their bytes, which for UTF-8 is the order of the character codes.
    std::map<std::string, std::vector<std::size_t>> byLetter;
    for (std::size_t i = 0; i < applications.size(); ++i)
        byLetter[letterOf(*nameOf(applications[i]))].push_back(i);

    for (auto& [letter, members] : byLetter) {
        // Stable, so that equal names keep their catalogue order and an entry's duplicates
        // follow it within the run of its name.
        std::stable_sort(members.begin(), members.end(), [&applications](std::size_t a, std::size_t b) {
            return *nameOf(applications[a]) < *nameOf(applications[b]);
        });
        SLVAppSection section { letter, {} };
        section.entries.reserve(members.size());
        std::size_t runStart = 0;
        for (std::size_t i : members) {
            const sv::Dictionary& entry = applications[i];
            if (runStart < section.entries.size() && *nameOf(applications[section.entries[runStart]]) != *nameOf(entry))
                runStart = section.entries.size();
            bool duplicate = std::any_of(section.entries.begin() + static_cast<std::ptrdiff_t>(runStart), section.entries.end(),
                                         [&](std::size_t kept) { return applications[kept] == entry; });
            if (!duplicate)
                section.entries.push_back(i);
        }
        built.letters.push_back(letter);
        built.sections.push_back(std::move(section));
    }
    return built;
}
