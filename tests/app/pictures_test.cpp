#include "app/pictures.h"

#include <gtest/gtest.h>

namespace melvane {
namespace {

struct Size {
    int width;
    int height;
    bool operator==(const Size&) const = default;
};

Size SizeOf(const Picture* picture) {
    return picture ? Size{picture->width, picture->height} : Size{0, 0};
}

TEST(Pictures, EverySlotOfBothRowsDecodesAtTheSizeTheFaceNeeds) {
    ImageSet images;
    ASSERT_TRUE(LoadImageSet(images));
    const struct {
        int slot;
        Size size;
    } exact[] = {{kBackgroundSlot, {600, 430}},      {kDropPromptSlot, {170, 170}},
                 {kDropPromptHoverSlot, {170, 170}}, {kMarkerSlot, {18, 18}},
                 {kMarkerSelectedSlot, {18, 18}},    {kSharpLabelSlot, {42, 18}},
                 {kFlatLabelSlot, {42, 18}},         {kStepUpSlot, {12, 10}},
                 {kStepUpHoverSlot, {12, 10}},       {kStepDownSlot, {12, 10}},
                 {kStepDownHoverSlot, {12, 10}},     {kGermanFlagInactiveSlot, {28, 18}},
                 {kGermanFlagActiveSlot, {28, 18}},  {kEnglishFlagInactiveSlot, {28, 18}},
                 {kEnglishFlagActiveSlot, {28, 18}}, {kSharpLabelMnemonicSlot, {42, 18}},
                 {kFlatLabelMnemonicSlot, {42, 18}}};
    for (int row = 0; row <= 1; ++row) {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            EXPECT_NE(images.Find({row, slot}), nullptr) << row << "/" << slot;
        }
        for (const auto& e : exact) {
            EXPECT_EQ(SizeOf(images.Find({row, e.slot})), e.size) << row << "/" << e.slot;
        }
    }
    EXPECT_EQ(SizeOf(images.Find({0, kTransposeSlot})), (Size{162, 37}));
    EXPECT_EQ(SizeOf(images.Find({0, kTransposeHoverSlot})), (Size{162, 37}));
    EXPECT_EQ(SizeOf(images.Find({1, kTransposeSlot})), (Size{209, 37}));
    EXPECT_EQ(SizeOf(images.Find({1, kTransposeHoverSlot})), (Size{209, 37}));
    EXPECT_EQ(SizeOf(images.Find({0, kRemoveIconSlot})), (Size{16, 16}));
    // Pictures without words are one picture shared by both rows; captions are not.
    EXPECT_EQ(images.Find({0, kBackgroundSlot}), images.Find({1, kBackgroundSlot}));
    EXPECT_NE(images.Find({0, kHeadingSlot}), images.Find({1, kHeadingSlot}));
    EXPECT_EQ(images.Find({2, 0}), nullptr);
    EXPECT_EQ(images.Find({0, kSlotCount}), nullptr);
}

TEST(Pictures, EncodedPicturesDecodeToTheSamePixels) {
    Picture original{3, 2, {}};
    for (int i = 0; i < 3 * 2 * 4; ++i)
        original.rgba.push_back(static_cast<std::uint8_t>(i * 11));
    std::vector<std::uint8_t> png;
    ASSERT_TRUE(EncodePng(original, png));
    Picture decoded;
    ASSERT_TRUE(DecodePng(png, decoded));
    EXPECT_EQ(decoded.width, 3);
    EXPECT_EQ(decoded.height, 2);
    EXPECT_EQ(decoded.rgba, original.rgba);

    Picture wrongSize{4, 4, std::vector<std::uint8_t>(10)};
    EXPECT_FALSE(EncodePng(wrongSize, png));
}

TEST(Pictures, BrokenDataIsRefused) {
    Picture original{8, 8, std::vector<std::uint8_t>(8 * 8 * 4, 200)};
    std::vector<std::uint8_t> png;
    ASSERT_TRUE(EncodePng(original, png));
    Picture decoded;
    const std::vector<std::uint8_t> truncated(png.begin(), png.begin() + png.size() / 2);
    EXPECT_FALSE(DecodePng(truncated, decoded));
    EXPECT_FALSE(DecodePng(std::vector<std::uint8_t>(100, 0x42), decoded));
    EXPECT_FALSE(DecodePng({}, decoded));
}

}  // namespace
}  // namespace melvane
