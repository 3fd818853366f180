#include "app/controller.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app_fakes.h"
#include "documents/documents.h"
#include "platform/file_system.h"
#include "platform/utf.h"

namespace melvane {
namespace {

using fakes::ControllerRig;
using fakes::NativePath;

const std::u16string kSong = NativePath({u"Songs", u"Hymn.DOCX"});

TEST(StepArrows, StopAtTheLimitsAndRewriteFieldAndProposal) {
    ControllerRig rig;
    rig.controller.HandleDrop({kSong});
    for (int i = 0; i < 14; ++i)
        rig.Click(rig.state.areas.stepUp);
    EXPECT_EQ(rig.state.StepValue, 12);
    EXPECT_TRUE(rig.step.text == u"12");
    EXPECT_TRUE(rig.outputName.text == NativePath({u"Songs", u"Hymn+12.docx"}));

    for (int i = 0; i < 30; ++i)
        rig.Click(rig.state.areas.stepDown);
    EXPECT_EQ(rig.state.StepValue, -12);
    EXPECT_TRUE(rig.step.text == u"-12");
    EXPECT_TRUE(rig.outputName.text == NativePath({u"Songs", u"Hymn-12.docx"}));
    EXPECT_GT(rig.outputName.selectAllCount, 0);
}

TEST(StepField, TypedValuesAreClampedAndShownBack) {
    struct Case {
        std::u16string typed;
        std::int64_t value;
        std::u16string shown;
    };
    const Case cases[] = {{u"99", 12, u"12"},    {u"", 0, u"0"},
                          {u"7", 7, u"7"},       {u"05", 5, u"5"},
                          {u"3x", 3, u"3"},      {u"x3", 0, u"0"},
                          {u"-40", -12, u"-12"}, {u"99999999999999999999999", 12, u"12"}};
    for (const Case& c : cases) {
        ControllerRig rig;
        rig.TypeStep(c.typed);
        EXPECT_EQ(rig.state.StepValue, c.value);
        EXPECT_TRUE(rig.step.text == c.shown);
    }
}

TEST(StepField, AnUnchangedValueIsNotWrittenAgain) {
    ControllerRig rig;
    const int before = rig.step.setCount;
    rig.TypeStep(u"4");
    EXPECT_EQ(rig.step.setCount, before);
}

TEST(OutputProposal, MarksTheStepBeforeALowerCaseExtension) {
    ControllerRig rig;
    rig.controller.HandleDrop({NativePath({u"Lieder", u"song.ODT"})});
    EXPECT_TRUE(rig.state.SourceName == u"song.ODT");
    EXPECT_TRUE(rig.outputName.text == NativePath({u"Lieder", u"song_.odt"}));
    rig.TypeStep(u"3");
    EXPECT_TRUE(rig.outputName.text == NativePath({u"Lieder", u"song+3.odt"}));
    rig.Click(rig.state.areas.stepDown);
    rig.Click(rig.state.areas.stepDown);
    rig.Click(rig.state.areas.stepDown);
    rig.Click(rig.state.areas.stepDown);
    rig.Click(rig.state.areas.stepDown);
    EXPECT_TRUE(rig.outputName.text == NativePath({u"Lieder", u"song-2.odt"}));
}

TEST(OutputProposal, KeepsDotsInsideTheName) {
    ControllerRig rig;
    rig.controller.HandleDrop({NativePath({u"a.b", u"my.song.v2.docx"})});
    EXPECT_TRUE(rig.outputName.text == NativePath({u"a.b", u"my.song.v2_.docx"}));
}

TEST(Documents, OnlyWordAndOpenDocumentFilesAreTaken) {
    ControllerRig rig;
    rig.controller.HandleDrop({NativePath({u"x", u"first.doc"})});
    const int framesBefore = rig.canvas.frames;
    for (const auto* path : {u"song.pdf", u"song", u"songodt", u"song.odt.bak", u"odt"}) {
        rig.controller.HandleDrop({NativePath({u"y", path})});
    }
    EXPECT_TRUE(rig.state.SourcePath == NativePath({u"x", u"first.doc"}));
    EXPECT_EQ(rig.canvas.frames, framesBefore);
    // Each refusal says so, naming the file and the kinds taken.
    ASSERT_EQ(rig.messages.shown.size(), 5u);
    EXPECT_NE(rig.messages.shown[0].text.find(u"[song.pdf]"), std::u16string::npos);
    EXPECT_NE(rig.messages.shown[0].text.find(u".odt"), std::u16string::npos);
#ifndef _WIN32
    // A backslash is part of a file name here, not a separator.
    rig.controller.HandleDrop({u"/tmp/odd\\name.odt"});
    EXPECT_TRUE(rig.state.SourceName == u"odd\\name.odt");
#endif
}

TEST(Documents, ADropOfSeveralFilesTakesTheFirst) {
    ControllerRig rig;
    rig.controller.HandleDrop({NativePath({u"a.odt"}), NativePath({u"b.docx"})});
    EXPECT_TRUE(rig.state.SourcePath == NativePath({u"a.odt"}));
    rig.controller.HandleDrop({});
    EXPECT_TRUE(rig.state.SourcePath == NativePath({u"a.odt"}));
}

TEST(Documents, TheDialogSpeaksTheCurrentLanguageAndCancelChangesNothing) {
    ControllerRig rig;
    rig.dialog.answer = u"";
    rig.Click(rig.state.areas.dropZone);
    ASSERT_EQ(rig.dialog.calls.size(), 1u);
    EXPECT_TRUE(rig.dialog.calls[0].title == u"Select file");
    EXPECT_TRUE(rig.dialog.calls[0].filters ==
                u"Supported files (doc, docx, odt, txt, cho)|*.doc;*.docx;*.docm;*.dotx;*.dotm;"
                u"*.odt;*.txt;*.text;*.cho;*.crd;*.chopro;*.chordpro;*.chord;*.pro|"
                u"Word files (doc, docx)|*.doc;*.docx;*.docm;*.dotx;*.dotm|"
                u"Open Office files (odt)|*.odt|"
                u"Text and ChordPro files (txt, cho)|*.txt;*.text;*.cho;*.crd;*.chopro;*.chordpro;"
                u"*.chord;*.pro");
    EXPECT_TRUE(rig.state.SourcePath.empty());

    rig.Click(rig.state.areas.germanFlag);
    rig.dialog.answer = NativePath({u"Lieder", u"Lied für Chor.odt"});
    rig.Click(rig.state.areas.dropZone);
    ASSERT_EQ(rig.dialog.calls.size(), 2u);
    EXPECT_TRUE(rig.dialog.calls[1].title == u"Datei auswählen");
    EXPECT_TRUE(rig.dialog.calls[1].filters ==
                u"Unterstützte Dateien (doc, docx, odt, txt, cho)|*.doc;*.docx;*.docm;*.dotx;"
                u"*.dotm;*.odt;*.txt;*.text;*.cho;*.crd;*.chopro;*.chordpro;*.chord;*.pro|"
                u"Word Dateien (doc, docx)|*.doc;*.docx;*.docm;*.dotx;*.dotm|"
                u"Open Office Dateien (odt)|*.odt|"
                u"Text- und ChordPro-Dateien (txt, cho)|*.txt;*.text;*.cho;*.crd;*.chopro;"
                u"*.chordpro;*.chord;*.pro");
    EXPECT_TRUE(rig.state.SourceName == u"Lied für Chor.odt");

    // The current document is the dialog's default; another type is ignored.
    rig.dialog.answer = NativePath({u"x.pdf"});
    rig.Click(rig.state.areas.dropZone);
    EXPECT_TRUE(rig.dialog.calls[2].defaultFile == NativePath({u"Lieder", u"Lied für Chor.odt"}));
    EXPECT_TRUE(rig.state.SourceName == u"Lied für Chor.odt");
}

TEST(RemoveCorner, ClearsAChosenDocumentOrElseOpensTheDialog) {
    ControllerRig rig;
    rig.Click(rig.state.areas.removeFile);
    EXPECT_EQ(rig.dialog.calls.size(), 1u);

    rig.controller.HandleDrop({kSong});
    rig.TypeStep(u"5");
    rig.Click(rig.state.areas.flatOption);
    rig.Click(rig.state.areas.removeFile);
    EXPECT_EQ(rig.dialog.calls.size(), 1u);
    EXPECT_TRUE(rig.state.SourcePath.empty());
    EXPECT_EQ(rig.state.StepValue, 0);
    EXPECT_EQ(rig.state.SpellingChoice, kSpellByKey);
    EXPECT_TRUE(rig.outputName.text.empty());
    EXPECT_TRUE(rig.step.text == u"0");
}

TEST(TransposeAction, AsksForADocumentFirst) {
    for (Language language : {Language::English, Language::German}) {
        ControllerRig rig;
        rig.state.UiLanguage = language;
        rig.TypeStep(u"2");
        EXPECT_EQ(rig.controller.TransposeAction(), Fault::Source);
        ASSERT_EQ(rig.messages.shown.size(), 1u);
        EXPECT_TRUE(rig.messages.shown[0].title == u"Information");
        EXPECT_EQ(rig.messages.shown[0].icon, MessageIcon::Information);
        EXPECT_TRUE(rig.messages.shown[0].text == (language == Language::German
                                                       ? u"Bitte wählen Sie eine Quelldatei aus!"
                                                       : u"Please select or drop a sourcefile!"));
        EXPECT_EQ(rig.state.StepValue, 2);
    }
}

TEST(TransposeAction, AStepOfZeroKeepsTheDocument) {
    for (Language language : {Language::English, Language::German}) {
        ControllerRig rig;
        rig.state.UiLanguage = language;
        rig.controller.HandleDrop({kSong});
        rig.Click(rig.state.areas.transposeButton);
        ASSERT_EQ(rig.messages.shown.size(), 1u);
        EXPECT_TRUE(rig.messages.shown[0].text ==
                    (language == Language::German
                         ? u"Bitte geben Sie einen Wert ein, um den das Sheet transponiert "
                           u"werden soll!"
                         : u"Please input a transpose value!"));
        EXPECT_TRUE(rig.state.SourcePath == kSong);
        EXPECT_TRUE(rig.documents.requests.empty());
    }
}

TEST(TransposeAction, HandsTheDocumentToItsPathWithTheTrimmedOutputName) {
    ControllerRig rig;
    rig.controller.HandleDrop({kSong});
    rig.TypeStep(u"3");
    rig.Click(rig.state.areas.flatOption);
    rig.Click(rig.state.areas.germanFlag);
    rig.outputName.text = u"  " + NativePath({u"out", u"new.docx"}) + u"  ";
    rig.Click(rig.state.areas.transposeButton);

    ASSERT_EQ(rig.documents.requests.size(), 1u);
    const TransposeRequest& request = rig.documents.requests[0];
    EXPECT_TRUE(request.source == kSong);
    EXPECT_TRUE(request.output == NativePath({u"out", u"new.docx"}));
    EXPECT_EQ(request.transpose.steps, 3);
    EXPECT_EQ(request.transpose.spelling, 1);
    EXPECT_EQ(request.transpose.recognition, Recognition::SheetAware);
    EXPECT_TRUE(request.transpose.germanReader);
    EXPECT_EQ(request.language, Language::German);
    EXPECT_TRUE(rig.messages.shown.empty());
}

TEST(TransposeAction, OnlySuccessEmptiesTheForm) {
    ControllerRig rig;
    rig.controller.HandleDrop({NativePath({u"song.odt"})});
    rig.Click(rig.state.areas.stepUp);
    rig.Click(rig.state.areas.flatOption);
    rig.outputName.text.clear();
    rig.Click(rig.state.areas.transposeButton);

    ASSERT_EQ(rig.documents.requests.size(), 1u);
    EXPECT_TRUE(rig.documents.requests[0].output.empty());
    EXPECT_TRUE(rig.state.SourcePath.empty());
    EXPECT_EQ(rig.state.StepValue, 0);
    EXPECT_EQ(rig.state.SpellingChoice, kSpellByKey);
    EXPECT_TRUE(rig.step.text == u"0");
    EXPECT_TRUE(rig.outputName.text.empty());
    EXPECT_EQ(rig.state.UiLanguage, Language::English);
}

TEST(TransposeAction, AfterAFailureTheFormStaysAndTheFaultyFieldHasTheFocus) {
    const std::u16string song = NativePath({u"x", u"song.odt"});
    struct Case {
        Fault fault;        // what the documents layer reports
        bool withDocument;  // false: the check for a document fails first
        const char16_t* steps;
        FocusTarget focus;
    };
    const Case cases[] = {
        {Fault::OutputName, true, u"2", FocusTarget::OutputNameField},
        {Fault::Source, true, u"2", FocusTarget::DropZone},
        {Fault::Other, true, u"-3", FocusTarget::TransposeButton},
        {Fault::None, false, u"2", FocusTarget::DropZone},
        {Fault::None, true, u"0", FocusTarget::StepField},
    };
    for (const Case& c : cases) {
        ControllerRig rig;
        rig.documents.fault = c.fault;
        if (c.withDocument)
            rig.controller.HandleDrop({song});
        rig.TypeStep(c.steps);
        rig.Click(rig.state.areas.flatOption);
        rig.outputName.text = rig.outputName.text.empty() ? u"" : NativePath({u"x", u"mine.odt"});
        rig.controller.HandleFocus(FocusTarget::TransposeButton);
        const int selections = rig.outputName.selectAllCount + rig.step.selectAllCount;
        rig.Click(rig.state.areas.transposeButton);

        EXPECT_EQ(rig.state.SourcePath, c.withDocument ? song : u"");
        EXPECT_EQ(rig.step.text, c.steps);
        EXPECT_EQ(rig.state.SpellingChoice, 1);
        EXPECT_EQ(rig.state.focus, c.focus);
        if (c.withDocument) {
            EXPECT_TRUE(rig.outputName.text == NativePath({u"x", u"mine.odt"}));
        }
        const bool field =
            c.focus == FocusTarget::OutputNameField || c.focus == FocusTarget::StepField;
        EXPECT_EQ(rig.outputName.selectAllCount + rig.step.selectAllCount > selections, field);
    }
}

TEST(OutputName, TheUsersNameIsTheUsers) {
    // The name field after a document at step 2, then an edit, then the step changed to 5.
    struct Case {
        const char16_t* typed;      // nullptr: left as proposed
        const char16_t* afterStep;  // the field at step 5
    };
    const Case cases[] = {
        {nullptr, u"Song+5.odt"},         {u"Meine Fassung.docx", u"Meine Fassung.docx"},
        {u"Mine+2.odt", u"Mine+5.odt"},    // still ends in the proposal's marker: it follows
        {u"Mine+2b.odt", u"Mine+2b.odt"},  // no longer does
        {u"Song+12.odt", u"Song+12.odt"}, {u"", u"Song+5.odt"},  // emptied: proposed again
    };
    for (const Case& c : cases) {
        ControllerRig rig;
        rig.controller.HandleDrop({NativePath({u"x", u"Song.odt"})});
        rig.TypeStep(u"2");
        if (c.typed != nullptr)
            rig.outputName.text = c.typed[0] == 0 ? u"" : NativePath({u"x", c.typed});
        rig.controller.HandleFocus(FocusTarget::StepField);
        rig.controller.HandleKey({Key::Up});
        rig.TypeIntoStep({u"5"});
        EXPECT_TRUE(rig.outputName.text == NativePath({u"x", c.afterStep}))
            << (c.typed
                    ? std::string(c.typed, c.typed + std::char_traits<char16_t>::length(c.typed))
                    : "");
    }
}

TEST(OutputName, TheExtensionIsTheSourcesOrAskedAbout) {
    struct Case {
        const char16_t* typed;
        bool answer;  // to the question, when there is one
        bool asked;
        const char16_t* written;  // nullptr: nothing handed on, the name field has the focus
    };
    const Case cases[] = {
        {u"Fassung.ODT", true, false, u"Fassung.ODT"},
        {u"Fassung", true, false, u"Fassung.odt"},
        {u"Fassung.", true, false, u"Fassung.odt"},
        {u"Fassung 1.5", true, false, u"Fassung 1.5.odt"},
        {u"falsch.docx", true, true, u"falsch.odt"},
        {u"falsch.doc", false, true, nullptr},
    };
    for (const Case& c : cases) {
        ControllerRig rig;
        rig.controller.HandleDrop({NativePath({u"x", u"Song.odt"})});
        rig.TypeStep(u"2");
        rig.outputName.text = NativePath({u"x", c.typed});
        rig.messages.answer = c.answer;
        rig.Click(rig.state.areas.transposeButton);
        EXPECT_EQ(rig.messages.asked.size(), c.asked ? 1u : 0u);
        if (c.written == nullptr) {
            EXPECT_TRUE(rig.documents.requests.empty());
            EXPECT_EQ(rig.state.focus, FocusTarget::OutputNameField);
            EXPECT_TRUE(rig.outputName.text == NativePath({u"x", c.typed}));
        } else {
            ASSERT_EQ(rig.documents.requests.size(), 1u);
            EXPECT_TRUE(rig.documents.requests[0].output == NativePath({u"x", c.written}));
        }
    }
}

TEST(CanvasClicks, OptionsFlagsAndLinkChangeWhatTheySay) {
    ControllerRig rig;
    rig.Click(rig.state.areas.flatOption);
    EXPECT_EQ(rig.state.SpellingChoice, 1);
    rig.Click(rig.state.areas.sharpOption);
    EXPECT_EQ(rig.state.SpellingChoice, 0);
    rig.Click(rig.state.areas.germanFlag);
    EXPECT_EQ(rig.state.UiLanguage, Language::German);
    rig.Click(rig.state.areas.englishFlag);
    EXPECT_EQ(rig.state.UiLanguage, Language::English);
    rig.Click(rig.state.areas.webLink);
    ASSERT_EQ(rig.shell.addresses.size(), 1u);
    EXPECT_TRUE(rig.shell.addresses[0] == kWebAddress);
}

TEST(CanvasClicks, RedrawOnlyOnChangeAndTheArrowsHandTheFocusToTheField) {
    ControllerRig rig;
    const int frames = rig.canvas.frames;
    rig.controller.HandleCanvasEvent(CanvasEvent::LeftClick, 5, 5);  // nothing there
    EXPECT_EQ(rig.canvas.frames, frames);
    EXPECT_EQ(rig.state.focus, FocusTarget::None);
    rig.Click(rig.state.areas.flatOption);
    EXPECT_EQ(rig.canvas.frames, frames + 1);
    rig.Click(rig.state.areas.stepUp);
    EXPECT_EQ(rig.state.focus, FocusTarget::StepField);
    EXPECT_GT(rig.step.focusCount, 0);
}

TEST(StepField, TypingKeepsItsStatesUntilTheFieldIsLeft) {
    // Typed in the focused field (after focus selected the old value), then Tab or Enter.
    struct Case {
        std::vector<std::u16string> states;
        std::int64_t whileTyping;  // the value the name follows meanwhile
        std::u16string settled;    // the field once left
        std::int64_t value;
    };
    const Case cases[] = {
        {{u"4"}, 4, u"4", 4},
        {{u"-", u"-3"}, -3, u"-3", -3},
        {{u"+", u"+7"}, 7, u"7", 7},
        {{u"-"}, 0, u"0", 0},
        {{u""}, 0, u"0", 0},
        {{u"9", u"99"}, 12, u"12", 12},
        {{u"-", u"-2", u"-20"}, -12, u"-12", -12},
        {{u"5", u"", u"3"}, 3, u"3", 3},
    };
    for (const bool byEnter : {false, true}) {
        for (const Case& c : cases) {
            ControllerRig rig;
            rig.documents.fault = Fault::Other;  // Enter's transposition keeps the form
            rig.controller.HandleDrop({NativePath({u"x", u"Song.odt"})});
            ASSERT_EQ(rig.state.focus, FocusTarget::StepField);  // after choosing a document
            const int sets = rig.step.setCount;
            rig.TypeIntoStep(c.states);
            EXPECT_EQ(rig.step.setCount, sets);  // nothing rewritten under the user's fingers
            EXPECT_TRUE(rig.step.text == c.states.back());
            EXPECT_EQ(rig.state.StepValue, c.whileTyping);
            EXPECT_TRUE(rig.outputName.text ==
                        PathToText(ProposeOutputPath(PathFromText(NativePath({u"x", u"Song.odt"})),
                                                     c.whileTyping)));
            if (byEnter)
                rig.controller.HandleKey({Key::Enter});
            else
                rig.controller.HandleKey({Key::Tab});
            EXPECT_TRUE(rig.step.text == c.settled);
            EXPECT_EQ(rig.state.StepValue, c.value);
        }
    }
    for (char16_t c : std::u16string(u"0123456789+-"))
        EXPECT_TRUE(Controller::StepFieldTakes(c));
    for (char16_t c : std::u16string(u" x.,e"))
        EXPECT_FALSE(Controller::StepFieldTakes(c));
}

TEST(CanvasClicks, EdgesBelongToTheArea) {
    ControllerRig rig;
    const HotArea up = rig.state.areas.stepUp;
    rig.controller.HandleCanvasEvent(CanvasEvent::LeftClick, up.right, up.bottom);
    rig.controller.HandleCanvasEvent(CanvasEvent::LeftClick, up.left, up.top);
    EXPECT_EQ(rig.state.StepValue, 2);
    rig.controller.HandleCanvasEvent(CanvasEvent::LeftClick, up.right + 1, up.top);
    rig.controller.HandleCanvasEvent(CanvasEvent::LeftClick, up.left, up.top - 1);
    EXPECT_EQ(rig.state.StepValue, 2);
}

TEST(Hover, FollowsThePointerAndRedrawsOnlyWhenAFlagChanges) {
    ControllerRig rig;
    const HotArea button = rig.state.areas.transposeButton;
    const int frames = rig.canvas.frames;
    rig.controller.HandleCanvasEvent(CanvasEvent::PointerMove, button.left, button.top);
    EXPECT_TRUE(rig.state.areas.transposeButton.hover);
    EXPECT_EQ(rig.canvas.frames, frames + 1);
    rig.controller.HandleCanvasEvent(CanvasEvent::PointerMove, button.left + 1, button.top + 1);
    EXPECT_EQ(rig.canvas.frames, frames + 1);
    rig.controller.HandleCanvasEvent(CanvasEvent::PointerMove, 0, 0);
    EXPECT_FALSE(rig.state.areas.transposeButton.hover);
    EXPECT_EQ(rig.canvas.frames, frames + 2);

    // Flags and options do not track the pointer.
    const HotArea flag = rig.state.areas.germanFlag;
    rig.controller.HandleCanvasEvent(CanvasEvent::PointerMove, flag.left, flag.top);
    EXPECT_FALSE(rig.state.areas.germanFlag.hover);
    EXPECT_EQ(rig.canvas.frames, frames + 2);
}

TEST(Hover, TheWindowsOwnPointerNotificationOnlyMovesTheDropZone) {
    ControllerRig rig;
    const HotArea zone = rig.state.areas.dropZone;
    const HotArea link = rig.state.areas.webLink;
    rig.controller.HandleWindowPointer(zone.left + 3, zone.top + 3);
    EXPECT_TRUE(rig.state.areas.dropZone.hover);
    rig.controller.HandleWindowPointer(link.left, link.top);
    EXPECT_FALSE(rig.state.areas.dropZone.hover);
    EXPECT_FALSE(rig.state.areas.webLink.hover);
}

// The chosen sheet's key beside the steps, in the face's language, following the steps; gone
// with the document.
TEST(KeyLine, ShowsTheKeyAndWhereTheStepsTakeIt) {
    using chords::Mode;
    using chords::SpelledKey;
    const struct {
        std::optional<SpelledKey> key;  // G: letter 4; B-flat: letter 6 with a flat
        Language language;
        const char16_t* steps;
        std::u16string_view shown;
    } cases[] = {
        {SpelledKey{{4, 0}, Mode::Major}, Language::English, u"2", u"G → A"},
        {SpelledKey{{4, 0}, Mode::Major}, Language::German, u"2", u"G-Dur → A-Dur"},
        {SpelledKey{{4, 0}, Mode::Major}, Language::English, u"3", u"G → Bb"},
        {SpelledKey{{4, 0}, Mode::Major}, Language::German, u"3", u"G-Dur → B-Dur"},
        {SpelledKey{{2, 0}, Mode::Minor}, Language::English, u"-1", u"Em → Ebm"},
        {SpelledKey{{2, 0}, Mode::Minor}, Language::German, u"1", u"e-Moll → f-Moll"},
        {SpelledKey{{6, -1}, Mode::Minor}, Language::German, u"1", u"b-Moll → h-Moll"},
        {SpelledKey{{3, 1}, Mode::Major}, Language::English, u"0", u"F# → F#"},
        {std::nullopt, Language::English, u"2", u""},
    };
    for (const auto& c : cases) {
        ControllerRig rig;
        rig.state.UiLanguage = c.language;
        rig.documents.key = c.key;
        rig.controller.HandleDrop({kSong});
        rig.TypeStep(c.steps);  // the face follows the steps by itself
        EXPECT_TRUE(KeyLine(rig.state) == c.shown) << Utf16ToUtf8(KeyLine(rig.state));
        const bool drawn = std::any_of(rig.canvas.texts.begin(), rig.canvas.texts.end(),
                                       [&](const auto& text) { return text.text == c.shown; });
        EXPECT_EQ(drawn, !c.shown.empty());
        rig.Click(rig.state.areas.removeFile);
        EXPECT_TRUE(KeyLine(rig.state).empty());
    }
}

// By key is the default; the classic scan starts with sharps and refuses it, saying why.
TEST(KeyLine, TheClassicScanHasNoKeys) {
    ControllerRig rig;
    EXPECT_EQ(rig.state.SpellingChoice, kSpellByKey);
    rig.state.recognition = Recognition::Classic;
    rig.controller.ResetForm();
    EXPECT_EQ(rig.state.SpellingChoice, kSpellSharps);
    rig.Click(rig.state.areas.byKeyOption);
    EXPECT_EQ(rig.state.SpellingChoice, kSpellSharps);
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_TRUE(rig.messages.shown[0].text.find(u"--classic") != std::u16string::npos);
}

TEST(PathParts, SplitAtTheLastSeparatorAndTheLastDot) {
    const std::u16string path = NativePath({u"a.dir", u"Song.Final.DocX"});
    EXPECT_TRUE(FilePart(path) == u"Song.Final.DocX");
    EXPECT_TRUE(DirectoryPart(path) + FilePart(path) == path);
    // The documents layer reads the kind from the same native path.
    EXPECT_TRUE(LowerCaseExtension(PathFromText(path)) == u"docx");
    EXPECT_TRUE(LowerCaseExtension(PathFromText(NativePath({u"a.dir", u"README"}))).empty());
    EXPECT_TRUE(DirectoryPart(u"plain.odt").empty());
}

}  // namespace
}  // namespace melvane
