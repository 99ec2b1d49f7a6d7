#include "settings/identifier_lists.h"

#include "contract/settings_contract.h"
#include "settings/settings_store.h"

#include <string>

namespace slv::lists {
namespace {
    void save(std::string_view key, const sv::Array& list)
    {
        store::writeDictToSave(sv::Dictionary { { std::string(key), sv::Value(list) } });
    }
}

sv::Array stored(std::string_view key)
{
    auto value = store::getObjectWithKey(key, false);
    const sv::Array* list = value ? value->asArray() : nullptr;
    return list ? *list : sv::Array {};
}

bool add(std::string_view key, sv::Array& list, std::string_view identifier)
{
    if (slv::listContains(&list, identifier))
        return false;
    list.push_back(slv::identifierEntry(identifier));
    save(key, list);
    return true;
}

bool remove(std::string_view key, sv::Array& list, std::string_view identifier)
{
    auto removed = std::erase_if(list, [identifier](const sv::Value& element) {
        const std::string* entry = slv::entryBundleID(element);
        return entry && *entry == identifier;
    });
    if (removed == 0)
        return false;
    save(key, list);
    return true;
}

} // namespace slv::lists
