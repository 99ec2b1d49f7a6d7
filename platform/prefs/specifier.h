#pragma once
// PSSpecifier: one row of a preferences list, read from an item of a specifier list file:
//
//   cell       "PSGroupCell" | "PSLinkCell" | "PSSwitchCell" | "PSStaticTextCell" | "PSButtonCell"
//   label      the row's title (a group's header)
//   id         the identifier (the label when absent)
//   detail     link rows: the controller class opened by a tap
//   key, defaults, default   switch rows: the boolean key in the preferences file
//              "<home>/Library/Preferences/<defaults>.plist" and its value when absent
//   height     the row's height in points (44 when absent)
//   footerText group rows: the text under the group

#include "platform/foundation/value.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sv::prefs {

class PSListController;

enum class PSCellType { Group, Link, Switch, StaticText, Button };

class PSSpecifier {
public:
    // Null for an item that is not a dictionary or names no known cell type.
    static std::shared_ptr<PSSpecifier> fromValue(const Value& item);
    static std::shared_ptr<PSSpecifier> preferenceSpecifierNamed(std::string name, PSCellType cellType);

    PSCellType cellType() const { return cellType_; }
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }
    const std::string& name() const { return name_; }

    std::string detailControllerClass() const { return stringProperty("detail"); }
    std::string key() const { return stringProperty("key"); }
    std::string defaults() const { return stringProperty("defaults"); }
    std::string footerText() const { return stringProperty("footerText"); }
    std::optional<Value> defaultValue() const;
    float height() const;

    void setProperty(std::string key, Value value) { properties_[std::move(key)] = std::move(value); }

    // Button rows: what a tap does (set by the screen that made the row).
    const std::function<void()>& buttonAction() const { return buttonAction_; }
    void setButtonAction(std::function<void()> action) { buttonAction_ = std::move(action); }

    // The controller that loaded the row.
    std::shared_ptr<PSListController> target() const { return target_.lock(); }
    void setTarget(std::weak_ptr<PSListController> target) { target_ = std::move(target); }

private:
    PSSpecifier() = default;
    std::string stringProperty(std::string_view key) const;

    PSCellType cellType_ = PSCellType::StaticText;
    std::string identifier_;
    std::string name_;
    Dictionary properties_;
    std::function<void()> buttonAction_;
    std::weak_ptr<PSListController> target_;
};

} // namespace sv::prefs
