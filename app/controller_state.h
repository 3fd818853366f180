// The one record of what the window shows and what the user has chosen.
#pragma once

#include <cstdint>
#include <string>

#include "chords/sheet.h"
#include "platform/user_messages.h"

namespace melvane {

// A clickable rectangle on the canvas. All four edges belong to it.
struct HotArea {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool hover = false;  // while the pointer is over it, for the areas that track the pointer
};

constexpr bool HitTest(const HotArea& area, int x, int y) {
    return area.left <= x && x <= area.right && area.top <= y && y <= area.bottom;
}

struct HotAreas {
    HotArea stepUp;
    HotArea stepDown;
    HotArea sharpOption;
    HotArea flatOption;
    HotArea germanFlag;
    HotArea englishFlag;
    HotArea webLink;
    HotArea removeFile;
    HotArea dropZone;
    HotArea transposeButton;
};

// What the keyboard reaches: Tab and Shift+Tab cycle the two fields and the transpose button.
enum class FocusTarget { None, StepField, OutputNameField, TransposeButton };

struct ControllerState {
    std::u16string SourcePath;   // empty: no document chosen
    std::u16string SourceName;   // file name with extension, shown in the drop zone
    std::u16string OutputPath;   // taken from the output-name field when the action runs
    std::int64_t StepValue = 0;  // semitones, always -12..12
    int SpellingChoice = 0;      // 0 sharps, 1 flats
    Language UiLanguage = Language::English;
    Recognition recognition = Recognition::SheetAware;  // Melvane.exe --classic: Classic
    HotAreas areas;
    FocusTarget focus = FocusTarget::None;
    bool showMnemonics = false;  // while Alt is held, as Windows underlines access keys
};

inline constexpr std::int64_t kMaxSteps = 12;

}  // namespace melvane
