#include "hosts/springboard/icon_model.h"

#include "hosts/springboard/springboard.h"
#include "platform/home_screen.h"
#include "platform/runtime/class_builder.h"
#include "platform/runtime/foundation_objects.h"
#include "platform/ui/image_object.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace sb {
namespace {

    IconState* iconState(id self)
    {
        return sv::rt::state<IconState>(self);
    }

    Class drawingIconClass()
    {
        return objc_getClass("SBApplicationIcon");
    }

    Class plainIconClass()
    {
        return objc_getClass("SBIcon");
    }

    id leafIdentifier(id self, SEL) { return iconState(self)->leafIdentifier.get(); }
    id displayName(id self, SEL) { return iconState(self)->displayName.get(); }

    // The argument picks an image variant on the phone; here there is one.
    id generateIconImage(id self, SEL, int)
    {
        IconState* state = iconState(self);
        if (!state->drawsImage)
            return nullptr;
        const std::string* leaf = sv::rt::stringValue(state->leafIdentifier.get());
        const std::string* name = sv::rt::stringValue(state->displayName.get());
        auto image = drawIcon(leaf ? *leaf : std::string_view(), name ? *name : std::string_view());
        return image ? sv::rt::autorelease(sv::ui::makeImageObject(std::move(image)).leak()) : nullptr;
    }

    id sharedModel(id, SEL)
    {
        if (IconModel::shared().availability() == IconModel::Availability::NoModel)
            return nullptr;
        static sv::rt::Ref model = sv::rt::Ref::adopt(sv::rt::alloc(objc_getClass(sv::home::cls::IconModel)));
        return model.get();
    }

    id applicationIcons(id, SEL)
    {
        if (IconModel::shared().availability() != IconModel::Availability::Icons)
            return nullptr;
        return sv::rt::autorelease(sv::rt::makeSet(IconModel::shared().icons()).leak());
    }

    sv::rt::Ref makeIcon(sv::rt::Ref leaf, sv::rt::Ref name, bool drawsImage, bool canDraw)
    {
        sv::rt::Ref icon = sv::rt::Ref::adopt(sv::rt::alloc(canDraw ? drawingIconClass() : plainIconClass()));
        IconState* state = iconState(icon.get());
        state->leafIdentifier = std::move(leaf);
        state->displayName = std::move(name);
        state->drawsImage = drawsImage;
        return icon;
    }

    sv::rt::Ref optionalString(const std::optional<std::string>& text)
    {
        return text ? sv::rt::makeString(*text) : nullptr;
    }

    // Hue from the identifier, so an icon keeps its colour from run to run.
    void identifierColour(std::string_view leaf, double& r, double& g, double& b)
    {
        std::uint32_t hash = 2166136261u;
        for (unsigned char c : leaf)
            hash = (hash ^ c) * 16777619u;
        double hue = static_cast<double>(hash % 360) / 60.0;
        double saturation = 0.55 + static_cast<double>((hash >> 9) % 30) / 100.0;
        double value = 0.62 + static_cast<double>((hash >> 17) % 25) / 100.0;
        double chroma = value * saturation;
        double x = chroma * (1 - std::fabs(std::fmod(hue, 2.0) - 1));
        double m = value - chroma;
        double rgb[6][3] = { { chroma, x, 0 }, { x, chroma, 0 }, { 0, chroma, x },
                             { 0, x, chroma }, { x, 0, chroma }, { chroma, 0, x } };
        const double* sector = rgb[static_cast<int>(hue) % 6];
        r = sector[0] + m;
        g = sector[1] + m;
        b = sector[2] + m;
    }

    // The first character of a UTF-8 name, capitalised when it is a plain letter.
    std::string initial(std::string_view name)
    {
        if (name.empty())
            return {};
        auto lead = static_cast<unsigned char>(name[0]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xe ? 3 : (lead >> 3) == 0x1e ? 4 : 0;
        if (length == 0 || length > name.size())
            return {};
        for (std::size_t i = 1; i < length; ++i)
            if ((static_cast<unsigned char>(name[i]) & 0xc0) != 0x80)
                return {};
        std::string letter(name.substr(0, length));
        if (length == 1) {
            if (!std::isgraph(lead))
                return {};
            letter[0] = static_cast<char>(std::toupper(lead));
        }
        return letter;
    }

    // The letter's face, straight from its file: going through the font configuration would leave
    // its caches behind for the leak checker. Made once, kept for the life of the process.
    cairo_font_face_t* letterFace()
    {
        static cairo_font_face_t* face = [] () -> cairo_font_face_t* {
            FT_Library library = nullptr;
            FT_Face ftFace = nullptr;
            if (FT_Init_FreeType(&library) != 0)
                return nullptr;
            if (FT_New_Face(library, SB_ICON_FONT_PATH, 0, &ftFace) != 0) {
                FT_Done_FreeType(library);
                return nullptr;
            }
            cairo_font_face_t* made = cairo_ft_font_face_create_for_ft_face(ftFace, 0);
            if (cairo_font_face_status(made) != CAIRO_STATUS_SUCCESS) {
                cairo_font_face_destroy(made);
                FT_Done_Face(ftFace);
                FT_Done_FreeType(library);
                return nullptr;
            }
            return made;
        }();
        return face;
    }

    std::optional<std::string> iconCommand(const sv::host::Scenario::Words& words)
    {
        if (words.size() < 3)
            return "icon takes a leaf identifier and a name";
        sv::host::Options options = sv::host::parseOptions(words, 3);
        if (!options.values.empty())
            return "unknown option " + options.values.begin()->first + "=";
        bool drawsImage = true, canDraw = true, hasLeaf = true, hasName = true;
        for (const std::string& flag : options.flags) {
            if (flag == "noimage") drawsImage = false;
            else if (flag == "cannot-draw") canDraw = false;
            else if (flag == "no-id") hasLeaf = false;
            else if (flag == "no-name") hasName = false;
            else return "unknown flag " + flag;
        }
        IconModel::shared().addIcon(hasLeaf ? std::optional(words[1]) : std::nullopt,
                                    hasName ? std::optional(words[2]) : std::nullopt, drawsImage, canDraw);
        return std::nullopt;
    }

    std::optional<std::string> iconsCommand(const sv::host::Scenario::Words& words)
    {
        if (words.size() == 2 && words[1] == "some")
            IconModel::shared().setAvailability(IconModel::Availability::Icons);
        else if (words.size() == 2 && words[1] == "none")
            IconModel::shared().setAvailability(IconModel::Availability::NoIcons);
        else if (words.size() == 2 && words[1] == "no-model")
            IconModel::shared().setAvailability(IconModel::Availability::NoModel);
        else if (words.size() == 3 && words[1] == "remove")
            return IconModel::shared().removeIcons(words[2]) ? std::nullopt
                                                             : std::optional<std::string>("no icon " + words[2]);
        else
            return "icons takes some, none, no-model or remove <leaf-id>";
        return std::nullopt;
    }

} // namespace

IconModel& IconModel::shared()
{
    static IconModel instance;
    return instance;
}

id IconModel::addIcon(std::optional<std::string> leafIdentifier, std::optional<std::string> displayName,
                      bool drawsImage, bool canDraw)
{
    registerIconClasses();
    standalone_.push_back(makeIcon(optionalString(leafIdentifier), optionalString(displayName), drawsImage, canDraw));
    return standalone_.back().get();
}

std::size_t IconModel::removeIcons(std::string_view leafIdentifier)
{
    return std::erase_if(standalone_, [leafIdentifier](const sv::rt::Ref& icon) {
        const std::string* leaf = sv::rt::stringValue(iconState(icon.get())->leafIdentifier.get());
        return leaf && *leaf == leafIdentifier;
    });
}

void IconModel::reset()
{
    availability_ = Availability::Icons;
    standalone_.clear();
}

std::vector<sv::rt::Ref> IconModel::icons() const
{
    std::vector<sv::rt::Ref> icons;
    const auto& applications = Springboard::shared().applications();
    icons.reserve(applications.size() + standalone_.size());
    for (const auto& [key, application] : applications) {
        const ApplicationState* app = applicationState(application.get());
        icons.push_back(makeIcon(app->bundleIdentifier, sv::rt::makeString(app->name), app->drawsIcon, true));
    }
    icons.insert(icons.end(), standalone_.begin(), standalone_.end());
    return icons;
}

std::shared_ptr<sv::ui::Image> drawIcon(std::string_view leafIdentifier, std::string_view displayName)
{
    auto image = sv::ui::Image::create(kIconSide, kIconSide);
    if (!image)
        return nullptr;
    cairo_t* cr = cairo_create(static_cast<cairo_surface_t*>(image->cairoSurface()));

    constexpr double side = kIconSide;
    constexpr double radius = side * 0.18;
    cairo_new_sub_path(cr);
    cairo_arc(cr, side - radius, radius, radius, -std::numbers::pi / 2, 0);
    cairo_arc(cr, side - radius, side - radius, radius, 0, std::numbers::pi / 2);
    cairo_arc(cr, radius, side - radius, radius, std::numbers::pi / 2, std::numbers::pi);
    cairo_arc(cr, radius, radius, radius, std::numbers::pi, 3 * std::numbers::pi / 2);
    cairo_close_path(cr);
    double r, g, b;
    identifierColour(leafIdentifier, r, g, b);
    cairo_set_source_rgb(cr, r, g, b);
    cairo_fill(cr);

    std::string letter = initial(displayName);
    cairo_font_face_t* face = letterFace();
    if (!letter.empty() && face) {
        cairo_set_font_face(cr, face);
        cairo_set_font_size(cr, side * 0.55);
        cairo_text_extents_t extents;
        cairo_text_extents(cr, letter.c_str(), &extents);
        cairo_move_to(cr, (side - extents.width) / 2 - extents.x_bearing, (side - extents.height) / 2 - extents.y_bearing);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_show_text(cr, letter.c_str());
    }
    cairo_destroy(cr);
    image->markDirty();
    return image;
}

void registerIconClasses()
{
    Class icon = sv::rt::ClassBuilder("SBIcon")
                     .state<IconState>()
                     .method(sv::home::sel::leafIdentifier, &leafIdentifier)
                     .method(sv::home::sel::displayName, &displayName)
                     .registerClass();
    sv::rt::ClassBuilder("SBApplicationIcon", icon)
        .method(sv::home::sel::generateIconImage, &generateIconImage)
        .registerClass();
    sv::rt::ClassBuilder(sv::home::cls::IconModel)
        .method(sv::home::sel::applicationIcons, &applicationIcons)
        .classMethod(sv::home::sel::sharedInstance, &sharedModel)
        .registerClass();
}

void addIconCommands(sv::host::Scenario& scenario)
{
    scenario.addCommand("icon", "icon <leaf-id> \"<name>\" [noimage] [cannot-draw] [no-id] [no-name]", iconCommand);
    scenario.addCommand("icons", "icons some|none|no-model|remove <leaf-id>", iconsCommand);
}

} // namespace sb
