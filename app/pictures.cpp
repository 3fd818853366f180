#include "app/pictures.h"

#include <png.h>

#include <cstring>

namespace melvane {
namespace {

// Owns a libpng simplified-API reader so every exit frees it.
struct PngImage {
    png_image image{};
    PngImage() { image.version = PNG_IMAGE_VERSION; }
    ~PngImage() { png_image_free(&image); }
    PngImage(const PngImage&) = delete;
    PngImage& operator=(const PngImage&) = delete;
};

// The face is 600 x 430; nothing built in is larger, and a broken header must not make us
// allocate gigabytes.
constexpr png_uint_32 kLargestSide = 4096;

}  // namespace

bool DecodePng(std::span<const std::uint8_t> bytes, Picture& picture) {
    PngImage png;
    if (!png_image_begin_read_from_memory(&png.image, bytes.data(), bytes.size())) {
        return false;
    }
    if (png.image.width == 0 || png.image.height == 0 || png.image.width > kLargestSide ||
        png.image.height > kLargestSide) {
        return false;
    }
    png.image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(png.image));
    if (!png_image_finish_read(&png.image, nullptr, pixels.data(), 0, nullptr)) {
        return false;
    }
    picture.width = static_cast<int>(png.image.width);
    picture.height = static_cast<int>(png.image.height);
    picture.rgba = std::move(pixels);
    return true;
}

bool EncodePng(const Picture& picture, std::vector<std::uint8_t>& bytes) {
    PngImage png;
    png.image.width = static_cast<png_uint_32>(picture.width);
    png.image.height = static_cast<png_uint_32>(picture.height);
    png.image.format = PNG_FORMAT_RGBA;
    if (picture.rgba.size() != PNG_IMAGE_SIZE(png.image)) {
        return false;
    }
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png.image, nullptr, &size, 0, picture.rgba.data(), 0,
                                   nullptr)) {
        return false;
    }
    bytes.resize(size);
    return png_image_write_to_memory(&png.image, bytes.data(), &size, 0, picture.rgba.data(), 0,
                                     nullptr) != 0;
}

bool LoadImageSet(ImageSet& images) {
    images = ImageSet{};
    for (const EmbeddedPicture& embedded : EmbeddedPictures()) {
        auto picture = std::make_unique<Picture>();
        if (!DecodePng({embedded.data, embedded.size}, *picture)) {
            return false;
        }
        if (embedded.slot == kRemoveIconSlot) {
            images.removeIcon = picture.get();
        } else if (embedded.slot >= 0 && embedded.slot < kSlotCount) {
            const auto slot = static_cast<std::size_t>(embedded.slot);
            if (embedded.row != 1)
                images.slots[0][slot] = picture.get();
            if (embedded.row != 0)
                images.slots[1][slot] = picture.get();
        }
        images.storage.push_back(std::move(picture));
    }
    if (images.removeIcon == nullptr) {
        return false;
    }
    for (const auto& row : images.slots) {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if (slot != kRemoveIconSlot && row[static_cast<std::size_t>(slot)] == nullptr) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace melvane
