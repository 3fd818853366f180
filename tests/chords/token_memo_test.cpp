// Short tokens' readings are remembered per thread. Whatever the memory holds, and wherever a
// token stands in its line (the start, the end, a line shorter than the key), a line reads as it
// does with nothing remembered: a fresh thread starts with an empty memory.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "chords/tokens.h"

namespace melvane::chords {
namespace {

// Each moving chord as its place and notes.
std::u16string Readings(std::u16string_view line) {
    std::u16string out;
    ForEachMovingChord(line, [&out](const Token& token, bool onChordLine) {
        const Chord& c = token.chord;
        for (std::size_t v :
             {token.start, token.end, c.root.start, std::size_t{c.root.length},
              std::size_t{c.root.letter}, std::size_t(c.root.accidental + 1),
              std::size_t{c.hasBass}, c.hasBass ? c.bass.start : 0, std::size_t{onChordLine}}) {
            out += static_cast<char16_t>(v);
        }
    });
    return out;
}

TEST(TokenMemo, AWarmMemoryReadsAsAColdOne) {
    // Tokens that differ in one character, or in length only, and words among them.
    const std::u16string_view vocabulary[] = {
        u"A",    u"Am",    u"Am7",     u"Amaj7", u"An",     u"As",       u"Asus4", u"Asus2",
        u"Bb",   u"Bbm",   u"Bbm7",    u"B",     u"H7",     u"h",        u"das",   u"dass",
        u"Dm",   u"Dm7/C", u"(C)",     u"[dm]",  u"da-(C)", u"E5(V)",    u"Cis",   u"Cism",
        u"Es",   u"es",    u"Fmaj7/A", u"Gsus",  u"the",    u"river",    u"Herz",  u"a",
        u"N.C.", u"x2",    u"Intro:",  u"/F#",   u"C7(b9)", u"Ebmaj7#11"};
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        std::u16string line;
        const int tokens = 1 + static_cast<int>(random() % 7);
        for (int t = 0; t < tokens; ++t) {
            line += vocabulary[random() % std::size(vocabulary)];
            line += std::u16string(1 + random() % 4, u' ');
        }
        line.resize(line.size() - random() % 2);  // a line may end in its last token
        const std::u16string warm = Readings(line);
        std::u16string cold;
        std::thread([&] { cold = Readings(line); }).join();
        ASSERT_EQ(warm, cold) << std::string(line.begin(), line.end());
    }
}

}  // namespace
}  // namespace melvane::chords
