#include "odt/odt_document.h"

#include <string>

#include "documents/messages.h"
#include "package/package.h"
#include "platform/file_system.h"
#include "platform/utf.h"

namespace melvane {
namespace {

constexpr std::string_view kContentEntry = "content.xml";

}  // namespace

OdtResult TransposeOdtDocument(const std::filesystem::path& source,
                               const std::filesystem::path& output, const OdtSettings& settings,
                               UserMessages& messages, Shell& shell) {
    OdtResult result;
    const Language language = settings.language;
    if (!output.empty() && IsSameFile(source, output)) {
        messages.Show({MessageText(Message::ErrorTitle, language),
                       MessageText(Message::SameFile, language), MessageIcon::Error});
        result.failure = OdtFailure::SameFile;
        return result;
    }
    const auto sourceProblem = [&](const PackageStatus& status) {
        messages.Show(FileErrorMessage(Message::SourceUnreadable, language, source, status.reason));
        result.failure = OdtFailure::SourceUnreadable;
        return result;
    };

    OpenedPackage package = OpenPackage(source);
    if (!package.status.Ok()) {
        return sourceProblem(package.status);
    }
    PackageReplacements replacements;
    if (package.reader->Contains(kContentEntry)) {
        PackageStatus read;
        std::string content;
        const ContentResult transposed = TransposeContentXml(
            [&](const XmlAllocate& allocate) {
                read = package.reader->ReadEntryInto(kContentEntry, allocate);
                return read.Ok();
            },
            ChordShift{settings.notes, settings.transpose}, messages, content);
        result.content = transposed.status;
        result.piecesChanged = transposed.piecesChanged;
        if (!read.Ok() || transposed.status == ContentStatus::Unreadable) {
            return sourceProblem(read);
        }
        if (transposed.status == ContentStatus::ParseError) {
            // An untouched copy under the new name would pass for the transposed sheet.
            result.failure = OdtFailure::ContentBroken;
            return result;
        }
        if (transposed.status == ContentStatus::Transposed) {
            replacements.emplace(kContentEntry, std::move(content));
        }
    }
    const PackageStatus written = WritePackage(*package.reader, output, replacements);
    if (!written.Ok()) {
        if (!written.IsDestinationProblem()) {
            return sourceProblem(written);
        }
        messages.Show(
            FileErrorMessage(Message::DestinationNotCreated, language, output, written.reason));
        result.failure = OdtFailure::OutputNotCreated;
        return result;
    }
    result.outputWritten = true;
    if (settings.openOutput) {
        shell.OpenDocument(output);
    }
    return result;
}

}  // namespace melvane
