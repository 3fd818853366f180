#include "cli/options.h"

#include <gtest/gtest.h>

namespace melvane::cli {
namespace {

TEST(ParseArguments, TextModeWithStepsAndSpelling) {
    auto parsed = ParseArguments({"--text", "--steps", "-3", "--flats"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.mode, Mode::Text);
    EXPECT_EQ(parsed.options.steps, -3);
    EXPECT_EQ(parsed.options.spelling, 1);

    parsed = ParseArguments({"--steps=+12", "--text"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.steps, 12);
    EXPECT_EQ(parsed.options.spelling, 0);
}

TEST(ParseArguments, HelpAndVersionWinOverEverythingBeforeThem) {
    EXPECT_EQ(ParseArguments({"--text", "--help"}).options.mode, Mode::Help);
    EXPECT_EQ(ParseArguments({"--version"}).options.mode, Mode::Version);
    EXPECT_EQ(ParseArguments({"-h"}).options.mode, Mode::Help);
}

TEST(ParseArguments, RefusesBadInputWithOneLineNamingIt) {
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    };
    const Case cases[] = {
        {{"--text", "--steps", "13"}, "'13'"},
        {{"--text", "--steps", "-13"}, "'-13'"},
        {{"--text", "--steps", "2x"}, "'2x'"},
        {{"--text", "--steps", ""}, "''"},
        {{"--text", "--steps", "+"}, "'+'"},
        {{"--text", "--steps", "+-5"}, "'+-5'"},
        {{"--text", "--steps", "--5"}, "'--5'"},
        {{"--text", "--steps", "99999999999"}, "'9"},
        {{"--text", "--steps"}, "--steps"},
        {{"--text"}, "--steps"},
        {{"--steps", "2"}, "--text"},
        {{}, "--text"},
        {{"--text", "--steps", "1", "--bogus"}, "'--bogus'"},
        {{"--text", "--steps", "1", "song.txt"}, "'song.txt'"},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseArguments(c.args);
        EXPECT_FALSE(parsed.ok);
        EXPECT_NE(parsed.error.find(c.mentions), std::string::npos) << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    }
}

}  // namespace
}  // namespace melvane::cli

namespace melvane::cli {
namespace {

TEST(ParseArguments, DocumentsWithTheirOptions) {
    auto parsed = ParseArguments(
        {"--steps", "2", "--flats", "--lang", "de", "--open", "-o", "out.odt", "Lied.odt"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.mode, Mode::Documents);
    EXPECT_EQ(parsed.options.steps, 2);
    EXPECT_EQ(parsed.options.spelling, 1);
    EXPECT_EQ(parsed.options.language, Language::German);
    EXPECT_TRUE(parsed.options.openOutput);
    EXPECT_EQ(parsed.options.output, "out.odt");
    EXPECT_EQ(parsed.options.files, std::vector<std::string>{"Lied.odt"});

    parsed = ParseArguments({"a.odt", "--steps=-1", "--lang=en", "b.odt", "--", "-c.odt"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.files, (std::vector<std::string>{"a.odt", "b.odt", "-c.odt"}));
    EXPECT_EQ(parsed.options.language, Language::English);
    EXPECT_FALSE(parsed.options.output.has_value());
    EXPECT_FALSE(parsed.options.openOutput);

    parsed = ParseArguments({"--print", "a.odt", "b.odt"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.mode, Mode::Print);
    EXPECT_FALSE(ParseArguments({"a.odt", "--steps", "2"}).options.language.has_value());
}

TEST(ParseArguments, RefusesDocumentArgumentsThatDoNotFit) {
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    };
    const Case cases[] = {
        {{"a.odt"}, "--steps"},
        {{"--steps", "2", "-o", "x.odt", "a.odt", "b.odt"}, "exactly one"},
        {{"--steps", "2", "a.odt", "-o"}, "-o"},
        {{"--steps", "2", "a.odt", "--lang", "fr"}, "'fr'"},
        {{"--steps", "2", "a.odt", "--lang"}, "--lang"},
        {{"--print"}, "--print"},
        {{"--print", "a.odt", "--open"}, "--open"},
        {{"--text", "--steps", "2", "--open"}, "--text"},
        {{"--flats"}, "--text"},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseArguments(c.args);
        EXPECT_FALSE(parsed.ok) << testing::PrintToString(c.args);
        EXPECT_NE(parsed.error.find(c.mentions), std::string::npos) << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    }
}

TEST(LanguageFromLocale, GermanWhenTheDecidingVariableStartsWithDe) {
    struct Case {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        Language expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, "de_DE.UTF-8", Language::German},
        {nullptr, nullptr, "de_AT", Language::German},
        {"de_CH.UTF-8", nullptr, "en_US.UTF-8", Language::German},
        {"en_GB.UTF-8", nullptr, "de_DE.UTF-8", Language::English},
        {"", nullptr, "de_DE.UTF-8", Language::German},
        {nullptr, "C", "de_DE.UTF-8", Language::English},
        {nullptr, nullptr, "C.UTF-8", Language::English},
        {nullptr, nullptr, nullptr, Language::English},
        {nullptr, nullptr, "dk_DK", Language::English},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LanguageFromLocale(c.lcAll, c.lcMessages, c.lang), c.expected)
            << (c.lcAll ? c.lcAll : "-") << " " << (c.lcMessages ? c.lcMessages : "-") << " "
            << (c.lang ? c.lang : "-");
    }
    // Only when nothing is set does the system's own language decide.
    EXPECT_EQ(LanguageFromLocale(nullptr, "", nullptr, Language::German), Language::German);
    EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, "C", Language::German), Language::English);
}

}  // namespace
}  // namespace melvane::cli
