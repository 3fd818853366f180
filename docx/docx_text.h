// The text of one WordprocessingML part (document, header, footer, notes) as a song sheet sees
// it, and the part rewritten with changed text. Only the character data of changed w:t elements
// is replaced; every other byte of the part is kept as it was read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "chords/sheet.h"

namespace melvane {

// One w:t element of a run.
struct DocxTextNode {
    std::size_t tagBegin = 0;      // the '<' of its start tag
    std::size_t contentBegin = 0;  // first byte after the start tag
    std::size_t contentEnd = 0;    // the '<' of the end tag (== contentBegin when empty)
    bool selfClosing = false;      // written as <w:t/>: contentBegin is the end of that tag
    bool preservesSpace = false;   // xml:space="preserve"
    bool otherSpaceValue = false;  // an xml:space with another value
    bool onlyAttribute = false;    // xml:space is its one attribute, no namespace declarations
    std::u16string text;
    std::u16string newText;  // meaningful when changed
    bool changed = false;
};

// Between pieces of a line: a tab (also a positional tab) or a non-breaking hyphen.
inline constexpr char16_t kDocxTab = u'\t';
inline constexpr char16_t kDocxHyphen = u'\u2011';

// An item of a line: a text node, or a separator between pieces.
struct DocxLineItem {
    static constexpr std::size_t kSeparator = static_cast<std::size_t>(-1);
    std::size_t node = kSeparator;
    char16_t separator = 0;
};

// A line is a paragraph's content up to a break (w:br, w:cr) or the paragraph's end.
using DocxLine = std::vector<DocxLineItem>;

struct DocxParagraph {
    std::vector<DocxLine> lines;
};

enum class DocxEncoding {
    Utf8,
    Utf16Le,
    Utf16Be,
    Ascii,  // declared in another single-byte encoding: new text as ASCII and references
};

struct DocxPart {
    std::string bytes;  // the part as read
    DocxEncoding encoding = DocxEncoding::Utf8;
    std::vector<DocxTextNode> nodes;
    std::vector<DocxParagraph> paragraphs;  // in the order they start; nested ones included
};

struct DocxParseResult {
    bool parsed = false;
    std::string error;  // the parser's reason, with line and column
};

// Parses a part held in memory. Paragraphs of text boxes and table cells are paragraphs of
// their own; deleted and moved-away revisions, field codes and tab stops are not text.
DocxParseResult ParseDocxPart(std::string bytes, DocxPart& part);

// A line's text as the chord engine reads it: a non-breaking hyphen parts tokens as a blank.
std::u16string DocxLineText(const DocxPart& part, const DocxLine& line);

// A paragraph's text as a reader sees it: lines joined by line feeds.
std::u16string DocxParagraphText(const DocxPart& part, const DocxParagraph& paragraph);

// Pass 1 over a part: every line to the transposer.
void LearnDocxPart(SheetTransposer& transposer, const DocxPart& part);

// Pass 2: sets the new text of every changed node; returns how many nodes changed.
std::size_t TransposeDocxPart(const SheetTransposer& transposer, DocxPart& part);

// The part's bytes with every changed node's text written in place.
std::string RewriteDocxPart(const DocxPart& part);

// Spreads a transposed piece back over the texts it was joined from. Each token that changed
// has its changed stretch (the token minus its unchanged start and end) put into the text that
// held the stretch's first character and removed from the later texts.
std::vector<std::u16string> SpreadChange(const std::vector<std::u16string_view>& texts,
                                         std::u16string_view changed);

}  // namespace melvane
