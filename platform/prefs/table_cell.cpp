#include "platform/prefs/table_cell.h"

#include "platform/foundation/make_set_up.h"
#include "platform/prefs/list_controller.h"

namespace sv::prefs {

std::shared_ptr<PSTableCell> PSTableCell::initWithSpecifier(std::shared_ptr<PSSpecifier> specifier)
{
    return sv::makeSetUp(new PSTableCell, &PSTableCell::setUpWithSpecifier, std::move(specifier));
}

bool PSTableCell::setUpWithSpecifier(std::shared_ptr<PSSpecifier> specifier)
{
    if (!specifier || !setUpWithStyle(ui::UITableViewCellStyle::Default, specifier->identifier()))
        return false;
    specifier_ = std::move(specifier);
    textLabel()->setText(specifier_->name());
    if (specifier_->cellType() == PSCellType::Button) {
        textLabel()->setTextColor(ui::UIColor::colorWithRed(0.2f, 0.33f, 0.6f, 1));
    } else if (specifier_->cellType() == PSCellType::Link) {
        setAccessoryType(ui::UITableViewCellAccessoryType::DisclosureIndicator);
    } else if (specifier_->cellType() == PSCellType::Switch) {
        control_ = ui::UISwitch::initWithFrame(ui::RectZero);
        std::weak_ptr<PSSpecifier> row = specifier_;
        control_->addTarget(
            [row](ui::UIControl& sender) {
                auto specifier = row.lock();
                auto target = specifier ? specifier->target() : nullptr;
                if (target)
                    target->setPreferenceValue(Value(static_cast<ui::UISwitch&>(sender).isOn()), *specifier);
            },
            ui::UIControlEventValueChanged);
        setAccessoryView(control_);
    }
    return true;
}

} // namespace sv::prefs
