#include "platform/ui/image.h"

#include "platform/foundation/files.h"
#include "platform/ui/png_encoder.h"

#include <cairo.h>
#include <cstring>

namespace sv::ui {
namespace {
    cairo_surface_t* surface(void* s)
    {
        return static_cast<cairo_surface_t*>(s);
    }

    struct Reader {
        const std::uint8_t* bytes;
        std::size_t size;
        std::size_t at = 0;
    };

    cairo_status_t readChunk(void* closure, unsigned char* data, unsigned int length)
    {
        auto* reader = static_cast<Reader*>(closure);
        if (reader->size - reader->at < length)
            return CAIRO_STATUS_READ_ERROR;
        std::memcpy(data, reader->bytes + reader->at, length);
        reader->at += length;
        return CAIRO_STATUS_SUCCESS;
    }

    constexpr int kMaximumSide = 8192;
    // 64 MB of pixels.
    constexpr std::uint64_t kMaximumPixels = 4096 * 4096;
}

std::shared_ptr<Image> Image::create(int width, int height)
{
    if (width <= 0 || height <= 0 || width > kMaximumSide || height > kMaximumSide)
        return nullptr;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return std::shared_ptr<Image>(new Image(s));
}

std::shared_ptr<Image> Image::fromPngData(const std::uint8_t* bytes, std::size_t size)
{
    static constexpr std::uint8_t kSignature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
    if (!bytes || size < sizeof kSignature || std::memcmp(bytes, kSignature, sizeof kSignature) != 0)
        return nullptr;
    // The size is in the header chunk, which comes first: a picture too large to hold is refused
    // before a single pixel is decoded.
    static constexpr std::uint8_t kHeader[4] = { 'I', 'H', 'D', 'R' };
    if (size < 24 || std::memcmp(bytes + 12, kHeader, sizeof kHeader) != 0)
        return nullptr;
    auto side = [&](std::size_t at) {
        return (std::uint32_t { bytes[at] } << 24) | (std::uint32_t { bytes[at + 1] } << 16)
            | (std::uint32_t { bytes[at + 2] } << 8) | std::uint32_t { bytes[at + 3] };
    };
    std::uint64_t width = side(16), height = side(20);
    if (width == 0 || height == 0 || width > kMaximumSide || height > kMaximumSide || width * height > kMaximumPixels)
        return nullptr;
    Reader reader { bytes, size };
    cairo_surface_t* s = cairo_image_surface_create_from_png_stream(readChunk, &reader);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS || cairo_image_surface_get_width(s) > kMaximumSide
        || cairo_image_surface_get_height(s) > kMaximumSide) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    // Pixels are always handled as ARGB32.
    if (cairo_image_surface_get_format(s) != CAIRO_FORMAT_ARGB32) {
        auto copy = create(cairo_image_surface_get_width(s), cairo_image_surface_get_height(s));
        if (copy) {
            cairo_t* cr = cairo_create(surface(copy->surface_));
            cairo_set_source_surface(cr, s, 0, 0);
            cairo_paint(cr);
            cairo_destroy(cr);
        }
        cairo_surface_destroy(s);
        return copy;
    }
    return std::shared_ptr<Image>(new Image(s));
}

std::shared_ptr<Image> Image::fromFile(std::string_view devicePath)
{
    auto bytes = fs::readData(devicePath, 64 * 1024 * 1024);
    auto image = bytes ? fromPngData(bytes->data(), bytes->size()) : nullptr;
    if (image)
        image->sourcePath_ = devicePath;
    return image;
}

Image::~Image()
{
    cairo_surface_destroy(surface(surface_));
}

int Image::width() const { return cairo_image_surface_get_width(surface(surface_)); }
int Image::height() const { return cairo_image_surface_get_height(surface(surface_)); }
int Image::stride() const { return cairo_image_surface_get_stride(surface(surface_)); }

std::uint32_t* Image::pixels()
{
    cairo_surface_flush(surface(surface_));
    return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface(surface_)));
}

const std::uint32_t* Image::pixels() const
{
    cairo_surface_flush(surface(surface_));
    return reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface(surface_)));
}

void Image::markDirty()
{
    cairo_surface_mark_dirty(surface(surface_));
}

std::optional<std::vector<std::uint8_t>> Image::pngData() const
{
    return encodePng(pixels(), width(), height(), stride());
}

} // namespace sv::ui
