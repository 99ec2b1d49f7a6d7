#pragma once
// PSListController: a screen of rows made from specifiers, in groups. The cells are made when
// the list is first laid out (so a cell can be missing before that), then kept.

#include "platform/prefs/specifier.h"
#include "platform/prefs/table_cell.h"
#include "platform/prefs/view_controller.h"

#include <map>
#include <optional>
#include <string_view>
#include <vector>

namespace sv::prefs {

using Specifiers = std::vector<std::shared_ptr<PSSpecifier>>;

class PSListController : public PSViewController {
public:
    static std::shared_ptr<PSListController> initForContentSize(ui::Size size);

    // The rows of the specifier list "<name>.plist" in this class's bundle, targeted at target;
    // the list's "title" becomes the target's title. Empty when the list cannot be read.
    Specifiers loadSpecifiersFromPlistName(std::string_view name, PSListController* target);
    void setSpecifiers(Specifiers specifiers);
    // Puts a row after the row of that identifier, the cells made so far kept; false (nothing
    // put) when there is no such row.
    bool insertSpecifier(std::shared_ptr<PSSpecifier> specifier, std::string_view afterIdentifier);
    // Takes the row of that identifier away, its cell with it; false when there is none.
    bool removeSpecifier(std::string_view identifier);
    const Specifiers& specifiers() const { return specifiers_; }
    std::shared_ptr<PSSpecifier> specifierForID(std::string_view identifier) const;

    // The cell of a row, or null while the list has not been laid out (or there is no such row).
    std::shared_ptr<PSTableCell> cachedCellForSpecifierID(std::string_view identifier) const;
    std::shared_ptr<PSTableCell> cachedCellForSpecifier(const PSSpecifier& specifier) const;

    // Switch rows' values in their preferences file: read (the row's default, else nothing, when
    // absent) and written (a locked read-modify-write that keeps every other key and never
    // writes over an unreadable file). False when nothing was written. A subclass may read its
    // rows' values its own way, as on the phone; a switch row saves through setPreferenceValue, so a
    // screen that must act on a switch's change overrides it.
    virtual std::optional<Value> readPreferenceValue(const PSSpecifier& specifier) const;
    virtual bool setPreferenceValue(const Value& value, const PSSpecifier& specifier);

    // A tap on a link row: its detail controller, made by class name, is pushed; on a button row:
    // its action. False when the row opens nothing, its class is unknown, or it has no action.
    bool selectSpecifier(const std::shared_ptr<PSSpecifier>& specifier);

    void viewWillAppear(bool animated) override;
    void viewDidLayoutSubviews() override;

protected:
    PSListController() = default;
    void loadView() override;

private:
    void refreshSwitches();
    void clearCells();

    Specifiers specifiers_;
    std::map<const PSSpecifier*, std::shared_ptr<PSTableCell>> cells_;
    std::vector<std::shared_ptr<ui::UIView>> decorations_; // group headers and footers
};

} // namespace sv::prefs
