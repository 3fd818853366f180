#include "app/document_dispatch.h"

#include "documents/documents.h"
#include "platform/file_system.h"

namespace melvane {

bool DocumentDispatch::Transpose(const TransposeRequest& request) {
    DocumentJob job;
    job.source = PathFromText(request.source);
    job.output = PathFromText(request.output);
    job.settings.steps = request.steps;
    job.settings.spelling = request.spelling;
    job.settings.germanReader = request.language == Language::German;
    job.language = request.language;
    return TransposeDocument(job, {table_, messages_, shell_}).Succeeded();
}

// The documents layer picks the path by the extension itself.
bool DocumentDispatch::TransposeOdtDocument(const TransposeRequest& request) {
    return Transpose(request);
}

bool DocumentDispatch::TransposeWordDocument(const TransposeRequest& request) {
    return Transpose(request);
}

}  // namespace melvane
