// Drawing the window's face from the controller state, onto any surface that can draw
// pictures, filled boxes and text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/controller_state.h"

namespace melvane {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kAccentColour{0, 159, 250};
inline constexpr Rgb kWhite{255, 255, 255};
// Text on the face reads at a contrast of 4.5:1 or more against what lies beneath it.
inline constexpr Rgb kNameColour{0, 110, 190};
inline constexpr Rgb kInfoColour{100, 110, 122};
inline constexpr Rgb kInfoHoverColour{45, 60, 78};

// The pictures of the face by slot. Each language has its own row; pictures that carry no
// words are the same in both rows.
enum PictureSlot : int {
    kBackgroundSlot = 0,
    kHeadingSlot = 1,
    kDropCaptionSlot = 2,
    kDropPromptSlot = 3,
    kDropPromptHoverSlot = 4,
    kStepCaptionSlot = 5,
    kSpellingCaptionSlot = 6,
    kOutputCaptionSlot = 7,
    kOutputFrameSlot = 8,
    kStepFrameSlot = 9,
    kStepLabelSlot = 10,
    kMarkerSlot = 11,
    kMarkerSelectedSlot = 12,
    kSharpLabelSlot = 13,
    kFlatLabelSlot = 14,
    kStepUpSlot = 15,
    kStepUpHoverSlot = 16,
    kStepDownSlot = 17,
    kStepDownHoverSlot = 18,
    kTransposeSlot = 19,
    kTransposeHoverSlot = 20,
    kGermanFlagInactiveSlot = 21,
    kGermanFlagActiveSlot = 22,
    kEnglishFlagInactiveSlot = 23,
    kEnglishFlagActiveSlot = 24,
    kRowSlotCount = 25,
    // Not part of either row: the small icon that removes the chosen document.
    kRemoveIconSlot = 25,
    // The option labels with their access key underlined, shown while Alt is held.
    kSharpLabelMnemonicSlot = 26,
    kFlatLabelMnemonicSlot = 27,
    kByKeyLabelSlot = 28,
    kByKeyLabelMnemonicSlot = 29,
    kSlotCount = 30,
};

inline constexpr Rgb kFocusRingColour{24, 38, 56};

struct PictureRef {
    int row = 0;  // the language row; 0 for the remove icon
    int slot = 0;
    bool operator==(const PictureRef&) const = default;
};

class Canvas {
  public:
    virtual ~Canvas() = default;
    // False when drawing cannot start; the face then stays as it was until the next redraw.
    virtual bool BeginDrawing() = 0;
    virtual void EndDrawing() = 0;
    virtual void DrawPicture(PictureRef picture, int x, int y) = 0;
    virtual void FillBox(int x, int y, int width, int height, Rgb colour) = 0;
    // Text in the face's font (Arial 10 pt) on a transparent background.
    virtual void DrawText(int x, int y, std::u16string_view text, Rgb colour) = 0;
    virtual int TextWidth(std::u16string_view text) = 0;
    virtual int TextHeight(std::u16string_view text) = 0;
};

// The canvas size and the two lines of the link area.
inline constexpr int kFaceWidth = 600;
inline constexpr int kFaceHeight = 430;
std::u16string_view InfoLine(Language language);  // names the program and its version
extern const std::u16string_view kWebAddress;

// The hot areas for a language (the transpose button is wider in German); the hover flags of
// `previous` are kept.
HotAreas LayoutHotAreas(Language language, const HotAreas& previous);

// Draws the whole face and stores the hot areas it drew into `state`.
void RedrawCanvas(ControllerState& state, Canvas& canvas);

}  // namespace melvane
