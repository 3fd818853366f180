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

struct Tap {
    int index;
    float weight;
};

// For each new sample along an axis of `from` samples reduced or enlarged to `to`: the old
// samples it covers and how much of each, as a share of the whole.
std::vector<std::vector<Tap>> AreaTaps(int from, int to) {
    std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(to));
    const double ratio = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        const double start = i * ratio;
        const double end = start + ratio;
        for (int j = static_cast<int>(start); j < from && j < end; ++j) {
            const double cover = std::min<double>(end, j + 1) - std::max<double>(start, j);
            if (cover > 0) {
                taps[static_cast<std::size_t>(i)].push_back({j, static_cast<float>(cover / ratio)});
            }
        }
    }
    return taps;
}

}  // namespace

Picture Resample(const Picture& picture, int width, int height) {
    const int w = picture.width;
    const int h = picture.height;
    if (w == width && h == height) {
        return picture;
    }
    const auto across = AreaTaps(w, width);
    const auto down = AreaTaps(h, height);
    const std::size_t rowLength = static_cast<std::size_t>(width) * 4;

    // Rows resampled along their length, kept for the few output rows that share them. Colours
    // are weighted by their alpha, so transparent pixels lend no colour.
    std::size_t ringSize = 1;
    for (const auto& taps : down)
        ringSize = std::max(ringSize, taps.size() + 1);
    std::vector<std::vector<float>> ring(ringSize, std::vector<float>(rowLength));
    std::vector<int> ringRow(ringSize, -1);
    const auto resampledRow = [&](int y) -> const float* {
        const std::size_t slot = static_cast<std::size_t>(y) % ringSize;
        std::vector<float>& row = ring[slot];
        if (ringRow[slot] != y) {
            ringRow[slot] = y;
            const std::uint8_t* in = &picture.rgba[static_cast<std::size_t>(y) * w * 4];
            for (int x = 0; x < width; ++x) {
                float sum[4] = {0, 0, 0, 0};
                for (const Tap& tap : across[static_cast<std::size_t>(x)]) {
                    const std::uint8_t* pixel = in + static_cast<std::size_t>(tap.index) * 4;
                    const float alpha = pixel[3] * (1.0f / 255) * tap.weight;
                    sum[0] += pixel[0] * alpha;
                    sum[1] += pixel[1] * alpha;
                    sum[2] += pixel[2] * alpha;
                    sum[3] += alpha;
                }
                std::copy(sum, sum + 4, &row[static_cast<std::size_t>(x) * 4]);
            }
        }
        return row.data();
    };

    Picture result{width, height, std::vector<std::uint8_t>(rowLength * height)};
    std::vector<float> line(rowLength);
    for (int y = 0; y < height; ++y) {
        std::fill(line.begin(), line.end(), 0.0f);
        for (const Tap& tap : down[static_cast<std::size_t>(y)]) {
            const float* in = resampledRow(tap.index);
            for (std::size_t i = 0; i < rowLength; ++i)
                line[i] += in[i] * tap.weight;
        }
        std::uint8_t* out = &result.rgba[static_cast<std::size_t>(y) * rowLength];
        for (std::size_t i = 0; i < rowLength; i += 4) {
            const float alpha = line[i + 3];
            for (std::size_t c = 0; c < 3; ++c) {
                const float value = alpha > 0 ? line[i + c] / alpha : 0.0f;
                out[i + c] = static_cast<std::uint8_t>(std::clamp(value + 0.5f, 0.0f, 255.0f));
            }
            out[i + 3] = static_cast<std::uint8_t>(std::clamp(alpha * 255 + 0.5f, 0.0f, 255.0f));
        }
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
