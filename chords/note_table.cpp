#include "chords/note_table.h"

#include <pcre2.h>

namespace melvane {

MatchScratch::~MatchScratch() {
    pcre2_match_data_free_16(data_);
}

pcre2_match_data_16* MatchScratch::Get() {
    // Only the yes/no outcome of a search is read, so one pair of offsets is enough.
    if (data_ == nullptr) {
        data_ = pcre2_match_data_create_16(1, nullptr);
    }
    return data_;
}

void ChordPattern::Deleter::operator()(pcre2_real_code_16* code) const {
    pcre2_code_free_16(code);
}

ChordPattern ChordPattern::Compile(std::u16string_view patternText) {
    // No option flags: case-sensitive, single-line, not extended. The patterns are plain ASCII,
    // so reading the subject unit by unit (no UTF mode) finds exactly what a UTF-aware search
    // would, and text with a stray surrogate is searched instead of rejected.
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code_16* code =
        pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(patternText.data()), patternText.size(), 0,
                         &errorCode, &errorOffset, nullptr);
    ChordPattern pattern;
    if (code != nullptr) {
        // JIT is an optional speed-up; without it the interpreter gives the same answers.
        pcre2_jit_compile_16(code, PCRE2_JIT_COMPLETE);
        pattern.code_.reset(code);
    }
    return pattern;
}

bool ChordPattern::Search(std::u16string_view subject) const {
    MatchScratch scratch;
    return Search(subject, scratch);
}

bool ChordPattern::Search(std::u16string_view subject, MatchScratch& scratch) const {
    if (!code_) {
        return false;
    }
    pcre2_match_data_16* matchData = scratch.Get();
    if (matchData == nullptr) {
        return false;
    }
    const int rc = pcre2_match_16(code_.get(), reinterpret_cast<PCRE2_SPTR16>(subject.data()),
                                  subject.size(), 0, 0, matchData, nullptr);
    // 0 means "matched, but the ovector is too small for the groups": still a match.
    return rc >= 0;
}

NoteTable BuildNoteTables() {
    NoteTable table;
    for (int column = kSharpColumn; column <= kFlatColumn; ++column) {
        for (int row = 1; row <= kNoteRows; ++row) {
            NoteEntry& entry = table.cells_[column][row - 1];
            entry.name = kNoteNames[column][row - 1];
            entry.pattern = ChordPattern::Compile(entry.name + std::u16string(kChordPatternSuffix));
        }
    }
    return table;
}

}  // namespace melvane
