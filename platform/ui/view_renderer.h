#pragma once
// Drawing a whole view tree: each visible view at its place, its background, its drawRect,
// then its subviews, with its alpha.

#include "platform/ui/graphics_context.h"
#include "platform/ui/view.h"

#include <memory>
#include <string>

namespace sv::ui {

class Image;

// Lays the tree out, then draws it into the context with the view's top-left corner at the
// context's origin.
void drawViewHierarchy(UIView& view, GraphicsContext& context);
// The tree as an image of the view's size times scale; null when it cannot be made.
std::shared_ptr<Image> renderView(UIView& view, float scale = 1);
// The same written as a PNG file (a host path); false when it cannot be written.
bool writeViewPng(UIView& view, const std::string& hostPath, float scale = 1);

} // namespace sv::ui
