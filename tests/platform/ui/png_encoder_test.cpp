#include "platform/ui/image.h"
#include "platform/ui/png_encoder.h"

#include <gtest/gtest.h>

#include <cairo.h>

namespace {

using sv::ui::Image;

// Every alpha with colours up to it, and a run of opaque and fully transparent pixels.
std::shared_ptr<Image> translucentImage()
{
    auto image = Image::create(256, 3);
    std::uint32_t* pixels = image->pixels();
    int words = image->stride() / 4;
    for (std::uint32_t x = 0; x < 256; ++x) {
        pixels[x] = (x << 24) | ((x * 7 % (x + 1)) << 16) | ((x / 2) << 8) | (x / 3);
        pixels[words + x] = 0xFF000000u | (x << 16) | ((255 - x) << 8) | 0x40;
        pixels[2 * words + x] = 0;
    }
    image->markDirty();
    return image;
}

std::vector<std::uint32_t> decoded(const std::vector<std::uint8_t>& png, int& colourType)
{
    colourType = png.size() > 25 ? png[25] : -1;
    auto image = Image::fromPngData(png.data(), png.size());
    if (!image)
        return {};
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < image->height(); ++y)
        for (int x = 0; x < image->width(); ++x)
            pixels.push_back(image->pixels()[y * image->stride() / 4 + x]);
    return pixels;
}

std::vector<std::uint8_t> cairoPng(const Image& image)
{
    std::vector<std::uint8_t> bytes;
    cairo_surface_write_to_png_stream(
        static_cast<cairo_surface_t*>(image.cairoSurface()),
        [](void* closure, const unsigned char* data, unsigned int length) {
            static_cast<std::vector<std::uint8_t>*>(closure)->insert(static_cast<std::vector<std::uint8_t>*>(closure)->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    return bytes;
}

TEST(PngEncoder, DecodesToWhatCairosOwnWriterGivesForEveryAlpha)
{
    auto image = translucentImage();
    auto png = image->pngData();
    ASSERT_TRUE(png);
    int ours = 0, theirs = 0;
    auto pixels = decoded(*png, ours);
    ASSERT_EQ(pixels.size(), 256u * 3);
    EXPECT_EQ(pixels, decoded(cairoPng(*image), theirs));
    EXPECT_EQ(ours, 6); // RGBA
}

TEST(PngEncoder, WritesAnOpaqueImageAsRgbWithItsExactColours)
{
    auto image = Image::create(40, 30);
    std::uint32_t* pixels = image->pixels();
    for (int i = 0; i < image->stride() / 4 * 30; ++i)
        pixels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u & 0xFFFFFF);
    image->markDirty();
    int colourType = 0;
    auto back = decoded(*image->pngData(), colourType);
    EXPECT_EQ(colourType, 2);
    ASSERT_EQ(back.size(), 40u * 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(back[y * 40 + x], image->pixels()[y * image->stride() / 4 + x]);
}

TEST(PngEncoder, RefusesWhatIsNoImage)
{
    std::uint32_t pixel = 0;
    EXPECT_FALSE(sv::ui::encodePng(nullptr, 1, 1, 4));
    EXPECT_FALSE(sv::ui::encodePng(&pixel, 0, 1, 4));
    EXPECT_FALSE(sv::ui::encodePng(&pixel, 2, 1, 4)); // stride shorter than a row
}

} // namespace
