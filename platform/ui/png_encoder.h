#pragma once
// PNG encoding of 32-bit premultiplied ARGB pixels (cairo's image format) through libspng, at a
// fast setting: the catalogue export encodes hundreds of small icons on the home screen's thread.

#include <cstdint>
#include <optional>
#include <vector>

namespace sv::ui {

// Rows of native-endian 0xAARRGGBB words, stride in bytes. An image with no transparent pixel is
// written as RGB, any other as RGBA with the colours un-premultiplied, as cairo's own writer
// does, so that decoding gives back the same pixels.
std::optional<std::vector<std::uint8_t>> encodePng(const std::uint32_t* pixels, int width, int height, int stride);

} // namespace sv::ui
