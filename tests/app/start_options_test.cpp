#include "app/start_options.h"

#include <gtest/gtest.h>

#include "app_fakes.h"

namespace melvane {
namespace {

TEST(StartOptions, ADocumentOnTheCommandLineIsChosenWhereverItStands) {
    const struct {
        std::vector<std::u16string> args;
        std::u16string document;
        std::u16string steps;
        bool classic;
    } cases[] = {
        {{u"C:\\Songs\\Song.odt"}, u"C:\\Songs\\Song.odt", u"", false},
        {{u"--steps", u"2", u"Song.odt"}, u"Song.odt", u"2", false},
        {{u"Song.odt", u"--steps", u"-3"}, u"Song.odt", u"-3", false},
        {{u"--classic", u"A.odt", u"B.odt"}, u"A.odt", u"", true},
        {{u"--document", u"D.docx", u"--steps"}, u"D.docx", u"", false},
        {{u"--steps", u"Song.odt"}, u"", u"Song.odt", false},  // a value, not a document
    };
    for (const auto& c : cases) {
        const StartOptions options = ReadStartOptions(c.args);
        EXPECT_EQ(options.document, c.document);
        EXPECT_EQ(options.steps, c.steps);
        EXPECT_EQ(options.classic, c.classic);
    }
    EXPECT_EQ(ReadStartOptions({u"--language", u"de"}).language, Language::German);
    EXPECT_FALSE(ReadStartOptions({}).language.has_value());
    EXPECT_EQ(ReadStartOptions({u"--tabs", u"7", u"Song.odt"}).tabs, 7);
}

TEST(StartOptions, ADocumentAndStepsOnlyPreselect) {
    fakes::ControllerRig rig;
    const std::u16string song = fakes::NativePath({u"Songs", u"Song.odt"});
    rig.controller.OpenAtStart(song);
    rig.controller.PresetSteps(u"99");
    EXPECT_EQ(rig.state.SourcePath, song);
    EXPECT_EQ(rig.step.text, u"12");
    EXPECT_EQ(rig.outputName.text, fakes::NativePath({u"Songs", u"Song+12.odt"}));
    EXPECT_EQ(rig.state.focus, FocusTarget::StepField);
    EXPECT_TRUE(rig.documents.requests.empty());
    EXPECT_TRUE(rig.messages.shown.empty());
}

}  // namespace
}  // namespace melvane
