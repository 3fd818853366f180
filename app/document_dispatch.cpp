#include "app/document_dispatch.h"

#include "odt/odt_document.h"
#include "platform/file_system.h"

namespace melvane {

bool DocumentDispatch::TransposeOdtDocument(const TransposeRequest& request) {
    const OdtSettings settings{table_, request.steps, request.spelling, request.language};
    const OdtResult result = melvane::TransposeOdtDocument(
        PathFromText(request.source), PathFromText(request.output), settings, messages_, shell_);
    return result.Succeeded();
}

bool DocumentDispatch::TransposeWordDocument(const TransposeRequest& request) {
    (void)request;
    return false;
}

}  // namespace melvane
