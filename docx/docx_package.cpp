#include "docx/docx_package.h"

#include <algorithm>

namespace melvane {
namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

DocxEntryReader EntriesOf(const PackageReader& package) {
    return [&package](const std::string& name, const DocxAllocate& allocate) {
        DocxEntry entry;
        std::string_view stored = name;
        if (!package.Contains(name)) {
            const std::vector<std::string>& names = package.EntryNames();
            const auto found = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
                return SameIgnoringCase(n, name);
            });
            if (found == names.end()) {
                return entry;
            }
            stored = *found;
        }
        const PackageStatus status = package.ReadEntryInto(stored, allocate);
        if (status.Ok()) {
            entry.status = DocxEntryStatus::Read;
        } else {
            entry.status = DocxEntryStatus::Failed;
            entry.reason = status.reason.empty() ? "damaged or too large" : status.reason;
        }
        return entry;
    };
}

DocxPackageResult TransposeDocxPackage(const std::filesystem::path& source,
                                       const std::filesystem::path& output, const NoteTable& notes,
                                       const TransposeSettings& settings) {
    DocxPackageResult result;
    OpenedPackage opened = OpenPackage(source);
    result.package = opened.status;
    if (!opened.status.Ok()) {
        return result;
    }
    result.text = TransposeDocxParts(EntriesOf(*opened.reader), notes, settings);
    if (!result.text.readable) {
        return result;
    }
    PackageReplacements replacements;
    for (auto& [name, bytes] : result.text.replaced) {
        replacements.emplace(name, std::move(bytes));
    }
    result.text.replaced.clear();
    result.package = WritePackage(*opened.reader, output, replacements);
    result.written = result.package.Ok();
    return result;
}

bool ReadDocxPackageParagraphs(const std::filesystem::path& source,
                               std::vector<std::u16string>& paragraphs) {
    const OpenedPackage opened = OpenPackage(source);
    std::string reason;
    return opened.status.Ok() && ReadDocxParagraphs(EntriesOf(*opened.reader), paragraphs, reason);
}

}  // namespace melvane
