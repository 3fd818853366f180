#include "cli/word_sheet.h"

#include <filesystem>

#include "cli/output_name.h"
#include "platform/file_system.h"
#include "platform/utf.h"
#include "word/word_document.h"

namespace melvane::cli {
namespace {

const char* Say(Language language, const char* english, const char* german) {
    return language == Language::German ? german : english;
}

const char* WhyNot(WordFailure failure, Language language) {
    switch (failure) {
        case WordFailure::SameFile:
            return Say(language, "the output would replace the source",
                       "die Ausgabe würde die Quelle ersetzen");
        case WordFailure::NotStarted:
            return Say(language, "Microsoft Word could not be started",
                       "Microsoft Word konnte nicht gestartet werden");
        case WordFailure::NotOpened:
            return Say(language, "Word could not open it", "Word konnte es nicht öffnen");
        case WordFailure::NotRead:
            return Say(language, "Word could not read its paragraphs",
                       "Word konnte seine Absätze nicht lesen");
        case WordFailure::NotSaved:
        case WordFailure::None:
            break;
    }
    return Say(language, "Word could not save the copy", "Word konnte die Kopie nicht speichern");
}

}  // namespace

bool TransposeWordSheet(const NoteTable& notes, const Options& options, const std::string& file,
                        Language language, UserMessages& messages, Shell& shell,
                        std::ostream& out) {
    const std::filesystem::path source = PathFromUtf8(file);
    const std::filesystem::path output =
        options.output ? PathFromUtf8(*options.output) : ProposeOutputPath(source, options.steps);
    const WordSettings settings{notes, TransposeSettingsFor(options, language), language,
                                options.openOutput};
    const WordResult result =
        TransposeWordDocument(PathToText(source), PathToText(output), settings, messages, shell);
    if (result.status != 1) {
        out << file << ": " << Say(language, "not transposed: ", "nicht transponiert: ")
            << WhyNot(result.failure, language) << '\n';
        return false;
    }
    out << file << " -> " << Utf16ToUtf8(PathToText(output)) << ": " << result.changed
        << Say(language, result.changed == 1 ? " paragraph changed" : " paragraphs changed",
               result.changed == 1 ? " Absatz geändert" : " Absätze geändert");
    if (result.failed > 0) {
        out << ", " << result.failed
            << Say(language, " could not be changed",
                   result.failed == 1 ? " konnte nicht geändert werden"
                                      : " konnten nicht geändert werden");
    }
    out << '\n';
    return result.failed == 0;
}

}  // namespace melvane::cli
