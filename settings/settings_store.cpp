#include "settings/settings_store.h"

#include "contract/settings_contract.h"
#include "platform/notify/darwin_notify.h"
#include "settings/pending_saves.h"
#include "settings/string_values.h"

namespace slv::store {

std::optional<sv::Value> getObjectWithKey(std::optional<std::string_view> key, bool isBool)
{
    if (!key)
        return std::nullopt;
    auto settings = slv::settingsSnapshot();
    const sv::Value* entry = settings ? sv::find(*settings, *key) : nullptr;
    if (isBool) {
        bool flag = false;
        if (entry) {
            if (const std::string* text = entry->asString())
                flag = slv::boolValue(*text);
            else
                flag = entry->boolValue().value_or(false);
        }
        return sv::Value(flag);
    }
    return entry ? std::optional<sv::Value>(*entry) : std::nullopt;
}

void writeDictToSave(const std::optional<sv::Dictionary>& dict)
{
    if (dict)
        SLVPendingSaves::save(*dict);
}

void delayLoad()
{
    notify_post(slv::darwin::GrabApps);
}

} // namespace slv::store
