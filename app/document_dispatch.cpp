#include "app/document_dispatch.h"

#include <filesystem>
#include <system_error>

#include "app/feedback_texts.h"
#include "documents/documents.h"
#include "platform/file_system.h"
#include "word/word_output_name.h"

namespace melvane {

bool DocumentDispatch::Transpose(const TransposeRequest& request) {
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
            return false;
        }
    }
    const DocumentResult result = TransposeDocument(job, {table_, messages_, shell_});
    // Without a program for the type nothing would show that it worked, nor where it went.
    if (result.written && !shell_.OpenDocument(result.output)) {
        messages_.Show(SavedWhereMessage(request.language, PathToText(result.output)));
    }
    return result.Succeeded();
}

}  // namespace melvane
