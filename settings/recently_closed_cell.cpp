#include "settings/recently_closed_cell.h"

#include "contract/settings_contract.h"
#include "platform/foundation/make_set_up.h"
#include "platform/ui/graphics_context.h"
#include "platform/ui/string_drawing.h"
#include "settings/app_cell.h"

using namespace sv::ui;

namespace {
constexpr Rect kIcon { 5, 11, 30, 30 };
constexpr Point kName { 44, 5 };
constexpr Point kDetail { 44, 31 };
constexpr float kAgoRight = 250;
constexpr float kAgoWidth = 70;
constexpr Point kMark { 257, 9 };
constexpr float kNameWidth = kAgoRight - kAgoWidth - kName.x - 4;

const UIFont& nameFont()
{
    static const UIFont font = AppCell::largeFont().fontWithSize(17.0f);
    return font;
}

const UIFont& smallFont()
{
    static const UIFont font = UIFont::systemFontOfSize(11.0f);
    return font;
}
}

std::shared_ptr<SLVRecentlyClosedCell> SLVRecentlyClosedCell::initWithStyle(UITableViewCellStyle style,
                                                                             std::string reuseIdentifier)
{
    return sv::makeSetUp(new SLVRecentlyClosedCell, &SLVRecentlyClosedCell::setUpWithStyle, style,
                         std::move(reuseIdentifier));
}

void SLVRecentlyClosedCell::setContent(std::shared_ptr<Image> icon, std::string name, std::string ago,
                                       std::string detail, bool never)
{
    icon_ = std::move(icon);
    name_ = std::move(name);
    ago_ = std::move(ago);
    detail_ = std::move(detail);
    never_ = never;
    setNeedsDisplay();
}

void SLVRecentlyClosedCell::drawContentView(const Rect& rect)
{
    bool lit = isHighlighted() || isSelected();
    (lit ? UIColor::clearColor() : UIColor::whiteColor()).set();
    CGContextFillRect(UIGraphicsGetCurrentContext(), rect);

    (lit ? UIColor::whiteColor() : UIColor::blackColor()).set();
    drawAtPoint(name_, kName, kNameWidth, nameFont(), LineBreakMode::TailTruncation);
    (lit ? UIColor::whiteColor() : UIColor::darkGrayColor()).set();
    drawInRect(ago_, { kAgoRight - kAgoWidth, kName.y + 3, kAgoWidth, smallFont().lineHeight() }, smallFont(),
               LineBreakMode::TailTruncation, TextAlignment::Right);
    // The mark's column is the detail's too when there is no mark.
    float detailWidth = (never_ ? kMark.x - 4 : bounds().width() - 5) - kDetail.x;
    drawAtPoint(detail_, kDetail, detailWidth, smallFont(), LineBreakMode::TailTruncation);
    if (icon_)
        drawImageInRect(*icon_, kIcon);
    if (never_) {
        if (auto mark = Image::fromFile(slv::path::NeverMark))
            drawImageAtPoint(*mark, kMark);
    }
}
