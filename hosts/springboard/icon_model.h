#pragma once
// The home screen's icons ("SBIconModel"): one per installed application, then the icons that
// stand alone (`icon`), in the order they were added.

#include "hosts/common/scenario.h"
#include "platform/runtime/foundation_objects.h"
#include "platform/runtime/object.h"
#include "platform/ui/image.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sb {

// The C++ side of an icon object: "SBApplicationIcon" draws, a plain "SBIcon" cannot.
struct IconState : sv::rt::ObjectState {
    sv::rt::Ref leafIdentifier; // NSString or null
    sv::rt::Ref displayName;    // NSString or null
    bool drawsImage = true;     // false: generateIconImage: answers nil
};

class IconModel {
public:
    static IconModel& shared();

    // `icons some`, `icons none` (no icon list), `icons no-model` (no shared model).
    enum class Availability { Icons, NoIcons, NoModel };
    void setAvailability(Availability availability) { availability_ = availability; }
    Availability availability() const { return availability_; }

    // Adds an icon with no application behind it; a null leaf or name stays null. canDraw false
    // makes an icon that does not answer generateIconImage: at all.
    id addIcon(std::optional<std::string> leafIdentifier, std::optional<std::string> displayName,
               bool drawsImage = true, bool canDraw = true);
    // Removes the standalone icons of a leaf identifier; answers how many went.
    std::size_t removeIcons(std::string_view leafIdentifier);
    // Back to every icon available and no standalone ones (tests).
    void reset();

    // Every icon: the applications' in the registry's order, then the others. The same list
    // is handed out again while no icon in it changed.
    sv::rt::SharedElements snapshot() const;
    // A copy of that list.
    std::vector<sv::rt::Ref> icons() const { return *snapshot(); }

private:
    struct CachedIcon {
        sv::rt::Ref application; // held, so that its address names it while it is cached
        id identifier;           // the icon's, held by the icon
        std::string name;
        bool drawsImage;
        sv::rt::Ref icon;
    };
    Availability availability_ = Availability::Icons;
    std::vector<sv::rt::Ref> standalone_;
    mutable std::map<std::string, CachedIcon, std::less<>> applicationIcons_;
    mutable sv::rt::SharedElements snapshot_;
};

inline constexpr int kIconSide = 60;

// A rounded square in a colour derived from the identifier, with the name's initial in white.
std::shared_ptr<sv::ui::Image> drawIcon(std::string_view leafIdentifier, std::string_view displayName);

// "SBIcon", "SBApplicationIcon" and "SBIconModel".
void registerIconClasses();

// icon <leaf-id> "<name>" [flags], icons some|none|no-model
void addIconCommands(sv::host::Scenario& scenario);

} // namespace sb
