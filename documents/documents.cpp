#include "documents/documents.h"

#include <string>

#include "documents/messages.h"
#include "docx/docx_package.h"
#include "odt/odt_document.h"
#include "odt/odt_text.h"
#include "platform/file_system.h"
#include "platform/temp_folder.h"
#include "platform/utf.h"
#include "text/text_document.h"
#include "word/word_output_name.h"
#ifdef _WIN32
#include "word/word_document.h"
#endif

namespace melvane {
namespace {

void TransposeOdt(const DocumentJob& job, const DocumentServices& services,
                  DocumentResult& result) {
    const OdtResult odt =
        TransposeOdtDocument(job.source, result.output, services.notes, job.settings);
    result.written = odt.outputWritten;
    result.hadText = odt.content == ContentStatus::Transposed;
    result.changed = odt.piecesChanged;
    switch (odt.failure) {
        case OdtFailure::None:
            return;
        case OdtFailure::SourceUnreadable:
            services.messages.Show(
                FileErrorMessage(Message::SourceUnreadable, job.language, job.source, odt.reason));
            result.failure = DocumentFailure::SourceUnreadable;
            return;
        case OdtFailure::ContentBroken:
            // The parser's own message stays as it is: no table text says more.
            services.messages.Show({MessageText(Message::ErrorTitle, job.language),
                                    MessageText(Message::XmlParseErrorIn, job.language,
                                                {PathToText(job.source), odt.parseError.message,
                                                 DecimalText(odt.parseError.line),
                                                 DecimalText(odt.parseError.column)}),
                                    MessageIcon::Error});
            result.failure = DocumentFailure::ContentBroken;
            return;
        case OdtFailure::OutputNotCreated:
            break;
    }
    services.messages.Show(
        FileErrorMessage(Message::DestinationNotCreated, job.language, result.output, odt.reason));
    result.failure = DocumentFailure::OutputNotWritten;
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
}

void TransposeTextSheet(const DocumentJob& job, const DocumentServices& services,
                        DocumentResult& result) {
    const TextDocumentResult text =
        TransposeTextDocument(job.source, result.output, services.notes, job.settings);
    result.written = text.written;
    result.changed = text.changed;
    const auto refuse = [&](Message message, DocumentFailure failure) {
        services.messages.Show(FileErrorMessage(message, job.language, job.source, text.reason));
        result.failure = failure;
    };
    switch (text.failure) {
        case TextFailure::None:
            return;
        case TextFailure::SourceUnreadable:
            refuse(Message::SourceUnreadable, DocumentFailure::SourceUnreadable);
            return;
        case TextFailure::NotText:
            refuse(Message::TextNotASheet, DocumentFailure::NotAText);
            return;
        case TextFailure::TooLarge:
            refuse(Message::TextTooLarge, DocumentFailure::TooLarge);
            return;
        case TextFailure::OutputNotCreated:
            break;
    }
    services.messages.Show(
        FileErrorMessage(Message::DestinationNotCreated, job.language, result.output, text.reason));
    result.failure = DocumentFailure::OutputNotWritten;
}

#ifdef _WIN32
// The automation layer's account of what went wrong is English. The causes a user meets most
// get the table's sentence instead; any other keeps the account.
std::u16string WordReason(const WordResult& word, Language language) {
    if (word.errorCode == 0x80040154u || word.errorCode == 0x800401F3u) {
        return MessageText(Message::WordNotRegistered, language);  // class, ProgID unknown
    }
    if (word.errorCode == 0x80080005u) {  // the server failed to start
        return MessageText(Message::WordServerFailed, language);
    }
    return word.errorText;
}

struct WordFailureText {
    DocumentFailure failure;
    Message message;
};

WordFailureText FailureOf(WordFailure failure) {
    switch (failure) {
        case WordFailure::None:
            break;
        case WordFailure::NotStarted:
            return {DocumentFailure::WordNotStarted, Message::WordFileNotStarted};
        case WordFailure::NotOpened:
            return {DocumentFailure::WordNotOpened, Message::WordFileNotOpened};
        case WordFailure::NotRead:
            return {DocumentFailure::WordNotRead, Message::WordFileNotRead};
        case WordFailure::NotSaved:
            return {DocumentFailure::WordNotSaved, Message::WordFileNotSaved};
    }
    return {DocumentFailure::None, Message::ErrorTitle};
}
#endif

void TransposeWord(const DocumentJob& job, const DocumentServices& services,
                   DocumentResult& result) {
#ifdef _WIN32
    const WordResult word = TransposeWordDocument(PathToText(job.source), PathToText(result.output),
                                                  services.notes, job.settings);
    result.written = word.saved;
    result.changed = word.changed;
    result.unchangeable = word.failed;
    const WordFailureText failure = FailureOf(word.failure);
    if (failure.failure != DocumentFailure::None) {
        // Each Word text ends with the automation layer's account of what went wrong.
        services.messages.Show(
            {MessageText(Message::ErrorTitle, job.language),
             MessageText(
                 failure.message, job.language,
                 {PathToText(failure.failure == DocumentFailure::WordNotSaved ? result.output
                                                                              : job.source)}) +
                 WordReason(word, job.language),
             MessageIcon::Error});
        result.failure = failure.failure;
    }
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
    if (extension == u"txt" || extension == u"text" || extension == u"cho" || extension == u"crd" ||
        extension == u"chopro" || extension == u"chordpro" || extension == u"chord" ||
        extension == u"pro") {
        return DocumentKind::Text;
    }
    return DocumentKind::Unsupported;
}

namespace {

std::u16string StepMarker(std::int64_t steps) {
    if (steps == 0) {
        return u"_";
    }
    return (steps > 0 ? u"+" : u"") + DecimalText(steps);
}

}  // namespace

std::filesystem::path ProposeOutputPath(const std::filesystem::path& source, std::int64_t steps) {
    std::u16string name = PathToText(source.stem()) + StepMarker(steps);
    name += u'.';
    name += LowerCaseExtension(source);
    return source.parent_path() / PathFromText(name);
}

std::optional<std::filesystem::path> MoveStepMarker(const std::filesystem::path& output,
                                                    std::int64_t from, std::int64_t to) {
    const std::u16string stem = PathToText(output.stem());
    const std::u16string marker = StepMarker(from);
    if (stem.size() <= marker.size() ||
        stem.compare(stem.size() - marker.size(), marker.size(), marker) != 0) {
        return std::nullopt;
    }
    const std::u16string moved = stem.substr(0, stem.size() - marker.size()) + StepMarker(to) +
                                 PathToText(output.extension());
    return output.parent_path() / PathFromText(moved);
}

OutputExtension CheckOutputExtension(const std::filesystem::path& source,
                                     const std::filesystem::path& output) {
    const std::u16string extension = LowerCaseExtension(output);
    // Text sheets are the same bytes under any of their names (.txt, .cho, .pro...).
    if (extension == LowerCaseExtension(source) ||
        (KindOf(source) == DocumentKind::Text && KindOf(output) == DocumentKind::Text)) {
        return OutputExtension::Fitting;
    }
    return KindOf(output) == DocumentKind::Unsupported ? OutputExtension::Missing
                                                       : OutputExtension::OtherDocument;
}

std::filesystem::path WithSourceExtension(const std::filesystem::path& source,
                                          const std::filesystem::path& output) {
    std::u16string text = PathToText(output);
    if (CheckOutputExtension(source, output) == OutputExtension::OtherDocument) {
        text.resize(text.size() - PathToText(output.extension()).size());
    }
    if (text.empty() || text.back() != u'.') {
        text += u'.';
    }
    return PathFromText(text + LowerCaseExtension(source));
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
    if (result.kind == DocumentKind::Word && result.output.empty()) {
        // Word's path saves under a name of its own when given none.
        result.output = PathFromText(WordOutputPath(PathToText(job.source)));
    }
    if (!result.output.empty() && IsSameFile(job.source, result.output)) {
        services.messages.Show(
            {MessageText(Message::ErrorTitle, job.language),
             MessageText(Message::SameFileNamed, job.language, {PathToText(result.output)}),
             MessageIcon::Error});
        result.failure = DocumentFailure::SameFile;
        return result;
    }
    if (result.kind == DocumentKind::Odt) {
        TransposeOdt(job, services, result);
    } else if (result.kind == DocumentKind::Docx) {
        TransposeDocx(job, services, result);
    } else if (result.kind == DocumentKind::Text) {
        TransposeTextSheet(job, services, result);
    } else {
        TransposeWord(job, services, result);
    }
    if (result.written && job.openOutput) {
        services.shell.OpenDocument(result.output);
    }
    return result;
}

bool ReadDocumentParagraphs(const std::filesystem::path& source,
                            std::vector<std::u16string>& paragraphs) {
    switch (KindOf(source)) {
        case DocumentKind::Docx:
            return ReadDocxPackageParagraphs(source, paragraphs);
        case DocumentKind::Text:
            return ReadTextDocumentLines(source, paragraphs) == TextFailure::None;
        default:
            return ReadOdtParagraphs(source, paragraphs);
    }
}

std::u16string ChangedText(const DocumentResult& result, const KeyReport& keys, Language language) {
    const std::u16string changed = DecimalText(result.changed);
    std::u16string text;
    if (result.kind == DocumentKind::Word) {
        text = MessageText(
            result.changed == 1 ? Message::LineOneParagraphChanged : Message::LineParagraphsChanged,
            language, {changed});
        if (result.unchangeable > 0) {
            text +=
                u", " + MessageText(result.unchangeable == 1 ? Message::LineOneCouldNotBeChanged
                                                             : Message::LineSomeCouldNotBeChanged,
                                    language, {DecimalText(result.unchangeable)});
        }
    } else if (!result.hadText) {
        text = MessageText(Message::LineNoText, language);
    } else {
        text = MessageText(
            result.changed == 1 ? Message::LineOneTextPieceChanged : Message::LineTextPiecesChanged,
            language, {changed});
    }
    if (!keys.empty()) {
        text += u", " + KeysLineText(keys, language);
    }
    return text;
}

DocumentResult ReadDocumentKeys(const DocumentJob& job, const DocumentServices& services,
                                KeyReport& keys) {
    keys.clear();
    TempFolder folder("melvane-keys");
    DocumentJob reading = job;
    reading.output = folder.Path() / PathFromText(u"keys." + LowerCaseExtension(job.source));
    reading.openOutput = false;
    reading.settings.steps = 0;
    reading.settings.spelling = kSpellByKey;
    reading.settings.recognition = Recognition::SheetAware;
    reading.settings.keyReport = &keys;
    if (!folder.IsCreated()) {
        reading.output.clear();  // the document path reports it
    }
    return TransposeDocument(reading, services);
}

int StepsToKey(const chords::SpelledKey& from, int toTonic, int direction) {
    int steps = ((toTonic - chords::PitchOf(from.tonic)) % 12 + 12) % 12;  // 0..11 up
    if (direction < 0) {
        return steps == 0 ? 0 : steps - 12;
    }
    if (direction > 0) {
        return steps;
    }
    return steps > 6 ? steps - 12 : steps;
}

}  // namespace melvane
