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
        {{"--text", "--steps", "13"}, "'13'"},   {{"--text", "--steps", "-13"}, "'-13'"},
        {{"--text", "--steps", "2x"}, "'2x'"},   {{"--text", "--steps", ""}, "''"},
        {{"--text", "--steps", "+"}, "'+'"},     {{"--text", "--steps", "99999999999"}, "'9"},
        {{"--text", "--steps"}, "--steps"},      {{"--text"}, "--steps"},
        {{"--steps", "2"}, "--text"},            {{}, "--text"},
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
