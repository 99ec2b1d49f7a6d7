#include "platform/prefs/specifier.h"

#include <cmath>

namespace sv::prefs {
namespace {
    std::optional<PSCellType> cellTypeNamed(std::string_view name)
    {
        if (name == "PSGroupCell")
            return PSCellType::Group;
        if (name == "PSLinkCell")
            return PSCellType::Link;
        if (name == "PSSwitchCell")
            return PSCellType::Switch;
        if (name == "PSStaticTextCell")
            return PSCellType::StaticText;
        if (name == "PSButtonCell")
            return PSCellType::Button;
        return std::nullopt;
    }
}

std::shared_ptr<PSSpecifier> PSSpecifier::fromValue(const Value& item)
{
    const Dictionary* properties = item.asDictionary();
    if (!properties)
        return nullptr;
    const std::string* cell = findString(*properties, "cell");
    auto type = cell ? cellTypeNamed(*cell) : std::nullopt;
    if (!type)
        return nullptr;
    std::shared_ptr<PSSpecifier> specifier(new PSSpecifier);
    specifier->cellType_ = *type;
    specifier->properties_ = *properties;
    const std::string* label = findString(*properties, "label");
    specifier->name_ = label ? *label : "";
    const std::string* identifier = findString(*properties, "id");
    specifier->identifier_ = identifier ? *identifier : specifier->name_;
    return specifier;
}

std::shared_ptr<PSSpecifier> PSSpecifier::preferenceSpecifierNamed(std::string name, PSCellType cellType)
{
    std::shared_ptr<PSSpecifier> specifier(new PSSpecifier);
    specifier->cellType_ = cellType;
    specifier->identifier_ = name;
    specifier->name_ = std::move(name);
    return specifier;
}

std::string PSSpecifier::stringProperty(std::string_view key) const
{
    const std::string* text = findString(properties_, key);
    return text ? *text : std::string();
}

std::optional<Value> PSSpecifier::defaultValue() const
{
    const Value* value = find(properties_, "default");
    return value ? std::optional<Value>(*value) : std::nullopt;
}

float PSSpecifier::height() const
{
    constexpr float kDefault = 44;
    const Value* value = find(properties_, "height");
    if (!value)
        return kDefault;
    double height = 0;
    if (auto* real = std::get_if<double>(&value->storage()))
        height = *real;
    else if (auto integer = value->integerValue())
        height = static_cast<double>(*integer);
    // A height a screen cannot show is no height.
    return std::isfinite(height) && height >= 1 && height <= 1000 ? static_cast<float>(height) : kDefault;
}

} // namespace sv::prefs
