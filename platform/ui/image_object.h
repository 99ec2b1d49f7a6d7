#pragma once
// Images as runtime objects ("UIImage"), as the home screen hands them to the library.

#include "platform/runtime/object.h"
#include "platform/ui/image.h"

#include <memory>
#include <optional>
#include <vector>

namespace sv::ui {

rt::Ref makeImageObject(std::shared_ptr<Image> image);
// The image of a UIImage object, or null for anything else.
std::shared_ptr<Image> imageOf(id object);

} // namespace sv::ui

// The PNG encoding of a UIImage object, or nothing.
std::optional<std::vector<std::uint8_t>> UIImagePNGRepresentation(id image);
