// The one record of what the window shows and what the user has chosen.
#pragma once

#include <cstdint>
#include <optional>
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
    HotArea byKeyOption;
    HotArea germanFlag;
    HotArea englishFlag;
    HotArea webLink;
    HotArea removeFile;
    HotArea dropZone;
    HotArea transposeButton;
    // The two fields' frames, for the focus ring.
    HotArea stepField;
    HotArea outputNameField;
};

// Every control of the face. Tab visits them in this order; the arrows are reached with the
// pointer only (Up and Down do their work in the step field), and of the two options and the
// two flags only the chosen one is a stop (the arrow keys move inside the pair).
enum class FocusTarget {
    None,
    DropZone,
    RemoveFile,
    StepUp,
    StepDown,
    StepField,
    SharpOption,
    FlatOption,
    ByKeyOption,
    OutputNameField,
    TransposeButton,
    GermanFlag,
    EnglishFlag,
    WebLink,
};

struct ControllerState {
    std::u16string SourcePath;         // empty: no document chosen
    std::u16string SourceName;         // file name with extension, shown in the drop zone
    std::u16string OutputPath;         // taken from the output-name field when the action runs
    std::int64_t StepValue = 0;        // semitones, always -12..12
    int SpellingChoice = kSpellByKey;  // kSpellSharps, kSpellFlats or kSpellByKey
    Language UiLanguage = Language::English;
    Recognition recognition = Recognition::SheetAware;  // Melvane.exe --classic: Classic
    HotAreas areas;
    FocusTarget focus = FocusTarget::None;
    // The name the program last proposed; a field that differs holds the user's own name.
    std::u16string proposedOutput;
    bool showMnemonics = false;  // while Alt is held, as Windows underlines access keys
    // The chosen document's first key, when it has one: shown with where the steps take it.
    std::optional<chords::SpelledKey> sheetKey;
};

// The spelling the form starts with: by key, or sharps for the classic scan, which knows no keys.
constexpr int DefaultSpelling(Recognition recognition) {
    return recognition == Recognition::Classic ? kSpellSharps : kSpellByKey;
}

// What the face shows beside the steps: "G → A", German "G-Dur → A-Dur"; empty without a key.
std::u16string KeyLine(const ControllerState& state);

inline constexpr std::int64_t kMaxSteps = 12;

}  // namespace melvane
