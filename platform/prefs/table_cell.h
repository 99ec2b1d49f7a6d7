#pragma once
// PSTableCell: the cell of one specifier: its title, and a switch (switch rows) or a chevron
// (link rows). The switch is a direct subview of the cell.

#include "platform/prefs/specifier.h"
#include "platform/ui/switch.h"
#include "platform/ui/table_view_cell.h"

namespace sv::prefs {

class PSTableCell : public ui::UITableViewCell {
public:
    static std::shared_ptr<PSTableCell> initWithSpecifier(std::shared_ptr<PSSpecifier> specifier);

    const std::shared_ptr<PSSpecifier>& specifier() const { return specifier_; }
    // The switch of a switch row; null for other rows.
    std::shared_ptr<ui::UISwitch> control() const { return control_; }

protected:
    PSTableCell() = default;
    bool setUpWithSpecifier(std::shared_ptr<PSSpecifier> specifier);

private:
    std::shared_ptr<PSSpecifier> specifier_;
    std::shared_ptr<ui::UISwitch> control_;
};

} // namespace sv::prefs
