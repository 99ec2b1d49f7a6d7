#pragma once
// The chooser's table from the catalogue: the named records, grouped under the first letter of
// their names and sorted by name within each letter.

#include "platform/foundation/value.h"

#include <cstddef>
#include <string>
#include <vector>

// One section of the table: its letter and its catalogue entries (positions in the
// applications), sorted by name.
struct SLVAppSection {
    std::string letter;
    std::vector<std::size_t> entries;
};

struct SLVAppSections {
    std::vector<sv::Dictionary> applications; // the named records, in catalogue order
    std::vector<std::string> letters;         // one per section, in order
    std::vector<SLVAppSection> sections;
};

// From the settings file's dictionary (null: none): records without a name, and elements that are
// no records, are left out; letters sort by their bytes; equal names keep their catalogue order,
// and a record equal to one already under the same name is shown once.
SLVAppSections buildAppSections(const sv::Dictionary* settings);
