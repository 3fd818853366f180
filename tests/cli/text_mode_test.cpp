#include "cli/text_mode.h"

#include <gtest/gtest.h>

#include <sstream>

namespace melvane::cli {
namespace {

std::string Filter(const std::string& input, int steps, int spelling = 0) {
    static const NoteTable table = BuildNoteTables();
    std::istringstream in(input);
    std::ostringstream out;
    EXPECT_TRUE(RunTextMode(table, in, out, ClassicSettings(steps, spelling)));
    return out.str();
}

TEST(TextMode, TransposesEachLineAndKeepsLineEndings) {
    EXPECT_EQ(Filter("Am  G  C\nA little bird\r\nF#7", 2), "Hm  A  D\nA little bird\r\nG#7");
    EXPECT_EQ(Filter("", 2), "");
    EXPECT_EQ(Filter("\n\n", 2), "\n\n");
}

TEST(TextMode, AnArticleAtTheEndOfALineStaysAChord) {
    // Each line is its own piece: the word on the next line does not restore the "A".
    EXPECT_EQ(Filter("G A\nlittle\n", 2), "A H\nlittle\n");
}

TEST(TextMode, UmlautsAndMalformedBytesPassThroughUnchanged) {
    EXPECT_EQ(Filter("Bär \xC3\xBC D\n", 2), "Bär \xC3\xBC E\n");
    // A malformed byte ends a token like any other non-ASCII character, but may start one.
    EXPECT_EQ(Filter("C \xFF\xFEG\x80 Am\n\xC3", 1, 1),
              "Db \xFF\xFE"
              "Ab\x80 Bbm\n\xC3");
    EXPECT_EQ(Filter("\xE4 \xC3\x28 E\n", 1), "\xE4 \xC3\x28 F\n");
}

TEST(TextMode, LinesLongerThanOneReadAreKeptWhole) {
    std::string line;
    for (int i = 0; i < 30000; ++i)
        line += "C ";
    line += "A little\n";
    std::string expected;
    for (int i = 0; i < 30000; ++i)
        expected += "D ";
    expected += "A little\n";
    EXPECT_EQ(Filter(line + line, 2), expected + expected);
}

}  // namespace
}  // namespace melvane::cli

namespace melvane::cli {
namespace {

std::string SheetAware(const std::string& input, int steps) {
    static const NoteTable table = BuildNoteTables();
    TransposeSettings settings;
    settings.steps = steps;
    settings.germanReader = true;
    std::istringstream in(input);
    std::ostringstream out;
    EXPECT_TRUE(RunTextMode(table, in, out, settings));
    return out.str();
}

TEST(TextMode, SheetAwareLearnsTheWholeInputFirst) {
    // The H on the last line makes the B of the first one a B-flat.
    EXPECT_EQ(SheetAware("B  C\r\nA little bird\nh", 2), "C  D\r\nA little bird\nc#");
    EXPECT_EQ(SheetAware("", 2), "");
    EXPECT_EQ(SheetAware("\n\n", 2), "\n\n");
    EXPECT_EQ(SheetAware("G A\nlittle\n", 2), "A H\nlittle\n");
    EXPECT_EQ(SheetAware("Bär \xFF D\n\xC3", 2), "Bär \xFF E\n\xC3");
    EXPECT_EQ(SheetAware("C \xFF G\n", 2), "D \xFF A\n");
}

}  // namespace
}  // namespace melvane::cli
