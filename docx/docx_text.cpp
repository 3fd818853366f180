#include "docx/docx_text.h"

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/utf.h"

namespace melvane {
namespace {

static_assert(sizeof(XML_Char) == 1, "expat must be built with its UTF-8 interface");

// Namespace-qualified names arrive as "uri\nlocal". Expat refuses a namespace URI that holds
// the separator, so the split is unambiguous.
constexpr char kNameSeparator = '\n';

constexpr std::string_view kWordTransitional =
    "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr std::string_view kWordStrict = "http://purl.oclc.org/ooxml/wordprocessingml/main";
constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

struct Name {
    std::string_view uri;
    std::string_view local;
};

Name SplitName(const char* raw) {
    const std::string_view all(raw);
    const std::size_t separator = all.rfind(kNameSeparator);
    if (separator == std::string_view::npos) {
        return {{}, all};
    }
    return {all.substr(0, separator), all.substr(separator + 1)};
}

bool IsWord(const Name& name) {
    return name.uri == kWordTransitional || name.uri == kWordStrict;
}

enum class Kind : unsigned char {
    Other,
    Paragraph,
    Run,
    Text,
    Revision,
    ParagraphProperties,
    RunProperties
};

// A Word attribute's value ("w:val"), or nullptr.
const char* WordValue(const XML_Char** attributes, std::string_view local = "val") {
    for (const XML_Char** a = attributes; *a != nullptr; a += 2) {
        const Name name = SplitName(a[0]);
        if (IsWord(name) && name.local == local) {
            return a[1];
        }
    }
    return nullptr;
}

// An on/off property: on unless its value says otherwise.
bool IsOn(const char* value) {
    const std::string_view v = value == nullptr ? "" : value;
    return v != "0" && v != "false" && v != "off" && v != "none";
}

int NumberOf(const char* value, int fallback) {
    if (value == nullptr || *value == '\0') {
        return fallback;
    }
    int number = 0;
    for (const char* c = value; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9' || number > 100000) {
            return fallback;
        }
        number = number * 10 + (*c - '0');
    }
    return number;
}

class PartReader {
  public:
    explicit PartReader(DocxPart& part) : part_(part) {}

    DocxParseResult Parse(const DocxPartSource& source) {
        std::shared_ptr<XML_ParserStruct> parser(XML_ParserCreateNS(nullptr, kNameSeparator),
                                                 &XML_ParserFree);
        DocxParseResult result;
        if (!parser) {
            result.error = "out of memory";
            return result;
        }
        parser_ = parser.get();
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &PartReader::OnStart, &PartReader::OnEnd);
        XML_SetCharacterDataHandler(parser_, &PartReader::OnText);
        XML_SetCommentHandler(parser_, &PartReader::OnComment);
        XML_SetProcessingInstructionHandler(parser_, &PartReader::OnInstruction);
        XML_SetStartNamespaceDeclHandler(parser_, &PartReader::OnNamespace);
        XML_SetStartDoctypeDeclHandler(parser_, &PartReader::OnDoctype);
        XML_SetXmlDeclHandler(parser_, &PartReader::OnDeclaration);

        char* room = nullptr;
        std::size_t size = 0;
        bool asked = false;
        const bool read = source([&](std::size_t wanted) -> char* {
            if (asked || wanted > static_cast<std::size_t>(INT32_MAX)) {
                return nullptr;
            }
            asked = true;
            room = static_cast<char*>(XML_GetBuffer(parser_, static_cast<int>(wanted)));
            size = room == nullptr ? 0 : wanted;
            return room;
        });
        if (!read) {
            result.error = "not readable";
            return result;
        }
        part_.bytes = std::string_view(room == nullptr ? "" : room, size);
        part_.storage = parser;
        part_.encoding = EncodingOf(part_.bytes);
        // Room for a song sheet's density of text up front, so that the lists rarely move.
        const std::size_t expected = std::min<std::size_t>(size / 64, 1 << 20);
        part_.nodes.reserve(expected);
        part_.items.reserve(expected);
        part_.text.reserve(expected * 4);
        if (XML_ParseBuffer(parser_, static_cast<int>(size), XML_TRUE) != XML_STATUS_OK) {
            result.error = refusal_.empty() ? XML_ErrorString(XML_GetErrorCode(parser_)) : refusal_;
            result.error += " (line " + std::to_string(XML_GetCurrentLineNumber(parser_)) +
                            ", column " + std::to_string(XML_GetCurrentColumnNumber(parser_) + 1) +
                            ")";
            return result;
        }
        result.parsed = true;
        return result;
    }

  private:
    static DocxEncoding EncodingOf(std::string_view bytes) {
        auto starts = [&](std::string_view lead) {
            return bytes.size() >= lead.size() &&
                   std::memcmp(bytes.data(), lead.data(), lead.size()) == 0;
        };
        if (starts("\xFF\xFE") || starts(std::string_view("<\0?\0", 4))) {
            return DocxEncoding::Utf16Le;
        }
        if (starts("\xFE\xFF") || starts(std::string_view("\0<\0?", 4))) {
            return DocxEncoding::Utf16Be;
        }
        return DocxEncoding::Utf8;
    }

    static PartReader& Self(void* data) { return *static_cast<PartReader*>(data); }

    std::uint32_t Position() const {
        return static_cast<std::uint32_t>(XML_GetCurrentByteIndex(parser_));
    }

    Kind ParentKind() const { return stack_.empty() ? Kind::Other : stack_.back(); }

    // A paragraph being read: its lines are gathered here and go to the part when it ends, so
    // that a paragraph in a text box does not split the lines of the one holding the box.
    struct OpenParagraph {
        std::vector<DocxLineItem> items;
        std::vector<std::uint32_t> lineStarts;  // into items
        std::vector<std::uint32_t> pageBreaks;  // lines (of this paragraph) after a page break
        DocxParagraphLook look;
    };

    OpenParagraph* Current() { return open_ == 0 ? nullptr : &paragraphs_[open_ - 1]; }

    void StartParagraph() {
        if (open_ == paragraphs_.size()) {
            paragraphs_.emplace_back();
        }
        OpenParagraph& paragraph = paragraphs_[open_++];
        paragraph.items.clear();
        paragraph.lineStarts.assign(1, 0);
        paragraph.pageBreaks.clear();
        paragraph.look = DocxParagraphLook{};
    }

    void EndParagraph() {
        const OpenParagraph& paragraph = paragraphs_[--open_];
        const auto base = static_cast<std::uint32_t>(part_.items.size());
        const auto firstLine = static_cast<std::uint32_t>(part_.lineStarts.size());
        part_.paragraphStarts.push_back(firstLine);
        part_.looks.push_back(paragraph.look);
        for (std::uint32_t line : paragraph.pageBreaks) {
            part_.pageBreakLines.push_back(firstLine + line);
        }
        for (std::uint32_t start : paragraph.lineStarts) {
            part_.lineStarts.push_back(base + start);
        }
        part_.items.insert(part_.items.end(), paragraph.items.begin(), paragraph.items.end());
    }

    static void OnDeclaration(void* data, const XML_Char*, const XML_Char* encoding, int) {
        PartReader& self = Self(data);
        if (encoding == nullptr || self.part_.encoding != DocxEncoding::Utf8) {
            return;
        }
        std::string name(encoding);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (name != "utf-8" && name != "utf8") {
            // Another single-byte encoding: new text goes in as ASCII and character references.
            self.part_.encoding = DocxEncoding::Ascii;
        }
    }

    // Word never writes one, and an entity defined in it could expand inside a w:t behind the
    // byte positions this rewrite relies on.
    static void OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        PartReader& self = Self(data);
        self.refusal_ = "document type declaration not allowed";
        XML_StopParser(self.parser_, XML_FALSE);
    }

    static void OnNamespace(void* data, const XML_Char*, const XML_Char*) {
        Self(data).namespaceDeclared_ = true;
    }

    static void OnStart(void* data, const XML_Char* rawName, const XML_Char** attributes) {
        PartReader& self = Self(data);
        const bool declaresNamespace = self.namespaceDeclared_;
        self.namespaceDeclared_ = false;
        if (self.inText_) {
            self.textSpoiled_ = true;  // markup inside w:t: its bytes cannot be replaced whole
        }
        const Name name = SplitName(rawName);
        Kind kind = Kind::Other;
        if (IsWord(name)) {
            kind = self.WordElement(name, attributes, declaresNamespace);
        }
        self.stack_.push_back(kind);
        if (kind == Kind::Revision) {
            ++self.revisionDepth_;
        }
    }

    Kind WordElement(const Name& name, const XML_Char** attributes, bool declaresNamespace) {
        const std::string_view local = name.local;
        if (local == "p") {
            StartParagraph();
            return Kind::Paragraph;
        }
        if (local == "del" || local == "moveFrom") {
            return Kind::Revision;
        }
        if (local == "r") {
            runBold_ = -1;
            runSize_ = 0;
            return Kind::Run;
        }
        OpenParagraph* paragraph = Current();
        if (paragraph != nullptr && revisionDepth_ == 0 && !inText_) {
            const Kind parent = ParentKind();
            if (local == "pPr" && parent == Kind::Paragraph) {
                return Kind::ParagraphProperties;
            }
            if (local == "rPr" && parent == Kind::Run) {
                return Kind::RunProperties;
            }
            if (parent == Kind::ParagraphProperties) {
                DocxParagraphLook& look = paragraph->look;
                if (local == "pStyle") {
                    const char* value = WordValue(attributes);
                    look.style = StyleIndex(value == nullptr ? "" : value);
                } else if (local == "outlineLvl") {
                    look.outlineLevel = static_cast<std::int8_t>(
                        std::min(NumberOf(WordValue(attributes), 9), 9));
                } else if (local == "pageBreakBefore") {
                    look.pageBreakBefore = IsOn(WordValue(attributes));
                }
                return Kind::Other;
            }
            if (parent == Kind::RunProperties) {
                if (local == "b") {
                    runBold_ = IsOn(WordValue(attributes)) ? 1 : 0;
                } else if (local == "sz") {
                    runSize_ = std::min(NumberOf(WordValue(attributes), 0), 65535);
                }
                return Kind::Other;
            }
        }
        if (ParentKind() != Kind::Run || revisionDepth_ > 0 || paragraph == nullptr || inText_) {
            return Kind::Other;
        }
        if (local == "t") {
            StartText(attributes, declaresNamespace);
            return Kind::Text;
        }
        if (local == "tab" || local == "ptab") {
            paragraph->items.push_back({DocxLineItem::kSeparator, kDocxTab});
        } else if (local == "noBreakHyphen") {
            paragraph->items.push_back({DocxLineItem::kSeparator, kDocxHyphen});
        } else if (local == "br" || local == "cr") {
            paragraph->lineStarts.push_back(static_cast<std::uint32_t>(paragraph->items.size()));
            const char* type = WordValue(attributes, "type");
            if (local == "br" && type != nullptr && std::string_view(type) == "page") {
                paragraph->pageBreaks.push_back(
                    static_cast<std::uint32_t>(paragraph->lineStarts.size() - 1));
            }
        }
        return Kind::Other;
    }

    // A song sheet names a few styles thousands of times: each is kept once.
    std::uint32_t StyleIndex(std::string_view id) {
        auto& ids = part_.styleIds;
        const auto found = std::find(ids.begin(), ids.end(), id);
        if (found != ids.end()) {
            return static_cast<std::uint32_t>(found - ids.begin());
        }
        if (ids.size() >= 4096) {
            return 0;  // more styles than any sheet has: the rest count as none
        }
        ids.emplace_back(id);
        return static_cast<std::uint32_t>(ids.size() - 1);
    }

    void StartText(const XML_Char** attributes, bool declaresNamespace) {
        inText_ = true;
        textSpoiled_ = false;
        text_ = DocxTextNode{};
        text_.tagBegin = Position();
        text_.contentBegin =
            text_.tagBegin + static_cast<std::uint32_t>(XML_GetCurrentByteCount(parser_));
        text_.textBegin = static_cast<std::uint32_t>(part_.text.size());
        std::size_t count = 0;
        for (const XML_Char** a = attributes; *a != nullptr; a += 2) {
            ++count;
            const Name attribute = SplitName(a[0]);
            if (attribute.uri == kXmlNamespace && attribute.local == "space") {
                const bool preserve = std::string_view(a[1]) == "preserve";
                text_.preservesSpace = preserve;
                text_.otherSpaceValue = !preserve;
            }
        }
        text_.onlyAttribute = count == 1 && !declaresNamespace;
    }

    static void OnEnd(void* data, const XML_Char*) {
        PartReader& self = Self(data);
        const Kind kind = self.stack_.back();
        self.stack_.pop_back();
        switch (kind) {
            case Kind::Paragraph:
                self.EndParagraph();
                break;
            case Kind::Revision:
                --self.revisionDepth_;
                break;
            case Kind::Text:
                self.EndText();
                break;
            case Kind::Run:
            case Kind::Other:
            case Kind::ParagraphProperties:
            case Kind::RunProperties:
                break;
        }
    }

    void EndText() {
        inText_ = false;
        const std::uint32_t at = Position();
        const std::size_t unit =
            part_.encoding == DocxEncoding::Utf16Le || part_.encoding == DocxEncoding::Utf16Be ? 2
                                                                                               : 1;
        if (text_.contentBegin >= text_.tagBegin + 3 * unit &&
            EndsEmptyTag(text_.contentBegin, unit)) {  // <w:t/>: one tag, no content
            text_.selfClosing = true;
            text_.contentEnd = text_.contentBegin;
        } else {
            text_.contentEnd = at;
        }
        OpenParagraph* paragraph = Current();
        if (textSpoiled_ || paragraph == nullptr) {
            part_.text.resize(text_.textBegin);
            return;  // left exactly as it is, and out of the text
        }
        text_.textLength = static_cast<std::uint32_t>(part_.text.size() - text_.textBegin);
        const std::u16string_view text =
            std::u16string_view(part_.text).substr(text_.textBegin, text_.textLength);
        if (std::any_of(text.begin(), text.end(), [](char16_t c) { return c > u' '; })) {
            DocxParagraphLook& look = paragraph->look;
            look.text = true;
            look.someNotBold |= runBold_ == 0;
            look.someBoldUnset |= runBold_ < 0;
            look.size = std::max(look.size, static_cast<std::uint16_t>(runSize_));
            look.someSizeUnset |= runSize_ == 0;
        }
        paragraph->items.push_back({static_cast<std::uint32_t>(part_.nodes.size()), 0});
        part_.nodes.push_back(text_);
    }

    bool EndsEmptyTag(std::size_t end, std::size_t unit) const {
        const std::string_view bytes = part_.bytes;
        const std::size_t slash = end - 2 * unit;
        const std::size_t low = part_.encoding == DocxEncoding::Utf16Be ? 1 : 0;
        return bytes[slash + low] == '/' && (unit == 1 || bytes[slash + 1 - low] == '\0');
    }

    static void OnText(void* data, const XML_Char* text, int length) {
        PartReader& self = Self(data);
        if (self.inText_) {
            std::u16string& to = self.part_.text;
            const auto* bytes = reinterpret_cast<const unsigned char*>(text);
            const auto* end = bytes + length;
            // Mostly ASCII: widened in place; the rest decoded properly.
            const auto* plain = std::find_if(bytes, end, [](unsigned char c) { return c >= 0x80; });
            to.append(bytes, plain);
            if (plain != end) {
                to += Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(plain),
                                                   static_cast<std::size_t>(end - plain)));
            }
        }
    }

    static void OnComment(void* data, const XML_Char*) {
        PartReader& self = Self(data);
        self.textSpoiled_ = self.textSpoiled_ || self.inText_;
    }

    static void OnInstruction(void* data, const XML_Char*, const XML_Char*) {
        OnComment(data, nullptr);
    }

    DocxPart& part_;
    XML_Parser parser_ = nullptr;
    std::vector<Kind> stack_;
    std::vector<OpenParagraph> paragraphs_;  // kept for their capacity
    std::size_t open_ = 0;
    int revisionDepth_ = 0;
    bool namespaceDeclared_ = false;
    bool inText_ = false;
    bool textSpoiled_ = false;
    int runBold_ = -1;  // the run's own w:b: -1 not given, 0 off, 1 on
    int runSize_ = 0;   // the run's own w:sz, half-points; 0 not given
    DocxTextNode text_;
    std::string refusal_;
};

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\u00A0';
}

class Writer {
  public:
    Writer(std::string& out, DocxEncoding encoding) : out_(out), encoding_(encoding) {}

    void Unit(char16_t c) {
        switch (encoding_) {
            case DocxEncoding::Utf16Le:
                out_ += static_cast<char>(c & 0xFF);
                out_ += static_cast<char>(c >> 8);
                break;
            case DocxEncoding::Utf16Be:
                out_ += static_cast<char>(c >> 8);
                out_ += static_cast<char>(c & 0xFF);
                break;
            case DocxEncoding::Utf8:
            case DocxEncoding::Ascii:
                out_ += static_cast<char>(c);  // only ever called with ASCII here
                break;
        }
    }

    void Markup(std::u16string_view text) {
        if (encoding_ == DocxEncoding::Utf8) {
            out_ += Utf16ToUtf8(text);
            return;
        }
        for (char16_t c : text) {
            Unit(c);
        }
    }

    void Escaped(std::u16string_view text) {
        std::u16string plain;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char16_t c = text[i];
            const char16_t* reference = c == u'&'    ? u"&amp;"
                                        : c == u'<'  ? u"&lt;"
                                        : c == u'>'  ? u"&gt;"
                                        : c == u'\r' ? u"&#13;"
                                                     : nullptr;
            if (reference == nullptr && encoding_ == DocxEncoding::Ascii && c >= 0x80) {
                char32_t point = c;
                if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                    text[i + 1] < 0xE000) {
                    point = 0x10000 + ((c - 0xD800u) << 10) + (text[++i] - 0xDC00u);
                }
                Markup(plain);
                plain.clear();
                Markup(u"&#" + DecimalText(point) + u";");
                continue;
            }
            if (reference != nullptr) {
                Markup(plain);
                plain.clear();
                Markup(reference);
            } else {
                plain += c;
            }
        }
        Markup(plain);
    }

    void Bytes(std::string_view from, std::size_t begin, std::size_t end) {
        out_.append(from.substr(begin, end - begin));
    }

  private:
    std::string& out_;
    DocxEncoding encoding_;
};

std::size_t UnitSize(DocxEncoding encoding) {
    return encoding == DocxEncoding::Utf16Le || encoding == DocxEncoding::Utf16Be ? 2 : 1;
}

char16_t UnitAt(std::string_view bytes, std::size_t at, DocxEncoding encoding) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    switch (encoding) {
        case DocxEncoding::Utf16Le:
            return static_cast<char16_t>(byte(at) | (byte(at + 1) << 8));
        case DocxEncoding::Utf16Be:
            return static_cast<char16_t>((byte(at) << 8) | byte(at + 1));
        case DocxEncoding::Utf8:
        case DocxEncoding::Ascii:
            break;
    }
    return byte(at);
}

// The end of the element name in a start tag: where a new attribute can go.
std::size_t NameEnd(std::string_view bytes, std::size_t tagBegin, std::size_t tagEnd,
                    DocxEncoding encoding) {
    const std::size_t unit = UnitSize(encoding);
    std::size_t at = tagBegin + unit;
    while (at + unit <= tagEnd) {
        const char16_t c = UnitAt(bytes, at, encoding);
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'/' || c == u'>') {
            break;
        }
        at += unit;
    }
    return at;
}

bool NeedsPreserve(std::u16string_view text) {
    return !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()));
}

}  // namespace

DocxParseResult ParseDocxPart(const DocxPartSource& source, DocxPart& part) {
    part = DocxPart{};
    return PartReader(part).Parse(source);
}

DocxParseResult ParseDocxPart(std::string_view bytes, DocxPart& part) {
    return ParseDocxPart(
        [bytes](const DocxAllocate& allocate) {
            if (bytes.empty()) {
                return true;
            }
            char* room = allocate(bytes.size());
            if (room != nullptr) {
                std::memcpy(room, bytes.data(), bytes.size());
            }
            return room != nullptr;
        },
        part);
}

std::vector<DocxLine> DocxPart::Lines(std::size_t paragraph) const {
    const std::size_t first = paragraphStarts[paragraph];
    const std::size_t last =
        paragraph + 1 < paragraphStarts.size() ? paragraphStarts[paragraph + 1] : lineStarts.size();
    std::vector<DocxLine> lines;
    lines.reserve(last - first);
    for (std::size_t l = first; l < last; ++l) {
        const std::size_t end = l + 1 < lineStarts.size() ? lineStarts[l + 1] : items.size();
        lines.emplace_back(items.data() + lineStarts[l], end - lineStarts[l]);
    }
    return lines;
}

std::u16string DocxLineText(const DocxPart& part, const DocxLine& line) {
    std::u16string text;
    for (const DocxLineItem& item : line) {
        if (item.node != DocxLineItem::kSeparator) {
            text += part.Text(item.node);
        } else {
            text += item.separator == kDocxHyphen ? u' ' : item.separator;
        }
    }
    return text;
}

std::u16string DocxParagraphText(const DocxPart& part, std::size_t paragraph) {
    std::u16string text;
    bool first = true;
    for (const DocxLine& line : part.Lines(paragraph)) {
        if (!first) {
            text += u'\n';
        }
        first = false;
        for (const DocxLineItem& item : line) {
            text += item.node != DocxLineItem::kSeparator ? part.Text(item.node)
                                                          : std::u16string_view(&item.separator, 1);
        }
    }
    return text;
}

std::vector<LineInfo> DocxLines::ParagraphMarks(const DocxPart& part) const {
    struct Look {
        bool heading;
        bool pageBreakBefore;
        bool text;
        bool bold;
        int size;
    };
    std::vector<Look> looks;
    looks.reserve(part.looks.size());
    for (const DocxParagraphLook& look : part.looks) {
        const auto found = styles_.find(part.styleIds[look.style]);
        const DocxStyle style = found == styles_.end() ? DocxStyle{} : found->second;
        const int level = look.outlineLevel >= 0 ? look.outlineLevel : style.outlineLevel;
        looks.push_back({style.heading || (level >= 0 && level < 9), look.pageBreakBefore,
                         look.text,
                         look.text && !look.someNotBold && (!look.someBoldUnset || style.bold == 1),
                         std::max<int>(look.size, look.someSizeUnset ? style.size : 0)});
    }
    std::vector<LineInfo> marks(looks.size());
    for (std::size_t i = 0; i < looks.size(); ++i) {
        marks[i].songStart = looks[i].heading || looks[i].pageBreakBefore;
        marks[i].title = looks[i].bold || (i + 1 < looks.size() && looks[i].text &&
                                           looks[i + 1].size > 0 && looks[i].size > looks[i + 1].size);
    }
    return marks;
}

void DocxLines::ListLines(const TakeLine& take) {
    static constexpr char16_t kTab[] = u"\t";
    static constexpr char16_t kBlank[] = u" ";
    for (std::size_t p = 0; p < parts_.size(); ++p) {
        const DocxPart& part = parts_[p];
        const std::vector<LineInfo> marks = ParagraphMarks(part);
        std::size_t paragraph = 0;
        std::size_t pageBreak = 0;
        for (std::size_t l = 0; l < part.lineStarts.size(); ++l) {
            LineInfo info;
            if (paragraph < part.paragraphStarts.size() && part.paragraphStarts[paragraph] == l) {
                info = marks[paragraph++];
            }
            while (pageBreak < part.pageBreakLines.size() && part.pageBreakLines[pageBreak] <= l) {
                info.songStart |= part.pageBreakLines[pageBreak++] == l;
            }
            const std::size_t begin = part.lineStarts[l];
            const std::size_t end =
                l + 1 < part.lineStarts.size() ? part.lineStarts[l + 1] : part.items.size();
            pieces_.clear();
            for (std::size_t i = begin; i < end; ++i) {
                const DocxLineItem& item = part.items[i];
                if (item.node == DocxLineItem::kSeparator) {
                    pieces_.push_back({item.separator == kDocxHyphen ? kBlank : kTab, kStandIn});
                } else {
                    // Runs are Word's formatting, not the sheet's: together they are one text.
                    pieces_.push_back({part.Text(item.node), (PieceId{p} << 32) | item.node, true});
                }
            }
            take(pieces_, info);
        }
    }
}

void DocxLines::Apply(PieceId piece, std::u16string_view text) {
    DocxPart& part = parts_[static_cast<std::size_t>(piece >> 32)];
    DocxTextNode& node = part.nodes[static_cast<std::uint32_t>(piece)];
    node.newText = static_cast<std::uint32_t>(part.newTexts.size());
    part.newTexts.emplace_back(text);
}

std::string RewriteDocxPart(const DocxPart& part) {
    const std::string_view bytes = part.bytes;
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 64);
    Writer writer(out, part.encoding);
    const std::size_t unit = UnitSize(part.encoding);
    std::size_t copied = 0;
    for (const DocxTextNode& node : part.nodes) {
        if (!node.Changed()) {
            continue;
        }
        const std::u16string& newText = part.newTexts[node.newText];
        const bool addPreserve = NeedsPreserve(newText) && !node.preservesSpace;
        const std::size_t nameEnd = NameEnd(bytes, node.tagBegin, node.contentBegin, part.encoding);
        // An empty element "<w:t/>" is opened without its "/>" and closed after the text.
        const std::size_t openEnd = node.contentBegin - (node.selfClosing ? 2 * unit : 0);
        writer.Bytes(bytes, copied, nameEnd);
        if (addPreserve && node.otherSpaceValue && node.onlyAttribute) {
            // The one attribute says otherwise: the start tag is written anew.
            writer.Markup(u" xml:space=\"preserve\"");
            writer.Markup(node.selfClosing ? u"" : u">");
        } else {
            if (addPreserve && !node.otherSpaceValue) {
                writer.Markup(u" xml:space=\"preserve\"");
            }
            writer.Bytes(bytes, nameEnd, openEnd);
        }
        if (node.selfClosing) {
            writer.Markup(u">");
            writer.Escaped(newText);
            writer.Markup(u"</");
            writer.Bytes(bytes, node.tagBegin + unit, nameEnd);
            writer.Markup(u">");
        } else {
            writer.Escaped(newText);
        }
        copied = node.contentEnd;
    }
    writer.Bytes(bytes, copied, bytes.size());
    return out;
}

namespace {

// Reads w:style elements of type paragraph: id, name, basedOn, outline level, bold and size.
class StylesReader {
  public:
    struct Raw {
        std::string basedOn;
        bool heading = false;
        std::int8_t outlineLevel = -1;
        std::int8_t bold = -1;
        std::uint16_t size = 0;
    };

    bool Parse(std::string_view bytes) {
        std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
            XML_ParserCreateNS(nullptr, kNameSeparator), &XML_ParserFree);
        if (!parser || bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
            return false;
        }
        XML_SetUserData(parser.get(), this);
        XML_SetElementHandler(parser.get(), &StylesReader::OnStart, &StylesReader::OnEnd);
        XML_SetStartDoctypeDeclHandler(
            parser.get(), [](void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
                XML_StopParser(static_cast<StylesReader*>(data)->parser_, XML_FALSE);
            });
        parser_ = parser.get();
        return XML_Parse(parser.get(), bytes.data(), static_cast<int>(bytes.size()), XML_TRUE) ==
               XML_STATUS_OK;
    }

    std::unordered_map<std::string, Raw> styles;

  private:
    static void OnStart(void* data, const XML_Char* rawName, const XML_Char** attributes) {
        StylesReader& self = *static_cast<StylesReader*>(data);
        const Name name = SplitName(rawName);
        ++self.depth_;
        if (!IsWord(name)) {
            return;
        }
        if (name.local == "style" && self.depth_ == 2) {
            const char* type = WordValue(attributes, "type");
            const char* id = WordValue(attributes, "styleId");
            self.current_ = nullptr;
            if (type != nullptr && std::string_view(type) == "paragraph" && id != nullptr) {
                self.current_ = &self.styles[id];
                self.inRun_ = false;
            }
            return;
        }
        if (self.current_ == nullptr) {
            return;
        }
        Raw& style = *self.current_;
        const char* value = WordValue(attributes);
        if (name.local == "rPr") {
            self.inRun_ = true;
        } else if (name.local == "name" && value != nullptr) {
            std::string lower(value);
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            style.heading = lower == "title" || lower == "heading 1" || lower == "heading 2" ||
                            lower == "heading 3";
        } else if (name.local == "basedOn" && value != nullptr) {
            style.basedOn = value;
        } else if (name.local == "outlineLvl") {
            style.outlineLevel = static_cast<std::int8_t>(std::min(NumberOf(value, 9), 9));
        } else if (name.local == "b" && self.inRun_) {
            style.bold = IsOn(value) ? 1 : 0;
        } else if (name.local == "sz" && self.inRun_) {
            style.size = static_cast<std::uint16_t>(std::min(NumberOf(value, 0), 65535));
        }
    }

    static void OnEnd(void* data, const XML_Char* rawName) {
        StylesReader& self = *static_cast<StylesReader*>(data);
        const Name name = SplitName(rawName);
        if (IsWord(name) && name.local == "rPr") {
            self.inRun_ = false;
        }
        if (self.depth_-- == 2) {
            self.current_ = nullptr;
        }
    }

    XML_Parser parser_ = nullptr;
    int depth_ = 0;
    Raw* current_ = nullptr;
    bool inRun_ = false;
};

}  // namespace

DocxStyles ParseDocxStyles(std::string_view bytes) {
    StylesReader reader;
    DocxStyles resolved;
    if (!reader.Parse(bytes)) {
        return resolved;
    }
    for (const auto& [id, raw] : reader.styles) {
        DocxStyle style;
        std::string at = id;
        // Nearest first along w:basedOn; a loop is cut.
        for (int depth = 0; depth < 16; ++depth) {
            const auto found = reader.styles.find(at);
            if (found == reader.styles.end()) {
                break;
            }
            const StylesReader::Raw& r = found->second;
            style.heading = style.heading || (depth == 0 && r.heading);
            if (style.outlineLevel < 0) {
                style.outlineLevel = r.outlineLevel;
            }
            if (style.bold < 0) {
                style.bold = r.bold;
            }
            if (style.size == 0) {
                style.size = r.size;
            }
            at = r.basedOn;
        }
        resolved.emplace(id, style);
    }
    return resolved;
}

}  // namespace melvane
