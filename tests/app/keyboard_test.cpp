// The window's keyboard paths and its questions about the output, on the portable controller.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/controller.h"
#include "app_fakes.h"
#include "platform/file_system.h"

namespace melvane {
namespace {

using fakes::ControllerRig;
using fakes::NativePath;

KeyPress Press(Key key, bool shift = false) {
    KeyPress press;
    press.key = key;
    press.shift = shift;
    return press;
}
KeyPress Letter(char16_t letter, bool control, bool alt) {
    KeyPress press;
    press.letter = letter;
    press.control = control;
    press.alt = alt;
    return press;
}

TEST(Keyboard, TabVisitsEveryControlInTheFacesOrder) {
    using F = FocusTarget;
    struct Case {
        bool document;
        int spelling;
        Language language;
        std::vector<F> stops;
    };
    const Case cases[] = {
        {false,
         0,
         Language::English,
         {F::DropZone, F::StepField, F::SharpOption, F::OutputNameField, F::TransposeButton,
          F::EnglishFlag, F::WebLink}},
        {true,
         1,
         Language::German,
         {F::DropZone, F::RemoveFile, F::StepField, F::FlatOption, F::OutputNameField,
          F::TransposeButton, F::GermanFlag, F::WebLink}},
    };
    for (const Case& c : cases) {
        ControllerRig rig;
        if (c.document)
            rig.controller.HandleDrop({NativePath({u"x", u"song.odt"})});
        rig.state.SpellingChoice = c.spelling;
        rig.state.UiLanguage = c.language;
        rig.state.focus = F::None;
        for (int round = 0; round < 2; ++round) {
            for (F expected : c.stops) {
                EXPECT_TRUE(rig.controller.HandleKey(Press(Key::Tab)));
                EXPECT_EQ(rig.state.focus, expected);
            }
        }
        for (auto it = c.stops.rbegin() + 1; it != c.stops.rend(); ++it) {
            EXPECT_TRUE(rig.controller.HandleKey(Press(Key::Tab, true)));
            EXPECT_EQ(rig.state.focus, *it);
        }
        // The buttons are focused through the window, the fields as fields.
        EXPECT_EQ(rig.controls.focused.front(), F::DropZone);
        EXPECT_GT(rig.outputName.focusCount, 0);
    }
}

TEST(Keyboard, ArrowsMoveInsideThePairsAndSpacePresses) {
    ControllerRig rig;
    rig.controller.HandleFocus(FocusTarget::SharpOption);
    EXPECT_TRUE(rig.controller.HandleKey(Press(Key::Down)));
    EXPECT_EQ(rig.state.SpellingChoice, 1);
    EXPECT_EQ(rig.state.focus, FocusTarget::FlatOption);
    EXPECT_TRUE(rig.controller.HandleKey(Press(Key::Left)));
    EXPECT_EQ(rig.state.SpellingChoice, 0);

    rig.controller.HandleFocus(FocusTarget::EnglishFlag);
    EXPECT_TRUE(rig.controller.HandleKey(Press(Key::Left)));
    EXPECT_EQ(rig.state.UiLanguage, Language::German);
    EXPECT_EQ(rig.state.focus, FocusTarget::GermanFlag);

    rig.controller.HandleFocus(FocusTarget::WebLink);
    EXPECT_TRUE(rig.controller.HandleKey(Press(Key::Space)));
    EXPECT_EQ(rig.shell.addresses.size(), 1u);
    rig.dialog.answer = NativePath({u"x", u"song.odt"});
    rig.controller.HandleFocus(FocusTarget::DropZone);
    EXPECT_TRUE(rig.controller.HandleKey(Press(Key::Enter)));  // opens the dialog, no transpose
    EXPECT_EQ(rig.dialog.calls.size(), 1u);
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(rig.state.focus, FocusTarget::StepField);  // a document chosen: the step next
}

TEST(Keyboard, TheFocusedButtonIsRingedOnlyWhileFocused) {
    ControllerRig rig;
    for (int i = 0; i < 5; ++i)
        rig.controller.HandleKey(Press(Key::Tab));
    ASSERT_EQ(rig.state.focus, FocusTarget::TransposeButton);
    EXPECT_EQ(rig.canvas.boxes.size(), 4u);
    const HotArea& button = rig.state.areas.transposeButton;
    for (const auto& box : rig.canvas.boxes) {
        EXPECT_EQ(box.colour, kFocusRingColour);
        // Around the button, never over it.
        const bool inside = box.x > button.left && box.y > button.top &&
                            box.x + box.width <= button.right &&
                            box.y + box.height <= button.bottom;
        EXPECT_FALSE(inside);
    }
    rig.controller.HandleFocus(FocusTarget::None);
    EXPECT_TRUE(rig.canvas.boxes.empty());
}

TEST(Keyboard, ArrowsAndPagesChangeTheStepOnlyInTheStepField) {
    ControllerRig rig;
    rig.controller.HandleDrop({NativePath({u"x", u"song.odt"})});
    rig.controller.HandleFocus(FocusTarget::OutputNameField);
    EXPECT_FALSE(rig.controller.HandleKey(Press(Key::Up)));  // not in the step field
    rig.controller.HandleFocus(FocusTarget::StepField);
    const struct {
        Key key;
        std::int64_t step;
    } presses[] = {{Key::Up, 1},        {Key::PageUp, 6},    {Key::PageUp, 11},
                   {Key::PageUp, 12},   {Key::Down, 11},     {Key::PageDown, 6},
                   {Key::PageDown, 1},  {Key::PageDown, -4}, {Key::PageDown, -9},
                   {Key::PageDown, -12}};
    for (const auto& p : presses) {
        EXPECT_TRUE(rig.controller.HandleKey(Press(p.key)));
        EXPECT_EQ(rig.state.StepValue, p.step);
    }
    EXPECT_TRUE(rig.step.text == u"-12");
    EXPECT_TRUE(rig.outputName.text == NativePath({u"x", u"song-12.odt"}));
}

TEST(Keyboard, EnterTransposesAndEscapeClears) {
    ControllerRig rig;
    rig.controller.HandleDrop({NativePath({u"x", u"song.odt"})});
    EXPECT_TRUE(rig.controller.HandleKey(Press(Key::Enter)));  // step 0: the message, no run
    EXPECT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_FALSE(rig.state.SourcePath.empty());
    rig.TypeStep(u"2");
    EXPECT_TRUE(rig.controller.HandleKey(Press(Key::Enter)));
    EXPECT_EQ(rig.documents.requests.size(), 1u);
    EXPECT_TRUE(rig.state.SourcePath.empty());

    rig.controller.HandleDrop({NativePath({u"x", u"song.odt"})});
    rig.TypeStep(u"5");
    EXPECT_FALSE(rig.controller.HandleKey(Press(Key::Space)));  // a space in a field is text
    EXPECT_TRUE(rig.controller.HandleKey(Press(Key::Escape)));
    EXPECT_TRUE(rig.state.SourcePath.empty());
    EXPECT_EQ(rig.state.StepValue, 0);
    EXPECT_EQ(rig.documents.requests.size(), 1u);
}

TEST(Keyboard, ShortcutsFollowTheFacesLanguage) {
    struct Case {
        Language language;
        KeyPress press;
        bool taken;
        int spelling;
    };
    const Case cases[] = {
        {Language::English, Letter(u'F', false, true), true, 1},
        {Language::English, Letter(u'S', false, true), true, 0},
        {Language::English, Letter(u'B', false, true), true, kSpellByKey},
        {Language::German, Letter(u'N', false, true), true, kSpellByKey},
        {Language::English, Letter(u'N', false, true), false, 0},
        {Language::German, Letter(u'B', false, true), true, 1},
        {Language::German, Letter(u'K', false, true), true, 0},
        {Language::German, Letter(u'F', false, true), false, 0},
        {Language::English, Letter(u'F', false, false), false, 0},  // typing, not a shortcut
    };
    for (const Case& c : cases) {
        ControllerRig rig;
        rig.state.UiLanguage = c.language;
        const int before = (c.spelling + 1) % 3;
        rig.state.SpellingChoice = before;
        EXPECT_EQ(rig.controller.HandleKey(c.press), c.taken);
        EXPECT_EQ(rig.state.SpellingChoice, c.taken ? c.spelling : before);
    }
}

TEST(Keyboard, ControlOOpensTheDialogAndF1TheProjectPage) {
    ControllerRig rig;
    rig.dialog.answer = NativePath({u"x", u"picked.docx"});
    EXPECT_TRUE(rig.controller.HandleKey(Letter(u'O', true, false)));
    EXPECT_EQ(rig.dialog.calls.size(), 1u);
    EXPECT_TRUE(rig.state.SourceName == u"picked.docx");
    EXPECT_TRUE(rig.controller.HandleKey(Press(Key::F1)));
    ASSERT_EQ(rig.shell.addresses.size(), 1u);
    EXPECT_TRUE(rig.shell.addresses[0] == kWebAddress);
}

TEST(Keyboard, AltShowsTheAccessKeysInThePictures) {
    ControllerRig rig;
    EXPECT_TRUE(rig.canvas.Drew(0, kSharpLabelSlot));
    rig.controller.ShowMnemonics(true);
    EXPECT_TRUE(rig.canvas.Drew(0, kSharpLabelMnemonicSlot));
    EXPECT_TRUE(rig.canvas.Drew(0, kFlatLabelMnemonicSlot));
    EXPECT_FALSE(rig.canvas.Drew(0, kSharpLabelSlot));
    rig.controller.ShowMnemonics(false);
    EXPECT_TRUE(rig.canvas.Drew(0, kSharpLabelSlot));
}

// A real file in the system's temporary folder, removed at the end.
class ExistingOutput : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() / "melvane-keyboard-test";
        std::filesystem::create_directories(folder_);
        source_ = PathToText(folder_ / "song.odt");
        output_ = PathToText(folder_ / "song+2.odt");
        std::ofstream(folder_ / "song.odt") << "source";
        std::ofstream(folder_ / "song+2.odt") << "earlier";
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::filesystem::path folder_;
    std::u16string source_;
    std::u16string output_;
};

TEST_F(ExistingOutput, IsReplacedOnlyAfterYes) {
    for (bool yes : {false, true}) {
        ControllerRig rig;
        rig.messages.answer = yes;
        rig.controller.HandleDrop({source_});
        rig.TypeStep(u"2");
        rig.Click(rig.state.areas.transposeButton);
        ASSERT_EQ(rig.messages.asked.size(), 1u);
        EXPECT_NE(rig.messages.asked[0].text.find(output_), std::u16string::npos);
        EXPECT_EQ(rig.documents.requests.size(), yes ? 1u : 0u);
        // No keeps the form as it is.
        EXPECT_EQ(rig.state.SourcePath.empty(), yes);
        EXPECT_EQ(rig.state.StepValue, yes ? 0 : 2);
    }
}

TEST_F(ExistingOutput, TheSourceItselfIsNotAskedAbout) {
    ControllerRig rig;
    rig.controller.HandleDrop({source_});
    rig.TypeStep(u"2");
    rig.outputName.text = source_;  // the document path refuses this with its own message
    rig.Click(rig.state.areas.transposeButton);
    EXPECT_TRUE(rig.messages.asked.empty());
}

}  // namespace
}  // namespace melvane
