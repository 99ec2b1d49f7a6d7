#pragma once
// A bitmap image (32-bit ARGB, premultiplied), read from PNG through cairo, written through libspng.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sv::ui {

class Image {
public:
    // A transparent image; null for a size that is not positive or too large.
    static std::shared_ptr<Image> create(int width, int height);
    static std::shared_ptr<Image> fromPngData(const std::uint8_t* bytes, std::size_t size);
    // imageWithContentsOfFile: the PNG at a device path, or null when it cannot be read.
    static std::shared_ptr<Image> fromFile(std::string_view devicePath);

    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    int width() const;
    int height() const;
    int stride() const;
    // Native-endian 0xAARRGGBB words, premultiplied; call markDirty() after writing.
    std::uint32_t* pixels();
    const std::uint32_t* pixels() const;
    void markDirty();

    // The image encoded as PNG, or nothing when encoding fails.
    std::optional<std::vector<std::uint8_t>> pngData() const;

    // The cairo_surface_t behind the image, for drawing into it or with it.
    void* cairoSurface() const { return surface_; }

    // The device path the image was read from; empty for one made otherwise. Lets hosts and
    // tests tell what a view drew.
    const std::string& sourcePath() const { return sourcePath_; }

private:
    explicit Image(void* surface) : surface_(surface) { }
    void* surface_;
    std::string sourcePath_;
};

} // namespace sv::ui
