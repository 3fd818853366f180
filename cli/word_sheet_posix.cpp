#include "cli/word_sheet.h"

namespace melvane::cli {

bool TransposeWordSheet(const NoteTable&, const Options&, const std::string& file,
                        Language language, UserMessages&, Shell&, std::ostream& out) {
    out << file << ": "
        << (language == Language::German
                ? "Word-Dokumente brauchen Microsoft Word unter Windows; nicht transponiert"
                : "Word documents need Microsoft Word on Windows; not transposed")
        << '\n';
    return false;
}

}  // namespace melvane::cli
