#include "documents/documents.h"

#include <string>

#include "documents/messages.h"
#include "docx/docx_package.h"
#include "odt/odt_document.h"
#include "platform/file_system.h"
#include "platform/utf.h"
#ifdef _WIN32
#include "word/word_document.h"
#endif

namespace melvane {
namespace {

DocumentFailure FailureOf(OdtFailure failure) {
    switch (failure) {
        case OdtFailure::None:
            return DocumentFailure::None;
        case OdtFailure::SameFile:
            return DocumentFailure::SameFile;
        case OdtFailure::SourceUnreadable:
            return DocumentFailure::SourceUnreadable;
        case OdtFailure::ContentBroken:
            return DocumentFailure::ContentBroken;
        case OdtFailure::OutputNotCreated:
            break;
    }
    return DocumentFailure::OutputNotWritten;
}

void TransposeOdt(const DocumentJob& job, const DocumentServices& services,
                  DocumentResult& result) {
    const OdtSettings settings{services.notes, job.settings, job.language, job.openOutput};
    const OdtResult odt = TransposeOdtDocument(job.source, result.output, settings,
                                               services.messages, services.shell);
    result.failure = FailureOf(odt.failure);
    result.written = odt.outputWritten;
    result.hadText = odt.content == ContentStatus::Transposed;
    result.changed = odt.piecesChanged;
}

void TransposeDocx(const DocumentJob& job, const DocumentServices& services,
                   DocumentResult& result) {
    const DocxPackageResult docx =
        TransposeDocxPackage(job.source, result.output, services.notes, job.settings);
    if (docx.SourceUnreadable()) {
        services.messages.Show(
            FileErrorMessage(Message::SourceUnreadable, job.language, job.source,
                             docx.package.Ok() ? docx.text.reason : docx.package.reason));
        result.failure = DocumentFailure::SourceUnreadable;
        return;
    }
    if (!docx.written) {
        services.messages.Show(FileErrorMessage(Message::DestinationNotCreated, job.language,
                                                result.output, docx.package.reason));
        result.failure = DocumentFailure::OutputNotWritten;
        return;
    }
    result.written = true;
    result.changed = docx.text.textsChanged;
    if (job.openOutput) {
        services.shell.OpenDocument(result.output);
    }
}

#ifdef _WIN32
DocumentFailure FailureOf(WordFailure failure) {
    switch (failure) {
        case WordFailure::None:
            return DocumentFailure::None;
        case WordFailure::SameFile:
            return DocumentFailure::SameFile;
        case WordFailure::NotStarted:
            return DocumentFailure::WordNotStarted;
        case WordFailure::NotOpened:
            return DocumentFailure::WordNotOpened;
        case WordFailure::NotRead:
            return DocumentFailure::WordNotRead;
        case WordFailure::NotSaved:
            break;
    }
    return DocumentFailure::WordNotSaved;
}
#endif

void TransposeWord(const DocumentJob& job, const DocumentServices& services,
                   DocumentResult& result) {
#ifdef _WIN32
    const WordSettings settings{services.notes, job.settings, job.language, job.openOutput};
    const WordResult word = TransposeWordDocument(PathToText(job.source), PathToText(result.output),
                                                  settings, services.messages, services.shell);
    result.failure = FailureOf(word.failure);
    result.written = word.status == 1;
    // With no name given, Word's path chose one of its own.
    if (result.output.empty()) {
        result.output = PathFromText(word.outputPath);
    }
    result.changed = word.changed;
    result.unchangeable = word.failed;
#else
    // Word is reached through COM automation, which only Windows has; the window, which would
    // show a box, is built for Windows only, and the command line says it in its line.
    (void)job;
    (void)services;
    result.failure = DocumentFailure::WordUnavailable;
#endif
}

std::u16string LowerCaseAscii(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return text;
}

}  // namespace

std::u16string LowerCaseExtension(const std::filesystem::path& path) {
    std::u16string extension = PathToText(path.extension());
    if (!extension.empty() && extension.front() == u'.') {
        extension.erase(0, 1);
    }
    return LowerCaseAscii(extension);
}

DocumentKind KindOf(const std::filesystem::path& source) {
    const std::u16string extension = LowerCaseExtension(source);
    if (extension == u"odt") {
        return DocumentKind::Odt;
    }
    if (extension == u"docx" || extension == u"docm" || extension == u"dotx" ||
        extension == u"dotm") {
        return DocumentKind::Docx;
    }
    if (extension == u"doc") {
        return DocumentKind::Word;
    }
    return DocumentKind::Unsupported;
}

std::filesystem::path ProposeOutputPath(const std::filesystem::path& source, std::int64_t steps) {
    std::u16string name = PathToText(source.stem());
    if (steps == 0) {
        name += u'_';
    } else {
        if (steps > 0) {
            name += u'+';
        }
        const std::string digits = std::to_string(steps);
        name.append(digits.begin(), digits.end());
    }
    name += u'.';
    name += LowerCaseExtension(source);
    return source.parent_path() / PathFromText(name);
}

std::filesystem::path ResolveOutputPath(const std::filesystem::path& source,
                                        const std::filesystem::path& output) {
    if (output.empty() || output.is_absolute()) {
        return output;
    }
    return source.parent_path() / output;
}

DocumentResult TransposeDocument(const DocumentJob& job, const DocumentServices& services) {
    DocumentResult result;
    result.kind = KindOf(job.source);
    if (result.kind == DocumentKind::Docx && job.throughWord &&
        LowerCaseExtension(job.source) == u"docx") {
        result.kind = DocumentKind::Word;
    }
    result.output = ResolveOutputPath(job.source, job.output);
    if (result.kind == DocumentKind::Unsupported) {
        result.failure = DocumentFailure::Unsupported;
        return result;
    }
    if (!result.output.empty() && IsSameFile(job.source, result.output)) {
        services.messages.Show({MessageText(Message::ErrorTitle, job.language),
                                MessageText(Message::SameFile, job.language), MessageIcon::Error});
        result.failure = DocumentFailure::SameFile;
        return result;
    }
    if (result.kind == DocumentKind::Odt) {
        TransposeOdt(job, services, result);
    } else if (result.kind == DocumentKind::Docx) {
        TransposeDocx(job, services, result);
    } else {
        TransposeWord(job, services, result);
    }
    return result;
}

}  // namespace melvane
