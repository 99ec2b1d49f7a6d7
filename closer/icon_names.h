#pragma once
// How a record's image is named, for the catalogue export that writes the images and for the
// check that finds them again.

#include "platform/foundation/files.h"

#include <optional>
#include <string>
#include <string_view>

// The file name of leaf's image in the icons folder; nothing when the identifier cannot name a
// file there.
std::optional<std::string> imageNameFor(std::string_view leaf);

// The "IconPath" a record of leaf gets from what is on disk now: its image, else the fallback;
// icons is the icons folder, opened once for many records (nothing: there is none).
std::string recordIconPath(std::string_view leaf, const std::optional<sv::fs::Folder>& icons);
