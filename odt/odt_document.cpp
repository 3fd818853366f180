#include "odt/odt_document.h"

#include <string>

#include "package/package.h"

namespace melvane {
namespace {

constexpr std::string_view kContentEntry = "content.xml";

}  // namespace

OdtResult TransposeOdtDocument(const std::filesystem::path& source,
                               const std::filesystem::path& output, const NoteTable& notes,
                               const TransposeSettings& settings) {
    OdtResult result;
    const auto fail = [&](OdtFailure failure, const PackageStatus& status) {
        result.failure = failure;
        result.reason = status.reason;
        return result;
    };

    OpenedPackage package = OpenPackage(source);
    if (!package.status.Ok()) {
        return fail(OdtFailure::SourceUnreadable, package.status);
    }
    PackageReplacements replacements;
    if (package.reader->Contains(kContentEntry)) {
        PackageStatus read;
        std::string content;
        ContentResult transposed = TransposeContentXml(
            [&](const XmlAllocate& allocate) {
                read = package.reader->ReadEntryInto(kContentEntry, allocate);
                return read.Ok();
            },
            ChordShift{notes, settings}, content);
        result.content = transposed.status;
        result.piecesChanged = transposed.piecesChanged;
        if (!read.Ok() || transposed.status == ContentStatus::Unreadable) {
            return fail(OdtFailure::SourceUnreadable, read);
        }
        if (transposed.status == ContentStatus::ParseError) {
            // An untouched copy under the new name would pass for the transposed sheet.
            result.failure = OdtFailure::ContentBroken;
            result.parseError = std::move(transposed.error);
            return result;
        }
        if (transposed.status == ContentStatus::Transposed) {
            replacements.emplace(kContentEntry, std::move(content));
        }
    }
    const PackageStatus written = WritePackage(*package.reader, output, replacements);
    if (!written.Ok()) {
        return fail(written.IsDestinationProblem() ? OdtFailure::OutputNotCreated
                                                   : OdtFailure::SourceUnreadable,
                    written);
    }
    result.outputWritten = true;
    return result;
}

}  // namespace melvane
