#include "hosts/preferences/screen_looks.h"

#include "platform/ui/action_sheet.h"
#include "platform/ui/alert_view.h"
#include "platform/ui/label.h"
#include "platform/ui/progress_view.h"
#include "platform/ui/recording_context.h"
#include "platform/ui/view_renderer.h"

#include <cstdio>
#include <functional>

using namespace sv::ui;

namespace prefs_host {
namespace {
    void walk(const std::shared_ptr<UIView>& view, const std::function<bool(const std::shared_ptr<UIView>&)>& visit)
    {
        if (!visit(view))
            return;
        auto children = view->subviews();
        for (const auto& child : children)
            walk(child, visit);
    }

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
    walk(root, [&](const std::shared_ptr<UIView>& view) {
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

} // namespace prefs_host
