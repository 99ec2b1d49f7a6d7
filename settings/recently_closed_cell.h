#pragma once
// A row of the Recently Closed screen, painted by itself as the choosers' rows are: icon and
// name as there, below the name why the application was closed, how long ago on the right, and
// the never-close mark for an application already on the Never list.

#include "platform/ui/image.h"
#include "settings/ab_table_view_cell.h"

#include <memory>
#include <string>

class SLVRecentlyClosedCell : public ABTableViewCell {
public:
    static constexpr float kHeight = 52;

    static std::shared_ptr<SLVRecentlyClosedCell> initWithStyle(sv::ui::UITableViewCellStyle style,
                                                                std::string reuseIdentifier);

    // Each asks for a redraw.
    void setContent(std::shared_ptr<sv::ui::Image> icon, std::string name, std::string ago, std::string detail,
                    bool never);

protected:
    void drawContentView(const sv::ui::Rect& rect) override;
    SLVRecentlyClosedCell() = default;

private:
    std::shared_ptr<sv::ui::Image> icon_;
    std::string name_, ago_, detail_;
    bool never_ = false;
};
