#include "platform/prefs/list_controller.h"

#include "platform/foundation/files.h"
#include "platform/foundation/make_set_up.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/prefs/controller_registry.h"
#include "platform/ui/label.h"
#include "platform/ui/navigation_controller.h"
#include "platform/ui/string_drawing.h"

#include <algorithm>

namespace sv::prefs {
namespace {
    constexpr float kSideMargin = 10;
    constexpr float kFirstGroupGap = 10;
    constexpr float kGroupGap = 20;

    // The preferences file of a defaults domain; empty for a name that is not a plain file name.
    std::string preferencesPath(const std::string& domain)
    {
        if (domain.empty() || domain.find('/') != std::string::npos || domain == "." || domain == "..")
            return {};
        return fs::homeDirectory() + "/Library/Preferences/" + domain + ".plist";
    }
}

std::shared_ptr<PSListController> PSListController::initForContentSize(ui::Size size)
{
    return sv::makeSetUp(new PSListController, &PSListController::setUpForContentSize, size);
}

void PSListController::loadView()
{
    auto view = ui::UIView::initWithFrame({ 0, 0, contentSize().width, contentSize().height });
    view->setBackgroundColor(ui::UIColor::colorWithRed(0.80f, 0.83f, 0.87f, 1));
    setView(std::move(view));
}

Specifiers PSListController::loadSpecifiersFromPlistName(std::string_view name, PSListController* target)
{
    std::string bundle = bundlePath();
    if (bundle.empty() || name.empty() || name.find('/') != std::string_view::npos)
        return {};
    auto list = plist::readDictionary(bundle + "/" + std::string(name) + ".plist");
    if (!list)
        return {};
    std::weak_ptr<PSListController> weakTarget;
    if (target) {
        if (auto owner = target->weak_from_this().lock())
            weakTarget = std::static_pointer_cast<PSListController>(owner);
        if (const std::string* title = findString(*list, "title"))
            target->setTitle(*title);
    }
    Specifiers loaded;
    if (const Array* items = findArray(*list, "items")) {
        for (const Value& item : *items) {
            if (auto specifier = PSSpecifier::fromValue(item)) {
                specifier->setTarget(weakTarget);
                loaded.push_back(std::move(specifier));
            }
        }
    }
    return loaded;
}

void PSListController::setSpecifiers(Specifiers specifiers)
{
    clearCells();
    specifiers_ = std::move(specifiers);
    if (isViewLoaded())
        view()->setNeedsLayout();
}

bool PSListController::insertSpecifier(std::shared_ptr<PSSpecifier> specifier, std::string_view afterIdentifier)
{
    auto after = std::find_if(specifiers_.begin(), specifiers_.end(),
                              [&](const auto& row) { return row->identifier() == afterIdentifier; });
    if (!specifier || after == specifiers_.end())
        return false;
    specifiers_.insert(after + 1, std::move(specifier));
    if (isViewLoaded())
        view()->setNeedsLayout();
    return true;
}

bool PSListController::removeSpecifier(std::string_view identifier)
{
    auto found = std::find_if(specifiers_.begin(), specifiers_.end(),
                              [&](const auto& row) { return row->identifier() == identifier; });
    if (found == specifiers_.end())
        return false;
    if (auto cell = cells_.find(found->get()); cell != cells_.end()) {
        cell->second->removeFromSuperview();
        cells_.erase(cell);
    }
    specifiers_.erase(found);
    if (isViewLoaded())
        view()->setNeedsLayout();
    return true;
}

std::shared_ptr<PSSpecifier> PSListController::specifierForID(std::string_view identifier) const
{
    for (const auto& specifier : specifiers_)
        if (specifier->identifier() == identifier)
            return specifier;
    return nullptr;
}

std::shared_ptr<PSTableCell> PSListController::cachedCellForSpecifierID(std::string_view identifier) const
{
    auto specifier = specifierForID(identifier);
    return specifier ? cachedCellForSpecifier(*specifier) : nullptr;
}

std::shared_ptr<PSTableCell> PSListController::cachedCellForSpecifier(const PSSpecifier& specifier) const
{
    auto found = cells_.find(&specifier);
    return found == cells_.end() ? nullptr : found->second;
}

std::optional<Value> PSListController::readPreferenceValue(const PSSpecifier& specifier) const
{
    std::string path = preferencesPath(specifier.defaults());
    std::string key = specifier.key();
    if (!path.empty() && !key.empty())
        if (auto values = plist::readDictionary(path))
            if (const Value* value = find(*values, key))
                return *value;
    return specifier.defaultValue();
}

bool PSListController::setPreferenceValue(const Value& value, const PSSpecifier& specifier)
{
    std::string path = preferencesPath(specifier.defaults());
    std::string key = specifier.key();
    if (path.empty() || key.empty())
        return false;
    auto result = plist::updateDictionary(path, [&](Dictionary& values) {
        values[key] = value;
        return true;
    });
    return result == plist::UpdateResult::Written || result == plist::UpdateResult::AlreadyCurrent;
}

bool PSListController::selectSpecifier(const std::shared_ptr<PSSpecifier>& specifier)
{
    if (specifier && specifier->cellType() == PSCellType::Button) {
        // A copy: the action may change the rows.
        auto action = specifier->buttonAction();
        if (!action)
            return false;
        action();
        return true;
    }
    if (!specifier || specifier->cellType() != PSCellType::Link || !navigationController())
        return false;
    auto controller = createController(specifier->detailControllerClass(), contentSize());
    if (!controller)
        return false;
    controller->setSpecifier(specifier);
    navigationController()->pushViewController(controller, true);
    return true;
}

void PSListController::viewWillAppear(bool animated)
{
    PSViewController::viewWillAppear(animated);
    refreshSwitches();
}

void PSListController::refreshSwitches()
{
    for (auto& [specifier, cell] : cells_) {
        if (!cell->control())
            continue;
        auto value = readPreferenceValue(*specifier);
        cell->control()->setOn(value && value->boolValue().value_or(false));
    }
}

void PSListController::clearCells()
{
    for (auto& [specifier, cell] : cells_)
        cell->removeFromSuperview();
    cells_.clear();
    for (auto& decoration : decorations_)
        decoration->removeFromSuperview();
    decorations_.clear();
}

void PSListController::viewDidLayoutSubviews()
{
    auto list = view();
    for (auto& decoration : decorations_)
        decoration->removeFromSuperview();
    decorations_.clear();

    float width = list->bounds().width();
    float textWidth = width - 4 * kSideMargin;
    float y = 0;
    bool firstGroup = true;
    std::string footer;
    auto placeFooter = [&] {
        if (footer.empty())
            return;
        ui::UIFont font = ui::UIFont::systemFontOfSize(14);
        float height = ui::sizeWithFont(footer, font, { textWidth, 0 }, ui::LineBreakMode::WordWrap).height;
        auto label = ui::UILabel::initWithFrame({ 2 * kSideMargin, y + 6, textWidth, height });
        label->setBackgroundColor(ui::UIColor::clearColor());
        label->setFont(font);
        label->setNumberOfLines(0);
        label->setLineBreakMode(ui::LineBreakMode::WordWrap);
        label->setTextAlignment(ui::TextAlignment::Center);
        label->setTextColor(ui::UIColor::colorWithRed(0.3f, 0.34f, 0.42f, 1));
        label->setText(footer);
        list->addSubview(label);
        decorations_.push_back(label);
        y += height + 6;
        footer.clear();
    };

    for (const auto& specifier : specifiers_) {
        if (specifier->cellType() == PSCellType::Group) {
            placeFooter();
            y += firstGroup ? kFirstGroupGap : kGroupGap;
            firstGroup = false;
            if (!specifier->name().empty()) {
                auto header = ui::UILabel::initWithFrame({ 2 * kSideMargin, y, textWidth, 24 });
                header->setBackgroundColor(ui::UIColor::clearColor());
                header->setFont(ui::UIFont::boldSystemFontOfSize(17));
                header->setTextColor(ui::UIColor::colorWithRed(0.3f, 0.34f, 0.42f, 1));
                header->setText(specifier->name());
                list->addSubview(header);
                decorations_.push_back(header);
                y += 30;
            }
            footer = specifier->footerText();
            continue;
        }
        auto& cell = cells_[specifier.get()];
        if (!cell) {
            cell = PSTableCell::initWithSpecifier(specifier);
            if (!cell) {
                cells_.erase(specifier.get());
                continue;
            }
            if (cell->control()) {
                auto value = readPreferenceValue(*specifier);
                cell->control()->setOn(value && value->boolValue().value_or(false));
            }
            list->addSubview(cell);
        }
        cell->setFrame({ kSideMargin, y, width - 2 * kSideMargin, specifier->height() });
        y += specifier->height();
    }
    placeFooter();
}

} // namespace sv::prefs
