#include "app/face.h"

#include <gtest/gtest.h>

#include "app_fakes.h"
#include "platform/language.h"

namespace melvane {
namespace {

using fakes::ControllerRig;
using fakes::NativePath;

using Position = std::pair<int, int>;

TEST(Face, DrawsEverySlotOfTheLanguageRowAtItsPlace) {
    ControllerRig rig;
    const auto& canvas = rig.canvas;
    EXPECT_EQ(canvas.PositionOf(0, kBackgroundSlot), Position(0, 0));
    EXPECT_EQ(canvas.PositionOf(0, kHeadingSlot), Position(30, 20));
    EXPECT_EQ(canvas.PositionOf(0, kDropCaptionSlot), Position(30, 140));
    EXPECT_EQ(canvas.PositionOf(0, kDropPromptSlot), Position(30, 167));
    EXPECT_EQ(canvas.PositionOf(0, kStepCaptionSlot), Position(260, 140));
    EXPECT_EQ(canvas.PositionOf(0, kSpellingCaptionSlot), Position(408, 140));
    EXPECT_EQ(canvas.PositionOf(0, kOutputCaptionSlot), Position(260, 282));
    EXPECT_EQ(canvas.PositionOf(0, kOutputFrameSlot), Position(260, 300));
    EXPECT_EQ(canvas.PositionOf(0, kStepFrameSlot), Position(262, 188));
    EXPECT_EQ(canvas.PositionOf(0, kStepLabelSlot), Position(306, 197));
    EXPECT_EQ(canvas.PositionOf(0, kSharpLabelSlot), Position(438, 182));
    EXPECT_EQ(canvas.PositionOf(0, kFlatLabelSlot), Position(438, 212));
    EXPECT_EQ(canvas.PositionOf(0, kStepUpSlot), Position(274, 168));
    EXPECT_EQ(canvas.PositionOf(0, kStepDownSlot), Position(274, 235));
    EXPECT_EQ(canvas.PositionOf(0, kTransposeSlot), Position(407, 364));
    EXPECT_EQ(canvas.PositionOf(0, kGermanFlagInactiveSlot), Position(528, 22));
    EXPECT_EQ(canvas.PositionOf(0, kEnglishFlagActiveSlot), Position(556, 22));
    for (const auto& picture : canvas.pictures)
        EXPECT_EQ(picture.ref.row, 0);
    EXPECT_FALSE(canvas.Drew(0, kRemoveIconSlot));
    EXPECT_EQ(canvas.finishedFrames, canvas.frames);

    ASSERT_EQ(canvas.texts.size(), 2u);
    EXPECT_EQ(canvas.texts[0].y, 366);
    EXPECT_EQ(canvas.texts[1].y, 382);
    EXPECT_TRUE(canvas.texts[1].text == kWebAddress);
    EXPECT_EQ(canvas.texts[0].colour, kInfoColour);
}

TEST(Face, AFlagSwitchesTheWholeFaceIncludingTheButtonWidth) {
    ControllerRig rig;
    EXPECT_EQ(rig.state.areas.transposeButton.right - rig.state.areas.transposeButton.left, 162);
    rig.Click(rig.state.areas.germanFlag);

    const auto& canvas = rig.canvas;
    for (const auto& picture : canvas.pictures)
        EXPECT_EQ(picture.ref.row, 1);
    EXPECT_EQ(canvas.PositionOf(1, kGermanFlagActiveSlot), Position(528, 22));
    EXPECT_EQ(canvas.PositionOf(1, kEnglishFlagInactiveSlot), Position(556, 22));
    EXPECT_EQ(canvas.PositionOf(1, kTransposeSlot), Position(360, 364));
    const HotArea& button = rig.state.areas.transposeButton;
    EXPECT_EQ(button.right - button.left, 209);
    EXPECT_EQ(button.right, 569);

    // The wider German button is clickable where the English one is not.
    rig.controller.HandleDrop({NativePath({u"s.odt"})});
    rig.TypeStep(u"1");
    rig.controller.HandleCanvasEvent(CanvasEvent::LeftClick, 380, 380);
    EXPECT_EQ(rig.documents.requests.size(), 1u);
}

TEST(Face, TheSelectedMarkerFollowsTheSpelling) {
    ControllerRig rig;
    EXPECT_EQ(rig.canvas.PositionOf(0, kMarkerSelectedSlot), Position(410, 242));  // by key
    const struct {
        HotArea HotAreas::*option;
        std::pair<int, int> marker;
    } cases[] = {
        {&HotAreas::sharpOption, Position(410, 182)},
        {&HotAreas::flatOption, Position(410, 212)},
        {&HotAreas::byKeyOption, Position(410, 242)},
    };
    for (const auto& c : cases) {
        rig.Click(rig.state.areas.*c.option);
        EXPECT_EQ(rig.canvas.PositionOf(0, kMarkerSelectedSlot), c.marker);
    }
    rig.Click(rig.state.areas.flatOption);
    rig.controller.ResetForm();
    rig.controller.Redraw();
    EXPECT_EQ(rig.canvas.PositionOf(0, kMarkerSelectedSlot), Position(410, 242));
}

TEST(Face, HoveredButtonsShowTheirSecondPicture) {
    ControllerRig rig;
    for (HotArea* area :
         {&rig.state.areas.stepUp, &rig.state.areas.stepDown, &rig.state.areas.transposeButton,
          &rig.state.areas.dropZone, &rig.state.areas.webLink}) {
        area->hover = true;
    }
    rig.controller.Redraw();
    EXPECT_TRUE(rig.canvas.Drew(0, kStepUpHoverSlot));
    EXPECT_TRUE(rig.canvas.Drew(0, kStepDownHoverSlot));
    EXPECT_TRUE(rig.canvas.Drew(0, kTransposeHoverSlot));
    EXPECT_TRUE(rig.canvas.Drew(0, kDropPromptHoverSlot));
    EXPECT_FALSE(rig.canvas.Drew(0, kStepUpSlot));
    EXPECT_EQ(rig.canvas.texts[0].colour, kInfoHoverColour);
}

TEST(Face, AChosenDocumentShowsItsNameWrappedInsideTheZone) {
    ControllerRig rig;
    // 7 pixels a character from x = 35: the 21st would pass x = 180 and starts a new line.
    const std::u16string name = u"Abcdefghijklmnopqrstuvwxyz.odt";
    rig.controller.HandleDrop({NativePath({name})});
    rig.controller.HandleFocus(FocusTarget::None);  // no ring among the boxes
    const auto& canvas = rig.canvas;
    ASSERT_EQ(canvas.boxes.size(), 2u);
    EXPECT_EQ(canvas.boxes[0].colour, kAccentColour);
    EXPECT_EQ(canvas.boxes[0].width, 170);
    EXPECT_EQ(canvas.boxes[1].x, 31);
    EXPECT_EQ(canvas.boxes[1].width, 168);
    EXPECT_EQ(canvas.PositionOf(0, kRemoveIconSlot), Position(184, 171));
    EXPECT_FALSE(canvas.Drew(0, kDropPromptSlot));

    std::vector<fakes::RecordingCanvas::Text> characters(canvas.texts.begin(),
                                                         canvas.texts.end() - 2);
    ASSERT_EQ(characters.size(), name.size());
    EXPECT_EQ(characters[0].x, 35);
    EXPECT_EQ(characters[0].y, 172);
    EXPECT_EQ(characters[19].x, 35 + 19 * 7);
    EXPECT_EQ(characters[20].x, 35);
    EXPECT_EQ(characters[20].y, 172 + 18);
    EXPECT_TRUE(characters[20].text == u"u");
    for (const auto& c : characters) {
        EXPECT_LE(c.x + 7, 180);
        EXPECT_EQ(c.colour, kNameColour);
    }
}

TEST(Face, ACharacterOutsideTheBasicPlaneIsDrawnWhole) {
    ControllerRig rig;
    rig.controller.HandleDrop({NativePath({u"\U0001D11E.odt"})});
    EXPECT_TRUE(rig.canvas.texts[0].text == u"\U0001D11E");
}

TEST(Face, NothingIsDrawnWhenDrawingCannotStart) {
    ControllerRig rig;
    rig.canvas.canDraw = false;
    const auto before = rig.canvas.pictures.size();
    rig.Click(rig.state.areas.germanFlag);
    EXPECT_EQ(rig.canvas.pictures.size(), before);
    EXPECT_EQ(rig.canvas.finishedFrames, rig.canvas.frames);
}

TEST(Language, GermanForEveryGermanSpeakingRegion) {
    for (int id : {0x0407, 0x0C07, 0x0807, 0x1007, 0x1407, 0x0007}) {
        EXPECT_EQ(ChooseLanguage(static_cast<std::uint16_t>(id)), Language::German)
            << std::hex << id;
    }
    for (int id : {0x0409, 0x0809, 0x040C, 0x0413, 0x0410, 0x0000, 0x0447, 0x0800}) {
        EXPECT_EQ(ChooseLanguage(static_cast<std::uint16_t>(id)), Language::English)
            << std::hex << id;
    }
}

}  // namespace
}  // namespace melvane
