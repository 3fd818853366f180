#include "app/pictures.h"

#include <png.h>

#include <algorithm>
#include <cmath>
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

bool LoadImageSet(ImageSet& images, int percent) {
    images = ImageSet{};
    for (const EmbeddedPicture& embedded : EmbeddedPictures()) {
        if (embedded.percent != percent) {
            continue;
        }
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

namespace melvane {
namespace {

// One pass of the area average along one axis: `lines` lines of `from` samples become lines of
// `to` samples. The strides say how far apart neighbours lie along the axis and across it.
void AverageAxis(const std::vector<double>& source, std::vector<double>& target, int from, int to,
                 int lines, int sourceAlong, int sourceAcross, int targetAlong, int targetAcross) {
    const double ratio = static_cast<double>(from) / to;
    for (int line = 0; line < lines; ++line) {
        for (int i = 0; i < to; ++i) {
            const double start = i * ratio;
            const double end = start + ratio;
            double sum[4] = {0, 0, 0, 0};
            for (int j = static_cast<int>(start); j < from && j < end; ++j) {
                const double cover = std::min<double>(end, j + 1) - std::max<double>(start, j);
                const double* pixel =
                    &source[static_cast<std::size_t>((j * sourceAlong + line * sourceAcross) * 4)];
                for (int c = 0; c < 4; ++c)
                    sum[c] += pixel[c] * cover;
            }
            double* out =
                &target[static_cast<std::size_t>((i * targetAlong + line * targetAcross) * 4)];
            for (int c = 0; c < 4; ++c)
                out[c] = sum[c] / ratio;
        }
    }
}

}  // namespace

Picture Resample(const Picture& picture, int width, int height) {
    const int w = picture.width;
    const int h = picture.height;
    if (w == width && h == height) {
        return picture;
    }
    // Colours are averaged weighted by their alpha, so transparent pixels lend no colour.
    std::vector<double> source(static_cast<std::size_t>(w * h * 4));
    for (std::size_t i = 0; i < source.size(); i += 4) {
        const double alpha = picture.rgba[i + 3] / 255.0;
        for (std::size_t c = 0; c < 3; ++c)
            source[i + c] = picture.rgba[i + c] * alpha;
        source[i + 3] = alpha;
    }
    std::vector<double> across(static_cast<std::size_t>(width * h * 4));
    AverageAxis(source, across, w, width, h, 1, w, 1, width);
    std::vector<double> both(static_cast<std::size_t>(width * height * 4));
    AverageAxis(across, both, h, height, width, width, 1, width, 1);

    Picture result{width, height, std::vector<std::uint8_t>(both.size())};
    for (std::size_t i = 0; i < both.size(); i += 4) {
        const double alpha = both[i + 3];
        for (std::size_t c = 0; c < 3; ++c) {
            const double value = alpha > 0 ? both[i + c] / alpha : 0;
            result.rgba[i + c] =
                static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
        }
        result.rgba[i + 3] =
            static_cast<std::uint8_t>(std::clamp(std::lround(alpha * 255), 0L, 255L));
    }
    return result;
}

bool LoadImageSetForDpi(ImageSet& images, int dpi) {
    const int wanted = (dpi * 100 + 48) / 96;
    int chosen = 0;
    int largest = 0;
    for (const EmbeddedPicture& embedded : EmbeddedPictures()) {
        largest = std::max(largest, embedded.percent);
        if (embedded.percent >= wanted && (chosen == 0 || embedded.percent < chosen)) {
            chosen = embedded.percent;
        }
    }
    if (chosen == 0) {
        chosen = largest;  // beyond the largest set: it is enlarged
    }
    if (!LoadImageSet(images, chosen)) {
        return false;
    }
    if (chosen != wanted) {
        for (auto& picture : images.storage) {
            const int width = std::max(1, (picture->width * wanted + chosen / 2) / chosen);
            const int height = std::max(1, (picture->height * wanted + chosen / 2) / chosen);
            *picture = Resample(*picture, width, height);
        }
    }
    return true;
}

}  // namespace melvane
