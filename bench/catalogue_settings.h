#pragma once
// A settings file the size of a full catalogue, as the benchmarks measure against.

#include "contract/settings_contract.h"

#include <string>

inline sv::Dictionary catalogueSettings(int applications)
{
    sv::Array records, never;
    for (int i = 0; i < applications; ++i) {
        std::string id = "com.example.app" + std::to_string(i);
        records.push_back(slv::applicationRecord("App " + std::to_string(i), id, slv::iconImagePath(id)));
        if (i % 6 == 0)
            never.push_back(slv::identifierEntry(id));
    }
    return { { "ApplicationData", records }, { "NeverIdentifiers", never }, { "ramValue", 120 } };
}
