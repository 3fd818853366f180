// TransposeText against a literal, slow rendering of the scan: a working text rewritten in
// place, every cell's pattern searched on the whole token, positions moved by hand.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "chords/transpose.h"

namespace melvane {
namespace {

const NoteTable& Table() {
    static const NoteTable table = BuildNoteTables();
    return table;
}

std::u16string ReferenceTranspose(std::u16string w, int steps, int spelling) {
    const int outColumn = spelling >= 1 ? 1 : 0;
    std::size_t p = 0;
    bool pending = false;
    std::size_t articleStart = 0;
    std::size_t articleLength = 0;
    std::u16string articleOriginal;
    while (p < w.size()) {
        if (w[p] == u' ') {
            ++p;
            continue;
        }
        std::size_t q = p + 1;
        while (q < w.size() && ContinuesToken(w[q]))
            ++q;
        std::u16string token = w.substr(p, q - p);
        const std::u16string subject = token + u" ";
        int row = 0;
        int column = 0;
        for (int c = 0; c <= 1 && row == 0; ++c) {
            for (int r = 1; r <= kNoteRows; ++r) {
                if (Table().Cell(r, c).pattern.Search(subject)) {
                    row = r;
                    column = c;
                    break;
                }
            }
        }
        if (row != 0) {
            const std::u16string& from = Table().Cell(row, column).name;
            const std::u16string& to = Table().Cell(ShiftNoteIndex(row, steps), outColumn).name;
            std::u16string replaced;
            std::size_t start = 0;
            for (std::size_t hit = token.find(from); hit != std::u16string::npos;
                 hit = token.find(from, start)) {
                replaced += token.substr(start, hit - start) + to;
                start = hit + from.size();
            }
            replaced += token.substr(start);
            w = w.substr(0, p) + replaced + w.substr(q);
            if (row == kRowA) {
                pending = true;
                articleStart = p;
                articleLength = replaced.size();
                articleOriginal = token;
            }
            token = replaced;
        } else if (pending) {
            if (token != u"/" && token[0] != u'\t' && token[0] != u'\n' && token[0] != u'\r') {
                w = w.substr(0, articleStart) + articleOriginal +
                    w.substr(articleStart + articleLength);
                p = p + articleOriginal.size() - articleLength;
            }
            pending = false;
        }
        p += token.size();
    }
    return w;
}

// Texts glued from fragments, so that long chord suffixes ("m7maj7add9sus4") occur often.
std::u16string RandomText(std::mt19937& rng, const std::vector<std::u16string>& fragments,
                          std::size_t maxFragments) {
    std::u16string text;
    const std::size_t count = rng() % (maxFragments + 1);
    for (std::size_t k = 0; k < count; ++k)
        text += fragments[rng() % fragments.size()];
    return text;
}

TEST(TransposeTextReference, AgreesOnRandomChordHeavyText) {
    const std::vector<std::u16string> fragments = {
        u"A",  u"B",  u"C",    u"D",    u"E",    u"F",      u"G",      u"H",      u"b",  u"#",
        u"m",  u"7",  u"maj7", u"add9", u"sus4", u"add1",   u"sus",    u"/",      u" ",  u"  ",
        u"\t", u"\r", u"\n",   u"x",    u"(",    u"\u00E4", u"\u00A0", u"\u00DF", u"Am", u"Bb"};
    std::mt19937 rng(2024);
    for (int i = 0; i < 30000; ++i) {
        const std::u16string text = RandomText(rng, fragments, 24);
        const int steps = static_cast<int>(rng() % 25) - 12;
        const int spelling = static_cast<int>(rng() % 3);
        ASSERT_TRUE(TransposeText(Table(), text, steps, spelling) ==
                    ReferenceTranspose(text, steps, spelling))
            << "case " << i;
    }
}

TEST(TransposeTextReference, AgreesOnLongTokensAndArticles) {
    // Long tokens exercise the shortened pattern search; many "A"s the restoration bookkeeping.
    const std::vector<std::u16string> fragments = {u"A",
                                                   u"A ",
                                                   u"x",
                                                   u"yz ",
                                                   u"Cm7",
                                                   u"maj7",
                                                   u"add2",
                                                   u"sus9",
                                                   u"H",
                                                   u"b",
                                                   u"#",
                                                   u"/",
                                                   u"Ebm7maj7add2sus4",
                                                   u"////"};
    std::mt19937 rng(99);
    for (int i = 0; i < 5000; ++i) {
        const std::u16string text = RandomText(rng, fragments, 80);
        const int steps = static_cast<int>(rng() % 25) - 12;
        ASSERT_TRUE(TransposeText(Table(), text, steps, 1) == ReferenceTranspose(text, steps, 1))
            << "case " << i;
    }
}

}  // namespace
}  // namespace melvane
