#include "hosts/springboard/icon_model.h"

#include "hosts/springboard/springboard.h"
#include "contract/home_screen.h"
#include "platform/runtime/class_builder.h"
#include "platform/runtime/foundation_objects.h"
#include "platform/foundation/string_case.h"
#include "platform/ui/bezier_path.h"
#include "platform/ui/cairo_context.h"
#include "platform/ui/font.h"
#include "platform/ui/image_object.h"
#include "platform/ui/string_drawing.h"

#include <cctype>
#include <cmath>
#include <cstdint>

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
        return sv::rt::autorelease(sv::rt::makeSet(IconModel::shared().snapshot()).leak());
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
    sv::ui::UIColor identifierColour(std::string_view leaf)
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
        return { static_cast<float>(sector[0] + m), static_cast<float>(sector[1] + m), static_cast<float>(sector[2] + m), 1 };
    }

    // The name's first grapheme (a letter with its marks, a whole emoji) in title case; nothing
    // for one that is not valid UTF-8 or leaves no ink (white space, control characters).
    std::string initial(std::string_view name)
    {
        std::string_view first = sv::ui::firstGrapheme(name);
        if (first.empty())
            return {};
        auto lead = static_cast<unsigned char>(first[0]);
        if (first.size() == 1 && (lead >= 0x80 || !std::isgraph(lead)))
            return {};
        return sv::capitalizedString(first);
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
    applicationIcons_.clear();
    snapshot_.reset();
}

sv::rt::SharedElements IconModel::snapshot() const
{
    const auto& applications = Springboard::shared().applications();
    const std::size_t total = applications.size() + standalone_.size();
    // The last list while every icon is the one it holds at that place; a new list is made
    // from the first icon that differs.
    const std::vector<sv::rt::Ref>* last = snapshot_.get();
    bool changed = !last || last->size() != total;
    std::size_t same = 0;
    std::vector<sv::rt::Ref> fresh;
    if (changed)
        fresh.reserve(total);
    auto add = [&](const sv::rt::Ref& icon) {
        if (!changed && (*last)[same] == icon) {
            ++same;
            return;
        }
        if (!changed) {
            changed = true;
            fresh.reserve(total);
            fresh.assign(last->begin(), last->begin() + static_cast<std::ptrdiff_t>(same));
        }
        fresh.push_back(icon);
    };
    // The home screen keeps its icon objects; one is made anew only when its application was
    // re-described. Both maps are in the same order: walked side by side, each application meets
    // its cached icon without a search. An application is registered under one identifier for
    // its life, so the entry held for that very application is the one for its identifier: the
    // identifiers are compared only where the entries and the applications part.
    auto cached = applicationIcons_.begin();
    for (const auto& [key, application] : applications) {
        const ApplicationState* app = applicationState(application.get());
        if (cached == applicationIcons_.end() || cached->second.application.get() != application.get())
            while (cached != applicationIcons_.end() && cached->first < key)
                ++cached;
        if (cached == applicationIcons_.end() || cached->second.application.get() != application.get()
            || cached->second.identifier != app->bundleIdentifier.get() || cached->second.name != app->name
            || cached->second.drawsImage != app->drawsIcon)
            cached = applicationIcons_.insert_or_assign(cached, key, CachedIcon { application, app->bundleIdentifier.get(), app->name, app->drawsIcon,
                                                                                   makeIcon(app->bundleIdentifier, sv::rt::makeString(app->name), app->drawsIcon, true) });
        add(cached->second.icon);
        ++cached;
    }
    if (applicationIcons_.size() > applications.size())
        std::erase_if(applicationIcons_, [&](const auto& entry) { return !applications.contains(entry.first); });
    for (const sv::rt::Ref& icon : standalone_)
        add(icon);
    if (changed)
        snapshot_ = std::make_shared<const std::vector<sv::rt::Ref>>(std::move(fresh));
    return snapshot_;
}

std::shared_ptr<sv::ui::Image> drawIcon(std::string_view leafIdentifier, std::string_view displayName)
{
    using namespace sv::ui;
    auto image = Image::create(kIconSide, kIconSide);
    auto context = image ? CairoContext::create(image) : nullptr;
    if (!context)
        return nullptr;
    constexpr float side = kIconSide;
    context->setFillColor(identifierColour(leafIdentifier));
    context->fillPath(UIBezierPath::bezierPathWithRoundedRect({ 0, 0, side, side }, side * 0.18f));

    std::string letter = initial(displayName);
    if (!letter.empty()) {
        UIFont font = UIFont::boldSystemFontOfSize(side * 0.55f);
        float height = font.lineHeight();
        context->setFillColor(UIColor::whiteColor());
        context->drawTextInRect(letter, { 0, (side - height) / 2, side, height }, font, LineBreakMode::Clip,
                                TextAlignment::Center);
    }
    context.reset();
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
