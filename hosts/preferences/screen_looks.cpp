#include "hosts/preferences/screen_looks.h"

#include "platform/prefs/list_controller.h"
#include "platform/ui/action_sheet.h"
#include "platform/ui/alert_view.h"
#include "platform/ui/application.h"
#include "platform/ui/label.h"
#include "platform/ui/progress_view.h"
#include "platform/ui/recording_context.h"
#include "platform/ui/slider.h"
#include "platform/ui/switch.h"
#include "platform/ui/view_renderer.h"

#include <cstdio>
#include <functional>

using namespace sv::ui;
using sv::prefs::PSCellType;
using sv::prefs::PSListController;

namespace prefs_host {
namespace {
    std::string leafName(const std::string& path)
    {
        auto slash = path.rfind('/');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

void walkViews(const std::shared_ptr<UIView>& view, const std::function<bool(const std::shared_ptr<UIView>&)>& visit)
{
    if (!visit(view))
        return;
    auto children = view->subviews();
    for (const auto& child : children)
        walkViews(child, visit);
}

std::shared_ptr<UITableView> tableOf(const std::shared_ptr<UIViewController>& controller)
{
    return controller ? std::dynamic_pointer_cast<UITableView>(controller->view()) : nullptr;
}

RowLook lookOfRow(UITableView& table, const NSIndexPath& indexPath)
{
    RowLook look;
    table.visitCellForRowAtIndexPath(indexPath, [&](UITableViewCell& cell) {
        RecordingContext context;
        drawViewHierarchy(cell, context);
        for (const DrawOp& op : context.operations()) {
            bool text = op.kind == DrawOp::Kind::DrawTextAtPoint || op.kind == DrawOp::Kind::DrawTextInRect;
            if (text && look.name.empty() && !op.text.empty())
                look.name = op.text;
            else if (text && !op.text.empty())
                look.more.push_back(op.text);
            else if (op.kind == DrawOp::Kind::DrawImageInRect)
                look.icon = true;
            else if (op.kind == DrawOp::Kind::DrawImageAtPoint)
                look.mark = leafName(op.imagePath);
        }
    });
    return look;
}

std::string describeRow(const RowLook& look)
{
    std::string line = quoted(look.name);
    for (const std::string& text : look.more)
        line += ", " + quoted(text);
    if (!look.icon)
        line += ", no icon";
    if (!look.mark.empty())
        line += ", mark " + look.mark;
    return line;
}

std::shared_ptr<UIProgressHUD> findOverlay(const std::shared_ptr<UIView>& root)
{
    std::shared_ptr<UIProgressHUD> found;
    if (!root)
        return found;
    walkViews(root, [&](const std::shared_ptr<UIView>& view) {
        if (!found)
            found = std::dynamic_pointer_cast<UIProgressHUD>(view);
        return !found;
    });
    return found;
}

std::string describeOverlay(const UIProgressHUD& overlay)
{
    std::string text = overlay.text();
    std::optional<float> progress;
    for (const auto& child : overlay.subviews()) {
        if (auto label = std::dynamic_pointer_cast<UILabel>(child))
            text = label->text();
        else if (auto bar = std::dynamic_pointer_cast<UIProgressView>(child))
            progress = bar->progress();
    }
    return quoted(text) + (progress ? " " + number(*progress) : "");
}

std::string describePanel(const AlertPanel& panel)
{
    auto* sheet = dynamic_cast<const UIActionSheet*>(&panel);
    auto* alert = dynamic_cast<const UIAlertView*>(&panel);
    std::string line = std::string(sheet ? "sheet " : "alert ") + quoted(panel.title());
    if (alert)
        line += " " + quoted(alert->message());
    line += " buttons";
    for (long i = 0; i < panel.numberOfButtons(); ++i) {
        line += (i ? ", " : " ") + quoted(panel.buttonTitleAtIndex(i));
        if (sheet && i == sheet->destructiveButtonIndex())
            line += " (destructive)";
    }
    return line;
}

namespace {
    void describeTable(UIViewController& controller, UITableView& table, const std::function<void(const std::string&)>& line)
    {
        if (auto overlay = findOverlay(controller.view()))
            line("overlay " + describeOverlay(*overlay));
        for (long s = 0; s < table.numberOfSections(); ++s) {
            if (auto title = table.titleForHeaderInSection(s))
                line("section " + quoted(*title));
            for (long r = 0; r < table.numberOfRowsInSection(s); ++r)
                line("row " + describeRow(lookOfRow(table, { s, r })));
        }
        if (auto footer = table.tableFooterView())
            walkViews(footer, [&](const std::shared_ptr<UIView>& view) {
                if (auto label = std::dynamic_pointer_cast<UILabel>(view); label && !label->isHidden())
                    line("footer " + quoted(label->text()));
                return true;
            });
        if (!table.sectionIndexTitles().empty()) {
            std::string letters;
            for (const auto& title : table.sectionIndexTitles())
                letters += title;
            line("index " + letters);
        }
    }

    void describeList(PSListController& list, const std::function<void(const std::string&)>& line)
    {
        // A group's footer comes under its rows.
        std::string footer;
        auto placeFooter = [&] {
            if (!footer.empty())
                line("footer " + quoted(footer));
            footer.clear();
        };
        for (const auto& specifier : list.specifiers()) {
            if (specifier->cellType() == PSCellType::Group) {
                placeFooter();
                if (!specifier->name().empty())
                    line("group " + quoted(specifier->name()));
                footer = specifier->footerText();
                continue;
            }
            std::string text = "row " + specifier->identifier() + " " + quoted(specifier->name());
            auto cell = list.cachedCellForSpecifier(*specifier);
            if (!cell) {
                line(text + " (no cell yet)");
                continue;
            }
            if (specifier->cellType() == PSCellType::Link && !specifier->detailControllerClass().empty())
                text += " opens " + specifier->detailControllerClass();
            for (const auto& subview : cell->subviews()) {
                if (subview == cell->textLabel())
                    continue;
                std::string part;
                if (auto control = std::dynamic_pointer_cast<UISwitch>(subview))
                    part = std::string("switch ") + (control->isOn() ? "on" : "off");
                else if (auto slider = std::dynamic_pointer_cast<UISlider>(subview))
                    part = "slider " + number(slider->value());
                else if (auto label = std::dynamic_pointer_cast<UILabel>(subview))
                    part = "label " + quoted(label->text());
                else
                    part = std::string(subview->className());
                text += ", " + part + (subview->isHidden() ? " (hidden)" : "");
            }
            line(text);
        }
        placeFooter();
    }
}

void describeScreen(UIViewController& controller, const std::function<void(const std::string&)>& line)
{
    controller.view()->layoutIfNeeded();
    line("screen " + std::string(controller.className()) + " " + quoted(controller.navigationTitle()));
    for (const auto& panel : UIApplication::sharedApplication().visibleAlerts())
        line(describePanel(*panel));
    if (auto table = std::dynamic_pointer_cast<UITableView>(controller.view())) {
        describeTable(controller, *table, line);
        return;
    }
    if (auto* list = dynamic_cast<PSListController*>(&controller)) {
        describeList(*list, line);
        return;
    }
    walkViews(controller.view(), [&](const std::shared_ptr<UIView>& view) {
        if (auto label = std::dynamic_pointer_cast<UILabel>(view); label && !label->isHidden() && !label->text().empty())
            line("label " + quoted(label->text()));
        return true;
    });
}

} // namespace prefs_host
