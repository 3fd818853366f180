#include "app/face.h"

#include "melvane_version.h"
#include "platform/project.h"

namespace melvane {

std::u16string_view InfoLine(Language language) {
    return language == Language::German
               ? u"Melvane " MELVANE_VERSION_SHORT u" \u2013 Akkorde auf und ab"
               : u"Melvane " MELVANE_VERSION_SHORT u" \u2013 chords up and down";
}
const std::u16string_view kWebAddress = kProjectAddress;

namespace {

// Where the file name goes inside the drop zone, and where it wraps.
constexpr int kNameLeft = 35;
constexpr int kNameTop = 172;
constexpr int kNameWrapMargin = 20;
// The key and where the steps take it, under the step field.
constexpr int kKeyLineLeft = 262;
constexpr int kKeyLineTop = 256;

constexpr HotArea Area(int left, int top, int right, int bottom) {
    return HotArea{left, top, right, bottom, false};
}

void KeepHover(HotArea& area, const HotArea& previous) {
    area.hover = previous.hover;
}

// One character for drawing: a surrogate pair stays together.
std::size_t CharacterLength(std::u16string_view text, std::size_t i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
        return 2;
    }
    return 1;
}

void DrawSourceName(const ControllerState& state, Canvas& canvas) {
    const HotArea& zone = state.areas.dropZone;
    const int lineHeight = canvas.TextHeight(u"AqQ") + 2;
    int x = kNameLeft;
    int y = kNameTop;
    const std::u16string_view name = state.SourceName;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = CharacterLength(name, i);
        const std::u16string_view character = name.substr(i, length);
        const int width = canvas.TextWidth(character);
        if (x + width > zone.right - kNameWrapMargin) {
            x = kNameLeft;
            y += lineHeight;
        }
        canvas.DrawText(x, y, character, kNameColour);
        x += width;
        i += length;
    }
}

// Two pixels wide, one pixel clear of the button all round.
void DrawFocusRing(Canvas& canvas, const HotArea& button) {
    constexpr int kGap = 1;
    constexpr int kWidth = 2;
    const int left = button.left - kGap - kWidth;
    const int top = button.top - kGap - kWidth;
    const int width = button.right - button.left + 2 * (kGap + kWidth);
    const int height = button.bottom - button.top + 2 * (kGap + kWidth);
    canvas.FillBox(left, top, width, kWidth, kFocusRingColour);
    canvas.FillBox(left, top + height - kWidth, width, kWidth, kFocusRingColour);
    canvas.FillBox(left, top, kWidth, height, kFocusRingColour);
    canvas.FillBox(left + width - kWidth, top, kWidth, height, kFocusRingColour);
}

const HotArea* FocusedArea(const ControllerState& state) {
    const HotAreas& areas = state.areas;
    switch (state.focus) {
        case FocusTarget::None:
            return nullptr;
        case FocusTarget::DropZone:
            return &areas.dropZone;
        case FocusTarget::RemoveFile:
            return state.SourcePath.empty() ? nullptr : &areas.removeFile;
        case FocusTarget::StepUp:
            return &areas.stepUp;
        case FocusTarget::StepDown:
            return &areas.stepDown;
        case FocusTarget::StepField:
            return &areas.stepField;
        case FocusTarget::SharpOption:
            return &areas.sharpOption;
        case FocusTarget::FlatOption:
            return &areas.flatOption;
        case FocusTarget::ByKeyOption:
            return &areas.byKeyOption;
        case FocusTarget::OutputNameField:
            return &areas.outputNameField;
        case FocusTarget::TransposeButton:
            return &areas.transposeButton;
        case FocusTarget::GermanFlag:
            return &areas.germanFlag;
        case FocusTarget::EnglishFlag:
            return &areas.englishFlag;
        case FocusTarget::WebLink:
            return &areas.webLink;
    }
    return nullptr;
}

}  // namespace

HotAreas LayoutHotAreas(Language language, const HotAreas& previous) {
    HotAreas areas;
    areas.germanFlag = Area(528, 22, 556, 40);
    areas.englishFlag = Area(556, 22, 584, 40);
    areas.stepUp = Area(274, 168, 286, 178);
    areas.stepDown = Area(274, 235, 286, 245);
    areas.sharpOption = Area(410, 182, 480, 200);
    areas.flatOption = Area(410, 212, 480, 230);
    areas.byKeyOption = Area(410, 242, 548, 260);
    areas.dropZone = Area(30, 167, 200, 337);
    // The remove corner: right - 16, top + 4, 16 x 16; its picture carries the zone's right edge.
    areas.removeFile = Area(184, 171, 200, 187);
    areas.stepField = Area(264, 198, 294, 223);
    areas.outputNameField = Area(262, 308, 567, 333);
    // Both buttons end at the same right edge; the German caption needs more room.
    areas.transposeButton =
        language == Language::German ? Area(360, 364, 569, 401) : Area(407, 364, 569, 401);
    areas.webLink = Area(30, 366, 230, 398);

    KeepHover(areas.stepUp, previous.stepUp);
    KeepHover(areas.stepDown, previous.stepDown);
    KeepHover(areas.dropZone, previous.dropZone);
    KeepHover(areas.transposeButton, previous.transposeButton);
    KeepHover(areas.webLink, previous.webLink);
    return areas;
}

void RedrawCanvas(ControllerState& state, Canvas& canvas) {
    if (!canvas.BeginDrawing()) {
        return;
    }
    const int row = static_cast<int>(state.UiLanguage);
    const bool german = state.UiLanguage == Language::German;
    state.areas = LayoutHotAreas(state.UiLanguage, state.areas);
    const HotAreas& areas = state.areas;
    const auto draw = [&](int slot, int x, int y) { canvas.DrawPicture({row, slot}, x, y); };

    draw(kBackgroundSlot, 0, 0);
    draw(kHeadingSlot, 30, 20);

    draw(german ? kGermanFlagActiveSlot : kGermanFlagInactiveSlot, 528, 22);
    draw(german ? kEnglishFlagInactiveSlot : kEnglishFlagActiveSlot, 556, 22);

    draw(kDropCaptionSlot, 30, 140);
    draw(kStepCaptionSlot, 260, 140);

    draw(areas.stepUp.hover ? kStepUpHoverSlot : kStepUpSlot, 274, 168);
    draw(kStepFrameSlot, 262, 188);
    draw(kStepLabelSlot, 306, 197);
    draw(areas.stepDown.hover ? kStepDownHoverSlot : kStepDownSlot, 274, 235);

    draw(kSpellingCaptionSlot, 408, 140);
    draw(state.SpellingChoice == 0 ? kMarkerSelectedSlot : kMarkerSlot, 410, 182);
    draw(state.showMnemonics ? kSharpLabelMnemonicSlot : kSharpLabelSlot, 438, 182);
    draw(state.SpellingChoice == 1 ? kMarkerSelectedSlot : kMarkerSlot, 410, 212);
    draw(state.showMnemonics ? kFlatLabelMnemonicSlot : kFlatLabelSlot, 438, 212);
    draw(state.SpellingChoice == kSpellByKey ? kMarkerSelectedSlot : kMarkerSlot, 410, 242);
    draw(state.showMnemonics ? kByKeyLabelMnemonicSlot : kByKeyLabelSlot, 438, 242);
    if (const std::u16string keys = KeyLine(state); !keys.empty()) {
        canvas.DrawText(kKeyLineLeft, kKeyLineTop, keys, kNameColour);
    }

    const HotArea& zone = areas.dropZone;
    if (state.SourcePath.empty()) {
        draw(zone.hover ? kDropPromptHoverSlot : kDropPromptSlot, zone.left, zone.top);
    } else {
        const int size = zone.right - zone.left;
        canvas.FillBox(zone.left, zone.top, size, size, kAccentColour);
        canvas.FillBox(zone.left + 1, zone.top + 1, size - 2, size - 2, kWhite);
        DrawSourceName(state, canvas);
        canvas.DrawPicture({0, kRemoveIconSlot}, areas.removeFile.left, areas.removeFile.top);
    }

    draw(kOutputCaptionSlot, 260, 282);
    draw(kOutputFrameSlot, 260, 300);

    const HotArea& button = areas.transposeButton;
    draw(button.hover ? kTransposeHoverSlot : kTransposeSlot, button.left, button.top);
    if (const HotArea* focused = FocusedArea(state)) {
        DrawFocusRing(canvas, *focused);
    }

    const Rgb infoColour = areas.webLink.hover ? kInfoHoverColour : kInfoColour;
    canvas.DrawText(30, 366, InfoLine(state.UiLanguage), infoColour);
    canvas.DrawText(30, 382, kWebAddress, infoColour);

    canvas.EndDrawing();
}

}  // namespace melvane
