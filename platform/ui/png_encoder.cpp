#include "platform/ui/png_encoder.h"

#include <spng.h>

#include <cstdlib>
#include <memory>

namespace sv::ui {
namespace {
    struct ContextDeleter {
        void operator()(spng_ctx* context) const { spng_ctx_free(context); }
    };

    // cairo's rounding, so that a premultiplied pixel survives the trip through the file.
    std::uint8_t unpremultiply(std::uint32_t channel, std::uint32_t alpha)
    {
        return static_cast<std::uint8_t>((channel * 255 + alpha / 2) / alpha);
    }
}

std::optional<std::vector<std::uint8_t>> encodePng(const std::uint32_t* pixels, int width, int height, int stride)
{
    if (!pixels || width <= 0 || height <= 0 || stride < width * 4)
        return std::nullopt;
    auto row = [&](int y) { return reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(pixels) + std::size_t(y) * stride); };

    bool opaque = true;
    for (int y = 0; y < height && opaque; ++y)
        for (int x = 0; x < width && opaque; ++x)
            opaque = (row(y)[x] >> 24) == 0xFF;

    const int channels = opaque ? 3 : 4;
    std::vector<std::uint8_t> packed(std::size_t(width) * height * channels);
    std::uint8_t* out = packed.data();
    for (int y = 0; y < height; ++y) {
        for (const std::uint32_t* p = row(y); p != row(y) + width; ++p) {
            std::uint32_t pixel = *p, alpha = pixel >> 24;
            std::uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
            if (opaque) {
                *out++ = static_cast<std::uint8_t>(r), *out++ = static_cast<std::uint8_t>(g), *out++ = static_cast<std::uint8_t>(b);
            } else if (alpha == 0xFF) {
                *out++ = static_cast<std::uint8_t>(r), *out++ = static_cast<std::uint8_t>(g), *out++ = static_cast<std::uint8_t>(b);
                *out++ = 0xFF;
            } else if (alpha == 0) {
                *out++ = 0, *out++ = 0, *out++ = 0, *out++ = 0;
            } else {
                *out++ = unpremultiply(r, alpha), *out++ = unpremultiply(g, alpha), *out++ = unpremultiply(b, alpha);
                *out++ = static_cast<std::uint8_t>(alpha);
            }
        }
    }

    std::unique_ptr<spng_ctx, ContextDeleter> context(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!context)
        return std::nullopt;
    spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1);
    // Measured on the icons: no filtering at zlib level 1 is ten times faster than cairo's
    // writer and its files are smaller; filters and higher levels cost more than they save.
    spng_set_option(context.get(), SPNG_IMG_COMPRESSION_LEVEL, 1);
    spng_set_option(context.get(), SPNG_FILTER_CHOICE, SPNG_DISABLE_FILTERING);
    // zlib's default state is some 256 KB, allocated, cleared and freed for every image: half
    // the time of a 60-point icon. Matches in an icon lie a row or a few pixels back, so an
    // 8 KB window and a hash table to match find the same ones (sizes within 0.2 %).
    spng_set_option(context.get(), SPNG_IMG_WINDOW_BITS, 13);
    spng_set_option(context.get(), SPNG_IMG_MEM_LEVEL, 5);
    spng_ihdr header {};
    header.width = static_cast<std::uint32_t>(width);
    header.height = static_cast<std::uint32_t>(height);
    header.bit_depth = 8;
    header.color_type = opaque ? SPNG_COLOR_TYPE_TRUECOLOR : SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    if (spng_set_ihdr(context.get(), &header) != 0
        || spng_encode_image(context.get(), packed.data(), packed.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0)
        return std::nullopt;
    std::size_t length = 0;
    int error = 0;
    void* buffer = spng_get_png_buffer(context.get(), &length, &error);
    if (!buffer || error != 0) {
        std::free(buffer);
        return std::nullopt;
    }
    std::vector<std::uint8_t> png(static_cast<std::uint8_t*>(buffer), static_cast<std::uint8_t*>(buffer) + length);
    std::free(buffer);
    return png;
}

} // namespace sv::ui
