#include "app/document_dispatch.h"

#include <filesystem>
#include <system_error>

#include "app/feedback_texts.h"
#include "odt/odt_document.h"
#include "platform/file_system.h"
#ifdef _WIN32
#include "word/word_document.h"
#include "word/word_output_name.h"
#endif

namespace melvane {

void DocumentDispatch::ShowResult(const std::u16string& output, Language language) {
    // Without a program for the type nothing would show that it worked, nor where it went.
    if (!shell_.OpenDocument(PathFromText(output))) {
        messages_.Show(SavedWhereMessage(language, output));
    }
}

bool DocumentDispatch::TransposeOdtDocument(const TransposeRequest& request) {
    OdtSettings settings{table_, request.transpose, request.language};
    settings.openOutput = false;
    const OdtResult result = melvane::TransposeOdtDocument(
        PathFromText(request.source), PathFromText(request.output), settings, messages_, shell_);
    if (result.outputWritten) {
        ShowResult(request.output, request.language);
    }
    return result.Succeeded();
}

bool DocumentDispatch::TransposeWordDocument(const TransposeRequest& request) {
#ifdef _WIN32
    // An emptied output field leaves the name to the Word path; an existing file of that name
    // is asked about as the window asks about any other.
    if (request.output.empty()) {
        const std::u16string derived = WordOutputPath(request.source);
        std::error_code error;
        if (std::filesystem::exists(PathFromText(derived), error) &&
            !messages_.Ask(OverwriteQuestion(request.language, derived))) {
            return false;
        }
    }
    WordSettings settings{table_, request.transpose, request.language};
    settings.openOutput = false;
    const WordResult result =
        melvane::TransposeWordDocument(request.source, request.output, settings, messages_, shell_);
    if (result.status == 1) {
        ShowResult(result.outputPath, request.language);
    }
    return result.status == 1;
#else
    // Word is reached through COM automation, which only Windows has.
    messages_.Show({Localized(request.language, u"Error", u"Fehler"),
                    Localized(request.language, u"Word documents need Microsoft Word on Windows.",
                              u"Word-Dokumente brauchen Microsoft Word unter Windows."),
                    MessageIcon::Error});
    return false;
#endif
}

}  // namespace melvane
