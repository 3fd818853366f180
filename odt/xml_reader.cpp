#include "odt/xml_reader.h"

#include <expat.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace melvane {
namespace {

static_assert(sizeof(XML_Char) == 1, "expat must be built with its UTF-8 interface");

// Appends UTF-8 text (always well-formed when it comes from expat) as UTF-16. With a line-break
// style, each line feed is stored in that style; without one the text is taken as it is.
void AppendUtf8(std::u16string& out, const char* bytes, std::size_t length,
                const LineBreakStyle* style = nullptr) {
    const bool breakToCr = style != nullptr && *style != LineBreakStyle::Lf;
    const bool breakToCrLf = style != nullptr && *style == LineBreakStyle::CrLf;
    // Room for the worst case: every byte one unit (a four-byte sequence gives two), every
    // line feed two under CRLF. Written in place, then cut to what was used.
    const std::size_t start = out.size();
    out.resize(start + (breakToCrLf ? 2 * length : length));
    char16_t* to = out.data() + start;
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i < length;) {
        // Most of a song sheet is ASCII without line breaks: widened in a tight loop.
        while (i < length && s[i] < 0x80 && s[i] != '\n') {
            *to++ = s[i++];
        }
        if (i == length) {
            break;
        }
        const unsigned char lead = s[i];
        if (lead < 0x80) {
            if (lead == '\n' && breakToCr) {
                *to++ = u'\r';
                if (breakToCrLf) {
                    *to++ = u'\n';
                }
            } else {
                *to++ = lead;
            }
            ++i;
            continue;
        }
        char32_t cp = 0;
        std::size_t extra = 0;
        if (lead >= 0xF0) {
            cp = lead & 0x07u;
            extra = 3;
        } else if (lead >= 0xE0) {
            cp = lead & 0x0Fu;
            extra = 2;
        } else {
            cp = lead & 0x1Fu;
            extra = 1;
        }
        extra = std::min(extra, length - i - 1);
        for (std::size_t k = 1; k <= extra; ++k) {
            cp = (cp << 6) | (s[i + k] & 0x3Fu);
        }
        i += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *to++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *to++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *to++ = static_cast<char16_t>(cp);
        }
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

std::u16string FromUtf8(const char* text) {
    std::u16string out;
    if (text != nullptr) {
        AppendUtf8(out, text, std::char_traits<char>::length(text));
    }
    return out;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

struct ParserDeleter {
    void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

// Builds the document from expat's callbacks. The top of the stack is the node that receives
// character data; each entry remembers where in that node's text its last child ended, which
// is what the next child's offset counts from.
class Loader {
  public:
    explicit Loader(std::size_t fileSize) : parser_(XML_ParserCreate(nullptr)) {
        document_.ReserveForFileSize(fileSize);
        if (!parser_) {
            return;
        }
        XML_SetUserData(parser_.get(), this);
        XML_SetElementHandler(parser_.get(), &Loader::OnStart, &Loader::OnEnd);
        XML_SetCharacterDataHandler(parser_.get(), &Loader::OnCharacters);
        XML_SetCommentHandler(parser_.get(), &Loader::OnComment);
        XML_SetCdataSectionHandler(parser_.get(), &Loader::OnCDataStart, &Loader::OnCDataEnd);
        XML_SetProcessingInstructionHandler(parser_.get(), &Loader::OnInstruction);
        XML_SetDoctypeDeclHandler(parser_.get(), &Loader::OnDoctypeStart, &Loader::OnDoctypeEnd);
        XML_SetXmlDeclHandler(parser_.get(), &Loader::OnXmlDecl);
        // The expanding form keeps entity references resolved into character data; the plain
        // default handler would hand them over raw and they would be written back escaped.
        XML_SetDefaultHandlerExpand(parser_.get(), &Loader::OnDefault);
        stack_.push_back({XmlDocument::kRoot, 0});
    }

    bool Ready() const { return parser_ != nullptr; }

    // Feeds one chunk; false once the parser has stopped at an error.
    bool Feed(const char* data, std::size_t size, bool final) {
        if (!styleKnown_) {
            document_.lineBreaks = DetectLineBreakStyle(std::string_view(data, size));
            styleKnown_ = true;
        }
        return XML_Parse(parser_.get(), data, static_cast<int>(size), final ? 1 : 0) ==
               XML_STATUS_OK;
    }

    // expat's own buffer for `size` bytes, to be filled and then handed to FeedBuffer: the text
    // is not copied once more on its way in.
    char* Buffer(std::size_t size) {
        return static_cast<char*>(XML_GetBuffer(parser_.get(), static_cast<int>(size)));
    }
    bool FeedBuffer(const char* buffer, std::size_t size) {
        document_.lineBreaks = DetectLineBreakStyle(
            std::string_view(buffer, std::min<std::size_t>(size, kXmlReadChunk)));
        styleKnown_ = true;
        return XML_ParseBuffer(parser_.get(), static_cast<int>(size), 1) == XML_STATUS_OK;
    }

    XmlParseError Error() const {
        XmlParseError error;
        error.code = static_cast<int>(XML_GetErrorCode(parser_.get()));
        error.message = FromUtf8(XML_ErrorString(XML_GetErrorCode(parser_.get())));
        error.line = XML_GetCurrentLineNumber(parser_.get());
        error.column = XML_GetCurrentColumnNumber(parser_.get()) + 1;
        return error;
    }

    XmlDocument& Document() { return document_; }

  private:
    // Finds names by their UTF-8 form: a document repeats a few dozen names many thousand times,
    // and this spares converting each of them again.
    struct Utf8Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };

    XmlNameId NameOf(const XML_Char* utf8) {
        const std::string_view key(utf8);
        const auto found = names_.find(key);
        if (found != names_.end()) {
            return found->second;
        }
        scratch_.clear();
        AppendUtf8(scratch_, key.data(), key.size());
        const XmlNameId id = document_.InternName(scratch_);
        names_.emplace(std::string(key), id);
        return id;
    }

    struct Open {
        XmlNodeId node;
        std::size_t mark;  // length of the node's text where its last child ended
    };

    static Loader& Self(void* userData) { return *static_cast<Loader*>(userData); }

    // Adds a child to the current node at the current end of its text.
    XmlNodeId AddChild(XmlNodeKind kind, XmlNameId name) {
        Open& parent = stack_.back();
        const std::size_t offset = document_.Text(parent.node).size() - parent.mark;
        return document_.AppendChild(parent.node, kind, name, offset);
    }
    XmlNodeId AddChild(XmlNodeKind kind, std::u16string_view name) {
        return AddChild(kind, document_.InternName(name));
    }

    // Comments and processing instructions of the internal subset stay part of its text.
    bool PassOnInsideSubset() {
        if (inSubset_) {
            XML_DefaultCurrent(parser_.get());
        }
        return inSubset_;
    }

    // After a child has ended, the next one counts from here.
    void MarkChildEnd() { stack_.back().mark = document_.Text(stack_.back().node).size(); }

    // The parser gives comments and instructions with plain line feeds, like character data;
    // stored in the file's style they are written back as they were.
    void SetTextInStyle(XmlNodeId node, const XML_Char* text) {
        std::u16string& stored = document_.MutableText(node);
        stored.clear();
        AppendUtf8(stored, text, std::char_traits<char>::length(text), &document_.lineBreaks);
    }

    void AppendCharacters(const char* text, int length) {
        AppendUtf8(document_.MutableText(stack_.back().node), text,
                   static_cast<std::size_t>(length), &document_.lineBreaks);
    }

    static void XMLCALL OnStart(void* userData, const XML_Char* name, const XML_Char** atts) {
        Loader& self = Self(userData);
        const XmlNodeId element = self.AddChild(XmlNodeKind::Element, self.NameOf(name));
        // Attributes the DTD adds by default are not written back: only what the file says.
        const int specified = XML_GetSpecifiedAttributeCount(self.parser_.get());
        for (int i = 0; i + 1 < specified && atts[i] != nullptr; i += 2) {
            const XmlNameId attribute = self.NameOf(atts[i]);
            self.value_.clear();
            AppendUtf8(self.value_, atts[i + 1], std::char_traits<char>::length(atts[i + 1]));
            self.document_.AppendAttribute(element, attribute, self.value_);
        }
        self.stack_.push_back({element, 0});
    }

    static void XMLCALL OnEnd(void* userData, const XML_Char*) {
        Loader& self = Self(userData);
        self.stack_.pop_back();
        self.MarkChildEnd();
    }

    static void XMLCALL OnCharacters(void* userData, const XML_Char* text, int length) {
        Self(userData).AppendCharacters(text, length);
    }

    static void XMLCALL OnComment(void* userData, const XML_Char* data) {
        Loader& self = Self(userData);
        if (self.PassOnInsideSubset()) {
            return;
        }
        const XmlNodeId comment = self.AddChild(XmlNodeKind::Comment, {});
        self.SetTextInStyle(comment, data);
        self.MarkChildEnd();
    }

    static void XMLCALL OnCDataStart(void* userData) {
        Loader& self = Self(userData);
        const XmlNodeId cdata = self.AddChild(XmlNodeKind::CData, {});
        self.stack_.push_back({cdata, 0});
    }

    static void XMLCALL OnCDataEnd(void* userData) { OnEnd(userData, nullptr); }

    static void XMLCALL OnInstruction(void* userData, const XML_Char* target,
                                      const XML_Char* data) {
        Loader& self = Self(userData);
        if (self.PassOnInsideSubset()) {
            return;
        }
        const XmlNodeId instruction =
            self.AddChild(XmlNodeKind::ProcessingInstruction, FromUtf8(target));
        self.SetTextInStyle(instruction, data);
        self.MarkChildEnd();
    }

    static void XMLCALL OnDoctypeStart(void* userData, const XML_Char* name,
                                       const XML_Char* systemId, const XML_Char* publicId,
                                       int hasInternalSubset) {
        Loader& self = Self(userData);
        const XmlNodeId doctype = self.AddChild(XmlNodeKind::DocumentType, {});
        std::u16string text = u"<!DOCTYPE " + FromUtf8(name);
        // Double quotes unless the value holds one.
        const auto appendQuoted = [&text](const XML_Char* value) {
            const std::u16string inner = FromUtf8(value);
            const char16_t quote = inner.find(u'"') == std::u16string::npos ? u'"' : u'\'';
            text += u' ';
            text += quote;
            text += inner;
            text += quote;
        };
        if (systemId != nullptr) {
            text += publicId != nullptr ? u" PUBLIC" : u" SYSTEM";
        }
        if (publicId != nullptr) {
            appendQuoted(publicId);
        }
        if (systemId != nullptr) {
            appendQuoted(systemId);
        }
        if (hasInternalSubset) {
            // The subset arrives through the default handler into this node's text.
            text += u" [";
            self.document_.SetText(doctype, std::move(text));
            self.stack_.push_back({doctype, 0});
            self.inSubset_ = true;
        } else {
            text += u">";
            self.document_.SetText(doctype, std::move(text));
            self.MarkChildEnd();
        }
    }

    static void XMLCALL OnDoctypeEnd(void* userData) {
        Loader& self = Self(userData);
        if (self.inSubset_) {
            self.document_.MutableText(self.stack_.back().node) += u"]>";
            self.inSubset_ = false;
            self.stack_.pop_back();
            self.MarkChildEnd();
        }
    }

    static void XMLCALL OnXmlDecl(void* userData, const XML_Char*, const XML_Char* encoding,
                                  int standalone) {
        XmlDocument& document = Self(userData).document_;
        if (encoding != nullptr) {
            if (EqualsIgnoringCase(encoding, "US-ASCII") ||
                EqualsIgnoringCase(encoding, "ISO-8859-1")) {
                document.encoding = XmlEncoding::Latin1;
            } else if (EqualsIgnoringCase(encoding, "UTF-16")) {
                document.encoding = XmlEncoding::Utf16;
            }
        }
        document.standalone = standalone == 1   ? XmlStandalone::Yes
                              : standalone == 0 ? XmlStandalone::No
                                                : XmlStandalone::Absent;
    }

    static void XMLCALL OnDefault(void* userData, const XML_Char* text, int length) {
        Loader& self = Self(userData);
        AppendUtf8(self.document_.MutableText(self.stack_.back().node), text,
                   static_cast<std::size_t>(length));
    }

    std::unique_ptr<XML_ParserStruct, ParserDeleter> parser_;
    XmlDocument document_;
    std::vector<Open> stack_;
    std::unordered_map<std::string, XmlNameId, Utf8Hash, std::equal_to<>> names_;
    std::u16string scratch_;
    std::u16string value_;
    bool styleKnown_ = false;
    bool inSubset_ = false;
};

XmlLoadResult Finish(Loader& loader, bool parsed) {
    XmlLoadResult result;
    if (parsed) {
        result.status = XmlLoadStatus::Loaded;
        result.document = std::move(loader.Document());
    } else {
        result.status = XmlLoadStatus::ParseError;
        result.error = loader.Error();
    }
    return result;
}

}  // namespace

LineBreakStyle DetectLineBreakStyle(std::string_view chunk) {
    const auto zeros = std::count(chunk.begin(), chunk.end(), '\0');
    const bool wide = zeros > 4;
    // Big-endian text starts with its byte order mark or with a zero byte.
    const bool bigEndian =
        wide && chunk.size() >= 2 &&
        ((chunk[0] == '\xFE' && chunk[1] == '\xFF') || (chunk[0] == '\0' && chunk[1] != '\0'));
    const std::size_t step = wide ? 2 : 1;
    const auto unit = [&](std::size_t i) -> char16_t {
        const auto b0 = static_cast<unsigned char>(chunk[i]);
        if (!wide) {
            return b0;
        }
        const auto b1 = static_cast<unsigned char>(chunk[i + 1]);
        return static_cast<char16_t>(bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0));
    };
    const std::size_t end = chunk.size() - chunk.size() % step;
    std::size_t i = 0;
    if (i < end && unit(i) == u'\n') {
        i += step;
    }
    for (; i < end; i += step) {
        if (unit(i) == u'\n') {
            return LineBreakStyle::Lf;
        }
        if (unit(i) == u'\r') {
            return i + step < end && unit(i + step) == u'\n' ? LineBreakStyle::CrLf
                                                             : LineBreakStyle::Cr;
        }
    }
    return LineBreakStyle::Lf;
}

XmlLoadResult LoadXmlBytes(std::string_view bytes) {
    XmlLoadResult result;
    if (bytes.empty()) {
        result.status = XmlLoadStatus::Empty;
        return result;
    }
    Loader loader(bytes.size());
    if (!loader.Ready()) {
        result.status = XmlLoadStatus::ReadFailed;
        return result;
    }
    // One call for the whole text: expat re-scans a token that spans two calls from its start,
    // which makes one huge attribute cut into chunks cost quadratic time.
    bool parsed = true;
    for (std::size_t at = 0; parsed && at < bytes.size(); at += kXmlParseCallLimit) {
        const std::size_t size = std::min(kXmlParseCallLimit, bytes.size() - at);
        parsed = loader.Feed(bytes.data() + at, size, at + size == bytes.size());
    }
    return Finish(loader, parsed);
}

XmlLoadResult LoadXmlFrom(const XmlSource& source) {
    XmlLoadResult result;
    std::optional<Loader> loader;
    char* buffer = nullptr;
    std::size_t size = 0;
    const auto allocate = [&](std::size_t bytes) -> char* {
        if (bytes == 0 || bytes > kXmlParseCallLimit) {
            return nullptr;
        }
        loader.emplace(bytes);
        buffer = loader->Ready() ? loader->Buffer(bytes) : nullptr;
        size = buffer != nullptr ? bytes : 0;
        return buffer;
    };
    if (!source(allocate)) {
        result.status = XmlLoadStatus::ReadFailed;
        return result;
    }
    if (buffer == nullptr) {
        result.status = size == 0 && !loader ? XmlLoadStatus::Empty : XmlLoadStatus::ReadFailed;
        return result;
    }
    const bool parsed = loader->FeedBuffer(buffer, size);
    return Finish(*loader, parsed);
}

XmlLoadResult LoadXmlFile(const std::filesystem::path& path) {
    XmlLoadResult result;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        result.status = XmlLoadStatus::Missing;
        return result;
    }
    std::error_code sizeUnknown;
    const std::uintmax_t size = std::filesystem::file_size(path, sizeUnknown);
    Loader loader(sizeUnknown ? 0 : static_cast<std::size_t>(size));
    if (!loader.Ready()) {
        result.status = XmlLoadStatus::ReadFailed;
        return result;
    }
    // Two buffers, so that the chunk handed over is known to be the last one before it is fed.
    std::vector<char> current(kXmlReadChunk);
    std::vector<char> next(kXmlReadChunk);
    const auto fill = [&file](std::vector<char>& buffer) {
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        return static_cast<std::size_t>(file.gcount());
    };
    std::size_t currentSize = fill(current);
    if (currentSize == 0) {
        result.status = file.bad() ? XmlLoadStatus::ReadFailed : XmlLoadStatus::Empty;
        return result;
    }
    bool parsed = true;
    while (parsed) {
        const std::size_t nextSize = currentSize == kXmlReadChunk ? fill(next) : 0;
        if (file.bad()) {
            result.status = XmlLoadStatus::ReadFailed;
            return result;
        }
        parsed = loader.Feed(current.data(), currentSize, nextSize == 0);
        if (nextSize == 0) {
            break;
        }
        current.swap(next);
        currentSize = nextSize;
    }
    return Finish(loader, parsed);
}

}  // namespace melvane
