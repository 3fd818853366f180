// The text of one WordprocessingML part (document, header, footer, notes) as a song sheet sees
// it, and the part rewritten with changed text. Only the character data of changed w:t elements
// is replaced; every other byte of the part is kept as it was read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chords/lines.h"

namespace melvane {

// One w:t element of a run. Offsets fit 32 bits: parts are read only up to 256 MiB. Kept small,
// since a hostile part may hold millions of them.
struct DocxTextNode {
    std::uint32_t tagBegin = 0;      // the '<' of its start tag
    std::uint32_t contentBegin = 0;  // first byte after the start tag
    std::uint32_t contentEnd = 0;    // the '<' of the end tag (== contentBegin when empty)
    std::uint32_t textBegin = 0;     // its text in DocxPart::text
    std::uint32_t textLength = 0;
    std::uint32_t newText = kUnchanged;  // index into DocxPart::newTexts
    bool selfClosing = false;            // written as <w:t/>: contentBegin is the end of that tag
    bool preservesSpace = false;         // xml:space="preserve"
    bool otherSpaceValue = false;        // an xml:space with another value
    bool onlyAttribute = false;  // xml:space is its one attribute, no namespace declarations

    static constexpr std::uint32_t kUnchanged = UINT32_MAX;
    bool Changed() const { return newText != kUnchanged; }
};

// Between pieces of a line: a tab (also a positional tab) or a non-breaking hyphen.
inline constexpr char16_t kDocxTab = u'\t';
inline constexpr char16_t kDocxHyphen = u'\u2011';

// An item of a line: a text node, or a separator between pieces.
struct DocxLineItem {
    static constexpr std::uint32_t kSeparator = UINT32_MAX;
    std::uint32_t node = kSeparator;
    char16_t separator = 0;
};

// A line is a paragraph's content up to a break (w:br, w:cr) or the paragraph's end.
using DocxLine = std::span<const DocxLineItem>;

enum class DocxEncoding {
    Utf8,
    Utf16Le,
    Utf16Be,
    Ascii,  // declared in another single-byte encoding: new text as ASCII and references
};

// What a paragraph's own properties say, for telling a songbook's songs apart.
struct DocxParagraphLook {
    std::uint32_t style = 0;        // w:pStyle: index into DocxPart::styleIds, 0 for none
    std::int8_t outlineLevel = -1;  // w:outlineLvl given on the paragraph, 0..9
    bool pageBreakBefore = false;
    bool text = false;           // it holds visible text
    bool someNotBold = false;    // a run of that text is set not bold
    bool someBoldUnset = false;  // a run of it leaves bold to the paragraph's style
    std::uint16_t size = 0;      // the largest size a run of it sets, half-points
    bool someSizeUnset = false;  // a run of it leaves the size to the style
};

// A paragraph style as styles.xml gives it, with what it takes from the styles it is based on.
struct DocxStyle {
    bool heading = false;           // Title, or Heading 1 to 3
    std::int8_t outlineLevel = -1;  // 0..9; 9 is body text
    std::int8_t bold = -1;          // -1 not said, 0 off, 1 on
    std::uint16_t size = 0;         // half-points; 0 not said
};
using DocxStyles = std::unordered_map<std::string, DocxStyle>;

// The paragraph styles of a styles part, resolved through w:basedOn; empty when it does not
// parse (songs are then told apart without styles).
DocxStyles ParseDocxStyles(std::string_view bytes);

// Paragraphs come in the order they end, so one in a text box comes before the paragraph
// holding the box. Everything is kept in flat lists: a part of empty paragraphs costs a few
// bytes per paragraph, not an allocation each.
struct DocxPart {
    std::string_view bytes;         // the part as read, held in `storage`
    std::shared_ptr<void> storage;  // the parser's buffer: the part is read straight into it
    DocxEncoding encoding = DocxEncoding::Utf8;
    std::vector<DocxTextNode> nodes;
    std::u16string text;                         // every node's text, one after another
    std::vector<std::u16string> newTexts;        // the changed nodes' new texts
    std::vector<DocxLineItem> items;             // every line's items, line after line
    std::vector<std::uint32_t> lineStarts;       // where each line's items start
    std::vector<std::uint32_t> paragraphStarts;  // where each paragraph's lines start
    std::vector<DocxParagraphLook> looks;        // each paragraph's
    std::vector<std::string> styleIds{""};       // the paragraph styles its paragraphs name
    std::vector<std::uint32_t> pageBreakLines;   // lines that follow a page break

    std::u16string_view Text(std::size_t node) const {
        return std::u16string_view(text).substr(nodes[node].textBegin, nodes[node].textLength);
    }
    // The text the node has after transposing.
    std::u16string_view FinalText(std::size_t node) const {
        return nodes[node].Changed() ? std::u16string_view(newTexts[nodes[node].newText])
                                     : Text(node);
    }
    std::size_t ParagraphCount() const { return paragraphStarts.size(); }
    std::vector<DocxLine> Lines(std::size_t paragraph) const;
};

struct DocxParseResult {
    bool parsed = false;
    std::string error;  // the parser's reason, with line and column
};

// Memory for a part of `size` bytes, or nullptr when there is none.
using DocxAllocate = std::function<char*(std::size_t size)>;
// Writes a part into memory it asks of `allocate` (once, not at all for an empty part); false
// when the part could not be read.
using DocxPartSource = std::function<bool(const DocxAllocate& allocate)>;

// Parses a part, read straight into the parser's buffer: a large part is held once, not twice.
// Paragraphs of text boxes and table cells are paragraphs of their own; deleted and moved-away
// revisions, field codes and tab stops are not text.
DocxParseResult ParseDocxPart(const DocxPartSource& source, DocxPart& part);
// The same for a part already in memory.
DocxParseResult ParseDocxPart(std::string_view bytes, DocxPart& part);

// A line's text as the chord engine reads it: a non-breaking hyphen parts tokens as a blank.
std::u16string DocxLineText(const DocxPart& part, const DocxLine& line);

// A paragraph's text as a reader sees it: lines joined by line feeds.
std::u16string DocxParagraphText(const DocxPart& part, std::size_t paragraph);

// The lines of a document's text parts for the line driver: runs continue one another, a tab
// stands in as a tab and a non-breaking hyphen as a blank. A changed piece's new text goes into
// its part's newTexts.
//
// A song starts at a heading (styled Title or Heading 1 to 3, or with an outline level), at a
// page break, and may start at a title: a paragraph whose text is all bold or larger than the
// paragraph after it.
class DocxLines : public LineDocument {
  public:
    DocxLines(std::vector<DocxPart>& parts, const DocxStyles& styles)
        : parts_(parts), styles_(styles) {}
    // Without styles: headings are then known only by their outline level.
    explicit DocxLines(std::vector<DocxPart>& parts) : DocxLines(parts, NoStyles()) {}
    void ListLines(const TakeLine& take) override;
    void Apply(PieceId piece, std::u16string_view text) override;

  private:
    static const DocxStyles& NoStyles() {
        static const DocxStyles none;
        return none;
    }
    // What the first line of each paragraph of a part starts.
    std::vector<LineInfo> ParagraphMarks(const DocxPart& part) const;

    std::vector<DocxPart>& parts_;
    const DocxStyles& styles_;
    std::vector<LinePiece> pieces_;
};

// The part's bytes with every changed node's text written in place.
std::string RewriteDocxPart(const DocxPart& part);

}  // namespace melvane
