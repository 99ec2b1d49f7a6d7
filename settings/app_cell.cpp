#include "settings/app_cell.h"

#include "contract/settings_contract.h"
#include "platform/foundation/make_set_up.h"
#include "platform/ui/graphics_context.h"
#include "platform/ui/string_drawing.h"

using namespace sv::ui;

namespace {
struct Layout {
    Rect icon;
    Point name;
    float nameWidth;
    Point mark;
};

// Plain, folder, warning; editing (plain, folder); delete confirmation (plain, folder).
constexpr Layout kPlain { { 5, 7, 30, 30 }, { 44, 11 }, 179, { 257, 5 } };
constexpr Layout kFolder { { 8, 12, 25, 28 }, { 44, 11 }, 179, { 257, 5 } };
constexpr Layout kWarning { { 41, 7, 30, 30 }, { 75, 11 }, 155, { 257, 5 } };
constexpr Layout kEditing { { 45, 7, 30, 30 }, { 84, 11 }, 157, { 277, 5 } };
constexpr Layout kEditingFolder { { 48, 12, 25, 28 }, { 84, 11 }, 157, { 277, 5 } };
constexpr Layout kDeleting { { 45, 7, 30, 30 }, { 84, 11 }, 100, { 215, 5 } };
constexpr Layout kDeletingFolder { { 48, 12, 25, 28 }, { 84, 11 }, 100, { 215, 5 } };
}

std::shared_ptr<AppCell> AppCell::initWithStyle(UITableViewCellStyle style, std::string reuseIdentifier)
{
    return sv::makeSetUp(new AppCell, &AppCell::setUpWithStyle, style, std::move(reuseIdentifier));
}

const UIFont& AppCell::largeFont()
{
    static const UIFont font = UIFont::boldSystemFontOfSize(20.0f);
    return font;
}

void AppCell::setAppIcon(std::shared_ptr<Image> icon)
{
    setDrawn(appIcon_, std::move(icon));
}

void AppCell::setAppName(std::optional<std::string> name)
{
    setDrawn(appName_, std::move(name));
}

void AppCell::setIsLocked(bool locked)
{
    setDrawn(IsLocked, locked);
}

void AppCell::setIsCustom(bool custom)
{
    setDrawn(IsCustom, custom);
}

void AppCell::setIsWarning(bool warning)
{
    setDrawn(IsWarning, warning);
}

void AppCell::drawContentView(const Rect& rect)
{
    // Highlighted or selected: clear, so that the cell's selection colour shows, and white text.
    bool lit = isHighlighted() || isSelected();
    UIColor background = lit ? UIColor::clearColor() : UIColor::whiteColor();
    UIColor text = lit ? UIColor::whiteColor() : UIColor::blackColor();

    background.set();
    CGContextFillRect(UIGraphicsGetCurrentContext(), rect);
    text.set();

    const Layout* layout;
    if (!isEditing())
        layout = IsWarning ? &kWarning : (IsFolder ? &kFolder : &kPlain);
    else if (!showingDeleteConfirmation())
        layout = IsFolder ? &kEditingFolder : &kEditing;
    else
        layout = IsFolder ? &kDeletingFolder : &kDeleting;

    if (appName_)
        drawAtPoint(*appName_, layout->name, layout->nameWidth, largeFont(), LineBreakMode::TailTruncation);
    if (appIcon_)
        drawImageInRect(*appIcon_, layout->icon);
    if (IsLocked) {
        // Read at every paint: the marks are the bundle's files, not cached.
        if (auto mark = Image::fromFile(IsCustom ? slv::path::AlwaysMark : slv::path::NeverMark))
            drawImageAtPoint(*mark, layout->mark);
    }
}
