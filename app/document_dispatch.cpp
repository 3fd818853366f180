#include "app/document_dispatch.h"

#include <filesystem>
#include <system_error>

#include "app/feedback_texts.h"
#include "documents/documents.h"
#include "platform/file_system.h"
#include "word/word_output_name.h"

namespace melvane {

namespace {

Fault FaultOf(DocumentFailure failure) {
    switch (failure) {
        case DocumentFailure::None:
            return Fault::None;
        case DocumentFailure::Unsupported:
        case DocumentFailure::SourceUnreadable:
        case DocumentFailure::ContentBroken:
        case DocumentFailure::NotAText:
        case DocumentFailure::TooLarge:
        case DocumentFailure::WordNotOpened:
        case DocumentFailure::WordNotRead:
            return Fault::Source;
        case DocumentFailure::SameFile:
        case DocumentFailure::OutputNotWritten:
        case DocumentFailure::WordNotSaved:
            return Fault::OutputName;
        case DocumentFailure::WordUnavailable:
        case DocumentFailure::WordNotStarted:
            break;
    }
    return Fault::Other;
}

}  // namespace

Fault DocumentDispatch::Transpose(const TransposeRequest& request) {
    DocumentJob job;
    job.source = PathFromText(request.source);
    job.output = PathFromText(request.output);
    job.settings = request.transpose;
    job.language = request.language;
    // The window opens the result itself, so that it can say where it went when that fails.
    job.openOutput = false;
    if (request.output.empty() && KindOf(job.source) == DocumentKind::Word) {
        // An emptied output field leaves the name to the Word path; an existing file of that
        // name is asked about as the window asks about any other.
        const std::u16string derived = WordOutputPath(request.source);
        std::error_code error;
        if (std::filesystem::exists(PathFromText(derived), error) &&
            !messages_.Ask(OverwriteQuestion(request.language, derived))) {
            return Fault::OutputName;
        }
    }
    const DocumentResult result = TransposeDocument(job, {table_, messages_, shell_});
    // Without a program for the type nothing would show that it worked, nor where it went.
    if (result.written && !shell_.OpenDocument(result.output)) {
        messages_.Show(SavedWhereMessage(request.language, PathToText(result.output)));
    }
    if (result.Succeeded()) {
        return Fault::None;
    }
    // Written, but some Word paragraphs kept their chords: the form stays for another look.
    return result.failure == DocumentFailure::None ? Fault::Other : FaultOf(result.failure);
}

namespace {

// Failures while only looking at a document stay unsaid: the transposition will say them.
class Quiet final : public UserMessages {
  public:
    void Show(const UserMessage&) override {}
    bool Ask(const UserMessage&) override { return false; }
};

}  // namespace

std::optional<chords::SpelledKey> DocumentDispatch::FirstKey(const std::u16string& source) {
    DocumentJob job;
    job.source = PathFromText(source);
    if (KindOf(job.source) != DocumentKind::Odt && KindOf(job.source) != DocumentKind::Docx &&
        KindOf(job.source) != DocumentKind::Text) {
        return std::nullopt;  // Word would have to start
    }
    Quiet quiet;
    KeyReport keys;
    if (ReadDocumentKeys(job, {table_, quiet, shell_}, keys).failure != DocumentFailure::None ||
        keys.empty()) {
        return std::nullopt;
    }
    return keys.front().from;
}

}  // namespace melvane
