#include "cli/document_mode.h"

#include <string>

#include "cli/output_name.h"
#include "cli/word_sheet.h"
#include "odt/odt_document.h"
#include "odt/odt_text.h"
#include "platform/file_system.h"
#include "platform/utf.h"

namespace melvane::cli {
namespace {

std::string Shown(const std::filesystem::path& path) {
    return Utf16ToUtf8(PathToText(path));
}

std::string Say(Language language, const char* english, const char* german) {
    return language == Language::German ? german : english;
}

std::string WhyNot(OdtFailure failure, Language language) {
    switch (failure) {
        case OdtFailure::SameFile:
            return Say(language, "the output would replace the source",
                       "die Ausgabe würde die Quelle ersetzen");
        case OdtFailure::SourceUnreadable:
            return Say(language, "not a readable OpenDocument file",
                       "keine lesbare OpenDocument-Datei");
        case OdtFailure::UnsafeEntry:
            return Say(language, "it holds entries that point outside the document",
                       "sie enthält Einträge, die aus dem Dokument hinaus zeigen");
        case OdtFailure::TooLarge:
            return Say(language, "it unpacks to more than any song sheet (1 GiB)",
                       "sie entpackt sich zu mehr als ein Liedblatt (1 GiB)");
        case OdtFailure::OutputNotCreated:
        case OdtFailure::None:
            break;
    }
    return Say(language, "the output could not be written",
               "die Ausgabe konnte nicht geschrieben werden");
}

// One document; returns true when its transposed copy was written.
bool TransposeOne(const NoteTable& notes, const Options& options, const std::string& file,
                  Language language, UserMessages& messages, Shell& shell, std::ostream& out) {
    const std::filesystem::path source = PathFromUtf8(file);
    const std::string extension = LowerCaseExtension(source);
    if (extension == "doc" || extension == "docx") {
        return TransposeWordSheet(notes, options, file, language, messages, shell, out);
    }
    if (extension != "odt") {
        out << file << ": "
            << Say(language, "not a song sheet (.odt, .doc or .docx); not transposed",
                   "kein Liedblatt (.odt, .doc oder .docx); nicht transponiert")
            << '\n';
        return false;
    }

    const std::filesystem::path output =
        options.output ? PathFromUtf8(*options.output) : ProposeOutputPath(source, options.steps);
    const OdtSettings settings{notes, TransposeSettingsFor(options, language), language,
                               options.openOutput};
    const OdtResult result = TransposeOdtDocument(source, output, settings, messages, shell);
    if (!result.outputWritten) {
        out << file << ": " << Say(language, "not transposed: ", "nicht transponiert: ")
            << WhyNot(result.failure, language) << '\n';
        return false;
    }
    out << file << " -> " << Shown(output) << ": ";
    switch (result.content) {
        case ContentStatus::ParseError:
            out << Say(language, "content.xml is broken; copied unchanged",
                       "content.xml ist fehlerhaft; unverändert kopiert");
            break;
        case ContentStatus::Missing:
            out << Say(language, "no text (content.xml) to transpose; copied unchanged",
                       "kein Text (content.xml) zum Transponieren; unverändert kopiert");
            break;
        case ContentStatus::Transposed:
        case ContentStatus::Failed:
            out << result.piecesChanged
                << Say(language,
                       result.piecesChanged == 1 ? " text piece changed" : " text pieces changed",
                       result.piecesChanged == 1 ? " Textstück geändert" : " Textstücke geändert");
            break;
    }
    out << '\n';
    return result.Succeeded();
}

void PrintParagraphs(const std::vector<std::u16string>& paragraphs, std::ostream& out) {
    for (const std::u16string& paragraph : paragraphs) {
        out << Utf16ToUtf8(paragraph) << '\n';
    }
}

}  // namespace

int RunDocumentMode(const NoteTable& notes, const Options& options, Language language,
                    UserMessages& messages, Shell& shell, std::ostream& out) {
    bool allDone = true;
    for (const std::string& file : options.files) {
        allDone = TransposeOne(notes, options, file, language, messages, shell, out) && allDone;
        out.flush();
    }
    return allDone ? 0 : 1;
}

int RunPrintMode(const Options& options, std::ostream& out, std::ostream& err) {
    int status = 0;
    for (const std::string& file : options.files) {
        std::vector<std::u16string> paragraphs;
        if (!ReadOdtParagraphs(PathFromUtf8(file), paragraphs)) {
            err << "melvane-cli: " << file << ": not a readable OpenDocument text\n";
            status = 1;
            continue;
        }
        if (options.files.size() > 1) {
            out << "== " << file << " ==\n";
        }
        PrintParagraphs(paragraphs, out);
    }
    return status;
}

}  // namespace melvane::cli
