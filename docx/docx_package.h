// A .docx package (also .docm, .dotx, .dotm) transposed from file to file: its text parts are
// read from the package into memory, and the output copies every other entry raw.
#pragma once

#include <filesystem>

#include "chords/note_table.h"
#include "chords/sheet.h"
#include "docx/docx_document.h"
#include "package/package.h"

namespace melvane {

// Reads entries of an opened package by name; part names match without regard to case, as
// packages name their parts.
DocxEntryReader EntriesOf(const PackageReader& package);

struct DocxPackageResult {
    PackageStatus package;   // opening the source, reading its entries, writing the output
    DocxTransposition text;  // readable is false when a text part refused the document
    bool written = false;

    // The source's fault: not a package, a broken or missing text part.
    bool SourceUnreadable() const {
        return (!package.Ok() && !package.IsDestinationProblem()) ||
               (package.Ok() && !text.readable);
    }
};

// Writes a transposed copy of `source` to `output` through a temporary file beside it; nothing
// is written when the source is refused.
DocxPackageResult TransposeDocxPackage(const std::filesystem::path& source,
                                       const std::filesystem::path& output, const NoteTable& notes,
                                       const TransposeSettings& settings);

// Every paragraph's text, for showing a document.
bool ReadDocxPackageParagraphs(const std::filesystem::path& source,
                               std::vector<std::u16string>& paragraphs);

}  // namespace melvane
