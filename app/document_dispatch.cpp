#include "app/document_dispatch.h"

#include "odt/odt_document.h"
#include "platform/file_system.h"
#ifdef _WIN32
#include "word/word_document.h"
#endif

namespace melvane {

bool DocumentDispatch::TransposeOdtDocument(const TransposeRequest& request) {
    const OdtSettings settings{table_, request.transpose, request.language};
    const OdtResult result = melvane::TransposeOdtDocument(
        PathFromText(request.source), PathFromText(request.output), settings, messages_, shell_);
    return result.Succeeded();
}

bool DocumentDispatch::TransposeWordDocument(const TransposeRequest& request) {
#ifdef _WIN32
    const WordSettings settings{table_, request.transpose, request.language};
    return melvane::TransposeWordDocument(request.source, request.output, settings, messages_,
                                          shell_)
               .status == 1;
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
