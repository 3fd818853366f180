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

Picture Filled(int width, int height, std::uint32_t rgba) {
    Picture picture{width, height, {}};
    for (int i = 0; i < width * height; ++i)
        for (int shift : {24, 16, 8, 0})
            picture.rgba.push_back(static_cast<std::uint8_t>(rgba >> shift));
    return picture;
}

TEST(Resample, AveragesTheAreaEachNewPixelCovers) {
    // Black and white columns, halved: every pixel is the grey of one of each.
    Picture stripes = Filled(4, 2, 0xFFFFFFFF);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; x += 2)
            for (int c = 0; c < 3; ++c)
                stripes.rgba[static_cast<std::size_t>((y * 4 + x) * 4 + c)] = 0;
    const Picture half = Resample(stripes, 2, 1);
    EXPECT_EQ(half.rgba, (std::vector<std::uint8_t>{128, 128, 128, 255, 128, 128, 128, 255}));
    // A plain colour stays itself at any size, down or up, and the same size is a copy.
    for (const auto& [width, height] : {std::pair{7, 3}, std::pair{13, 11}, std::pair{10, 6}}) {
        EXPECT_EQ(Resample(Filled(10, 6, 0x2A7FD0FF), width, height).rgba,
                  Filled(width, height, 0x2A7FD0FF).rgba);
    }
    // A transparent pixel lends no colour to its neighbour.
    Picture edge = Filled(2, 1, 0xFF000000);
    edge.rgba[4] = 0;
    edge.rgba[5] = 0;
    edge.rgba[6] = 255;
    edge.rgba[7] = 255;
    EXPECT_EQ(Resample(edge, 1, 1).rgba, (std::vector<std::uint8_t>{0, 0, 255, 128}));
}

TEST(Pictures, EachDisplayScaleGetsPicturesOfItsSize) {
    ImageSet base;
    ASSERT_TRUE(LoadImageSet(base));
    // 120 DPI has a set of its own; 168 DPI (175 %) is the 200 % set reduced; 288 DPI enlarged.
    for (const auto& [dpi, percent] :
         {std::pair{120, 125}, std::pair{168, 175}, std::pair{288, 300}}) {
        ImageSet scaled;
        ASSERT_TRUE(LoadImageSetForDpi(scaled, dpi));
        for (int slot : {kBackgroundSlot, kTransposeSlot, kMarkerSlot}) {
            const Picture* original = base.Find({1, slot});
            const Picture* picture = scaled.Find({1, slot});
            ASSERT_NE(picture, nullptr);
            EXPECT_NEAR(picture->width, original->width * percent / 100.0, 1.0) << dpi;
            EXPECT_NEAR(picture->height, original->height * percent / 100.0, 1.0) << dpi;
        }
    }
    ImageSet none;
    EXPECT_FALSE(LoadImageSet(none, 175));
}

}  // namespace
}  // namespace melvane
