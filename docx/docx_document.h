// A Word package's text parts found through its relationships, transposed together: the main
// document part and its headers, footers, footnotes and endnotes. Comments are left alone.
// The package itself is read and written elsewhere; this works on entries in memory.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "chords/note_table.h"
#include "chords/sheet.h"
#include "docx/docx_text.h"

namespace melvane {

enum class DocxEntryStatus {
    Read,
    Missing,
    Failed,  // present but unreadable (damaged, too large): the document is refused
};

struct DocxEntry {
    DocxEntryStatus status = DocxEntryStatus::Missing;
    std::string reason;  // with Failed
};

// Reads one entry of the package by its name into memory it asks of `allocate` (once, for the
// entry's size; not at all for an empty entry).
using DocxEntryReader =
    std::function<DocxEntry(const std::string& name, const DocxAllocate& allocate)>;

// One entry into a string.
DocxEntry ReadDocxEntry(const DocxEntryReader& read, const std::string& name, std::string& bytes);

struct DocxParts {
    bool found = false;
    std::string reason;              // why not
    std::vector<std::string> names;  // main part first, then the others in relationship order
    std::string styles;              // the main part's styles, when it names them
};

// Follows _rels/.rels to the main document part, then its relationships to the other parts.
DocxParts FindDocxParts(const DocxEntryReader& read);

struct DocxTransposition {
    bool readable = false;
    std::string reason;  // why the document was refused: a parse error, a missing main part
    std::vector<std::pair<std::string, std::string>> replaced;  // changed parts' new bytes
    std::size_t textsChanged = 0;                               // w:t elements with new text
};

// Both passes over every text part: all lines are learnt first, then transposed.
DocxTransposition TransposeDocxParts(const DocxEntryReader& read, const NoteTable& notes,
                                     const TransposeSettings& settings);

// Every paragraph's text, part by part in the order of FindDocxParts.
bool ReadDocxParagraphs(const DocxEntryReader& read, std::vector<std::u16string>& paragraphs,
                        std::string& reason);

}  // namespace melvane
