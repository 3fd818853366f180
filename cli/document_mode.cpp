#include "cli/document_mode.h"

#include <string>

#include "cli/text_mode.h"
#include "documents/documents.h"
#include "documents/messages.h"
#include "platform/file_system.h"
#include "platform/utf.h"

namespace melvane::cli {
namespace {

std::string Shown(const std::filesystem::path& path) {
    return Utf16ToUtf8(PathToText(path));
}

std::string Say(Language language, Message message, std::u16string_view argument = {}) {
    return Utf16ToUtf8(MessageText(message, language, {argument}));
}

Message WhyNot(DocumentFailure failure, DocumentKind kind) {
    switch (failure) {
        case DocumentFailure::SameFile:
            return Message::LineSameFile;
        case DocumentFailure::SourceUnreadable:
            return kind == DocumentKind::Docx   ? Message::LineWordPackageUnreadable
                   : kind == DocumentKind::Text ? Message::LineTextUnreadable
                                                : Message::LineSourceUnreadable;
        case DocumentFailure::NotAText:
            return Message::LineNotAText;
        case DocumentFailure::TooLarge:
            return Message::LineTextTooLarge;
        case DocumentFailure::ContentBroken:
            return Message::LineContentBroken;
        case DocumentFailure::WordNotStarted:
            return Message::LineWordNotStarted;
        case DocumentFailure::WordNotOpened:
            return Message::LineWordNotOpened;
        case DocumentFailure::WordNotRead:
            return Message::LineWordNotRead;
        case DocumentFailure::WordNotSaved:
            return Message::LineWordNotSaved;
        case DocumentFailure::Unsupported:
        case DocumentFailure::WordUnavailable:
        case DocumentFailure::OutputNotWritten:
        case DocumentFailure::None:
            break;
    }
    return Message::LineOutputNotWritten;
}

// The failure's line; true when there was none.
bool SayFailure(const DocumentResult& result, const std::string& file, Language language,
                std::ostream& out) {
    switch (result.failure) {
        case DocumentFailure::None:
            return true;
        case DocumentFailure::Unsupported:
            out << file << ": " << Say(language, Message::LineNotASongSheet) << '\n';
            return false;
        case DocumentFailure::WordUnavailable:
            out << file << ": " << Say(language, Message::LineWordNeedsWindows) << '\n';
            return false;
        default:
            out << file << ": " << Say(language, Message::LineNotTransposed)
                << Say(language, WhyNot(result.failure, result.kind)) << '\n';
            return false;
    }
}

DocumentJob JobFor(const Options& options, const std::string& file, std::int64_t steps,
                   Language language) {
    DocumentJob job;
    job.source = PathFromUtf8(file);
    job.output =
        options.output ? PathFromUtf8(*options.output) : ProposeOutputPath(job.source, steps);
    job.settings = TransposeSettingsFor(options, language);
    job.settings.steps = steps;
    job.language = language;
    job.openOutput = options.openOutput;
    job.throughWord = options.throughWord;
    return job;
}

// One document; returns true when its transposed copy was written.
bool TransposeOne(const NoteTable& notes, const Options& options, const std::string& file,
                  Language language, UserMessages& messages, Shell& shell, std::ostream& out) {
    std::int64_t steps = options.steps;
    if (options.toKey) {
        KeyReport keys;
        const DocumentResult read =
            ReadDocumentKeys(JobFor(options, file, 0, language), {notes, messages, shell}, keys);
        if (!SayFailure(read, file, language, out)) {
            return false;
        }
        const std::optional<int> toKey = StepsForKey(keys, options, file, language, out);
        if (!toKey) {
            return false;
        }
        steps = *toKey;
    }
    DocumentJob job = JobFor(options, file, steps, language);
    // The command line names outputs from the working folder, as every other tool does (the
    // proposal already holds the source's folder); the documents layer would take a relative
    // name from the source's folder.
    if (job.output.is_relative() && job.source.has_parent_path()) {
        job.output = std::filesystem::absolute(job.output);
    }
    KeyReport keys;
    job.settings.keyReport = &keys;
    const DocumentResult result = TransposeDocument(job, {notes, messages, shell});
    if (!SayFailure(result, file, language, out)) {
        return false;
    }
    out << file << " -> " << (options.output ? *options.output : Shown(result.output)) << ": "
        << Utf16ToUtf8(ChangedText(result, keys, language)) << '\n';
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

int RunKeyMode(const NoteTable& notes, const Options& options, Language language,
               UserMessages& messages, Shell& shell, std::ostream& out) {
    int status = 0;
    for (const std::string& file : options.files) {
        KeyReport keys;
        const DocumentResult read =
            ReadDocumentKeys(JobFor(options, file, 0, language), {notes, messages, shell}, keys);
        if (!SayFailure(read, file, language, out)) {
            status = 1;
        } else if (keys.empty()) {
            out << Say(language, Message::ToKeyNoKey, Utf8ToUtf16(file)) << '\n';
        } else {
            PrintKeys(keys, file + ": ", language, out);
        }
        out.flush();
    }
    return status;
}

int RunPrintMode(const Options& options, Language language, std::ostream& out, std::ostream& err) {
    int status = 0;
    for (const std::string& file : options.files) {
        std::vector<std::u16string> paragraphs;
        const std::filesystem::path path = PathFromUtf8(file);
        if (!ReadDocumentParagraphs(path, paragraphs)) {
            const DocumentKind kind = KindOf(path);
            err << "melvane-cli: " << file << ": "
                << Say(language, kind == DocumentKind::Docx   ? Message::PrintWordUnreadable
                                 : kind == DocumentKind::Text ? Message::PrintTextUnreadable
                                                              : Message::PrintOdtUnreadable)
                << '\n';
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
