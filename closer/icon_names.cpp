#include "closer/icon_names.h"

#include "contract/settings_contract.h"

std::optional<std::string> imageNameFor(std::string_view leaf)
{
    // The name is made from the identifier, so one that names a folder, climbs out of the icons
    // folder or cannot be a file name gets no image at all.
    if (!sv::fs::isPlainName(leaf))
        return std::nullopt;
    return std::string(leaf) + ".png";
}

std::string recordIconPath(std::string_view leaf, const std::optional<sv::fs::Folder>& icons)
{
    auto name = imageNameFor(leaf);
    return name && icons && sv::fs::existsIn(*icons, *name) ? slv::iconImagePath(leaf) : std::string(slv::path::MissingIcon);
}
