#pragma once
// The chooser's application row: icon, name and, for an application in the list being edited,
// the list's mark, all painted by the row itself in one of seven layouts chosen by its state.

#include "platform/ui/font.h"
#include "platform/ui/image.h"
#include "settings/ab_table_view_cell.h"

#include <memory>
#include <optional>
#include <string>

class AppCell : public ABTableViewCell {
public:
    static std::shared_ptr<AppCell> initWithStyle(sv::ui::UITableViewCellStyle style, std::string reuseIdentifier);

    // The name's font, made once for the class.
    static const sv::ui::UIFont& largeFont();

    // Setters of what is drawn ask for a redraw; the others only store.
    void isFolder(bool folder) { IsFolder = folder; }
    void setAppIcon(std::shared_ptr<sv::ui::Image> icon);
    void setAppName(std::optional<std::string> name);
    void setAppID(std::optional<std::string> appID) { appID_ = std::move(appID); }
    void setIsLocked(bool locked);
    void setIsCustom(bool custom);
    void setIsWarning(bool warning);

    const std::optional<std::string>& appName() const { return appName_; }
    const std::optional<std::string>& appID() const { return appID_; }
    const std::shared_ptr<sv::ui::Image>& appIcon() const { return appIcon_; }
    bool isLocked() const { return IsLocked; }
    bool isCustom() const { return IsCustom; }
    bool isWarning() const { return IsWarning; }

protected:
    void drawContentView(const sv::ui::Rect& rect) override;
    AppCell() = default;

private:
    std::optional<std::string> appName_;
    std::optional<std::string> appID_;
    std::shared_ptr<sv::ui::Image> appIcon_;
    bool IsLocked = false;
    bool IsCustom = false;
    bool IsWarning = false;
    bool IsFolder = false;
};
