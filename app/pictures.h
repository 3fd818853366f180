// The window's pictures: PNG files built into the program, decoded once at start-up.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "app/face.h"

namespace melvane {

// Straight (not premultiplied) RGBA, one 32-bit value per pixel as bytes R, G, B, A, rows
// from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

// False for anything that is not a complete, readable PNG image.
bool DecodePng(std::span<const std::uint8_t> bytes, Picture& picture);
// A PNG file of the picture; false when it could not be encoded.
bool EncodePng(const Picture& picture, std::vector<std::uint8_t>& bytes);

// Two rows of pictures by slot (row 0 English, row 1 German; slot 25 unused) and the remove
// icon. Pictures without words are decoded once and shared by both rows.
struct ImageSet {
    std::array<std::array<const Picture*, kSlotCount>, 2> slots{};
    const Picture* removeIcon = nullptr;
    std::vector<std::unique_ptr<Picture>> storage;

    const Picture* Find(PictureRef ref) const {
        if (ref.slot == kRemoveIconSlot)
            return removeIcon;
        if (ref.row < 0 || ref.row > 1 || ref.slot < 0 || ref.slot >= kSlotCount)
            return nullptr;
        return slots[static_cast<std::size_t>(ref.row)][static_cast<std::size_t>(ref.slot)];
    }
};

// Decodes the built-in pictures of the set drawn for `percent` of the face's size (100, 125,
// 150 or 200). False when there is no such set, or one of its pictures is missing or cannot be
// decoded.
bool LoadImageSet(ImageSet& images, int percent = 100);

// The pictures for a display of `dpi` (96 is 100 %): the nearest set at or above it, reduced
// with area averaging where the display lies between two sets.
bool LoadImageSetForDpi(ImageSet& images, int dpi);

// The picture at another size; each new pixel is the average of the area it covers.
Picture Resample(const Picture& picture, int width, int height);

// The PNG files built into the program, as listed in the manifests of resources/pictures.
struct EmbeddedPicture {
    int slot;
    int row;      // 0 English, 1 German, -1 both
    int percent;  // the display scale the set was drawn for
    const std::uint8_t* data;
    std::size_t size;
};
std::span<const EmbeddedPicture> EmbeddedPictures();

}  // namespace melvane
