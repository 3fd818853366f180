#include "odt/xml_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <string_view>
#include <vector>

namespace melvane {
namespace {

enum class Escape { None, Text, Attribute };

// Encodes UTF-16 text into the document's encoding through a fixed buffer.
class Writer {
  public:
    Writer(XmlSink& sink, XmlEncoding encoding) : sink_(sink), encoding_(encoding) {}

    // Markup that is plain ASCII: names of the declaration, brackets, quotes.
    void Markup(std::string_view ascii) {
        if (encoding_ == XmlEncoding::Utf16) {
            for (const char c : ascii) {
                Unit(static_cast<unsigned char>(c));
            }
            return;
        }
        // One byte per character in UTF-8 and Latin-1.
        while (!ascii.empty()) {
            if (used_ == kXmlWriteBuffer) {
                Flush();
            }
            const std::size_t count = std::min(ascii.size(), kXmlWriteBuffer - used_);
            std::memcpy(buffer_ + used_, ascii.data(), count);
            used_ += count;
            ascii.remove_prefix(count);
        }
    }

    void Put(std::u16string_view text, Escape escape) {
        std::size_t i = 0;
        while (i < text.size()) {
            if (encoding_ != XmlEncoding::Utf16) {
                i = CopyPlainAscii(text, i, escape);
                if (i == text.size()) {
                    break;
                }
            }
            const char16_t c = text[i++];
            if (c < 0x80) {
                const char* entity = escape == Escape::None ? nullptr : EntityFor(c, escape);
                if (entity != nullptr) {
                    Markup(entity);
                } else {
                    Unit(c);
                }
                continue;
            }
            char32_t cp = c;
            if (c >= 0xD800 && c <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 &&
                text[i] <= 0xDFFF) {
                cp = 0x10000 + ((char32_t{c} - 0xD800) << 10) + (text[i] - 0xDC00);
                ++i;
            }
            CodePoint(cp, escape);
        }
    }

    bool Finish() {
        Flush();
        return ok_;
    }

  private:
    // Which ASCII characters are written as they are, by escaping mode.
    static const std::array<bool, 128>& PlainAscii(Escape escape) {
        static const auto table = [](Escape mode) {
            std::array<bool, 128> plain{};
            for (char16_t c = 0; c < 128; ++c) {
                plain[c] = mode == Escape::None || EntityFor(c, mode) == nullptr;
            }
            return plain;
        };
        static const std::array<bool, 128> none = table(Escape::None);
        static const std::array<bool, 128> text = table(Escape::Text);
        static const std::array<bool, 128> attribute = table(Escape::Attribute);
        return escape == Escape::Text ? text : escape == Escape::Attribute ? attribute : none;
    }

    static const char* EntityFor(char16_t c, Escape escape) {
        // Most characters need nothing: one comparison lets them through.
        if (c > u'>' || (c > u'\'' && c < u'<')) {
            return nullptr;
        }
        switch (c) {
            case u'&':
                return "&amp;";
            case u'<':
                return "&lt;";
            case u'>':
                return "&gt;";
            default:
                break;
        }
        if (escape != Escape::Attribute) {
            return nullptr;
        }
        // A parser turns line breaks and tabs in attribute values into blanks: only references
        // bring them back as they were.
        switch (c) {
            case u'\'':
                return "&apos;";
            case u'"':
                return "&quot;";
            case u'\n':
                return "&#10;";
            case u'\r':
                return "&#13;";
            case u'\t':
                return "&#9;";
            default:
                return nullptr;
        }
    }

    void CodePoint(char32_t cp, Escape escape) {
        switch (encoding_) {
            case XmlEncoding::Utf8:
                if (cp >= 0xD800 && cp <= 0xDFFF) {
                    cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
                }
                if (cp < 0x80) {
                    Byte(cp);
                } else if (cp < 0x800) {
                    Byte(0xC0 | (cp >> 6));
                    Byte(0x80 | (cp & 0x3F));
                } else if (cp < 0x10000) {
                    Byte(0xE0 | (cp >> 12));
                    Byte(0x80 | ((cp >> 6) & 0x3F));
                    Byte(0x80 | (cp & 0x3F));
                } else {
                    Byte(0xF0 | (cp >> 18));
                    Byte(0x80 | ((cp >> 12) & 0x3F));
                    Byte(0x80 | ((cp >> 6) & 0x3F));
                    Byte(0x80 | (cp & 0x3F));
                }
                break;
            case XmlEncoding::Utf16:
                if (cp >= 0x10000) {
                    cp -= 0x10000;
                    Unit(static_cast<char16_t>(0xD800 + (cp >> 10)));
                    Unit(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
                } else {
                    Unit(static_cast<char16_t>(cp));
                }
                break;
            case XmlEncoding::Latin1:
                if (cp <= 0xFF) {
                    Byte(cp);
                } else if (escape != Escape::None) {
                    // Text and attribute values can say any character by reference, so nothing
                    // outside Latin-1 is lost.
                    Markup("&#" + std::to_string(static_cast<unsigned long>(cp)) + ";");
                } else {
                    Byte(' ');
                }
                break;
        }
    }

    // ASCII that needs no reference is one byte in UTF-8 and Latin-1: copied in bulk, which is
    // most of a song sheet. Returns where the first other character stands.
    std::size_t CopyPlainAscii(std::u16string_view text, std::size_t i, Escape escape) {
        const std::array<bool, 128>& plain = PlainAscii(escape);
        for (;;) {
            if (used_ == kXmlWriteBuffer) {
                Flush();
            }
            // Locals, since a store through a char pointer could otherwise change any member.
            char* to = buffer_ + used_;
            const std::size_t end = std::min(text.size(), i + (kXmlWriteBuffer - used_));
            const std::size_t begin = i;
            while (i < end && text[i] < 0x80 && plain[text[i]]) {
                *to++ = static_cast<char>(text[i++]);
            }
            used_ += i - begin;
            if (i < end || i == text.size()) {
                return i;
            }
        }
    }

    // One character of markup or of the ASCII range, in the output encoding.
    void Unit(char16_t unit) {
        if (encoding_ == XmlEncoding::Utf16) {
            Byte(unit & 0xFF);
            Byte(unit >> 8);
        } else if (unit < 0x80 || encoding_ == XmlEncoding::Latin1) {
            Byte(unit);
        } else {
            CodePoint(unit, Escape::None);
        }
    }

    void Byte(char32_t value) {
        if (used_ == kXmlWriteBuffer) {
            Flush();
        }
        buffer_[used_++] = static_cast<char>(value & 0xFF);
    }

    void Flush() {
        if (used_ > 0 && ok_) {
            ok_ = sink_.Write(buffer_, used_);
        }
        used_ = 0;
    }

    XmlSink& sink_;
    XmlEncoding encoding_;
    char buffer_[kXmlWriteBuffer];
    std::size_t used_ = 0;
    bool ok_ = true;
};

void WriteDeclaration(const XmlDocument& document, Writer& out) {
    out.Markup("<?xml version=\"1.0\" encoding=\"");
    switch (document.encoding) {
        case XmlEncoding::Utf8:
            out.Markup("UTF-8");
            break;
        case XmlEncoding::Utf16:
            out.Markup("UTF-16");
            break;
        case XmlEncoding::Latin1:
            out.Markup("ISO-8859-1");
            break;
    }
    out.Markup("\"");
    if (document.standalone == XmlStandalone::No) {
        out.Markup(" standalone=\"no\"");
    } else if (document.standalone == XmlStandalone::Yes) {
        out.Markup(" standalone=\"yes\"");
    }
    out.Markup("?>");
}

bool WritesAsEmptyElement(const XmlDocument& document, XmlNodeId node) {
    return document.ChildCount(node) == 0 && document.Text(node).empty();
}

void WriteStartTag(const XmlDocument& document, XmlNodeId element, Writer& out) {
    out.Markup("<");
    out.Put(document.Name(element), Escape::None);
    for (std::size_t i = 0; i < document.AttributeCount(element); ++i) {
        const XmlAttributeView attribute = document.Attribute(element, i);
        out.Markup(" ");
        out.Put(attribute.name, Escape::None);
        out.Markup("=\"");
        out.Put(attribute.value, Escape::Attribute);
        out.Markup("\"");
    }
    out.Markup(WritesAsEmptyElement(document, element) ? "/>" : ">");
}

// Everything but the root and elements that hold content: written in one go.
void WriteLeaf(const XmlDocument& document, XmlNodeId node, Writer& out) {
    const std::u16string& text = document.Text(node);
    switch (document.Kind(node)) {
        case XmlNodeKind::Comment:
            out.Markup("<!--");
            out.Put(text, Escape::None);
            out.Markup("-->");
            break;
        case XmlNodeKind::CData:
            out.Markup("<![CDATA[");
            out.Put(text, Escape::None);
            out.Markup("]]>");
            break;
        case XmlNodeKind::ProcessingInstruction:
            out.Markup("<?");
            out.Put(document.Name(node), Escape::None);
            out.Markup(" ");
            out.Put(text, Escape::None);
            out.Markup("?>");
            break;
        case XmlNodeKind::DocumentType:
            out.Put(text, Escape::None);
            break;
        case XmlNodeKind::Element:
            WriteStartTag(document, node, out);
            break;
        case XmlNodeKind::Document:
            break;
    }
}

}  // namespace

bool WriteXml(const XmlDocument& document, XmlSink& sink) {
    Writer out(sink, document.encoding);
    WriteDeclaration(document, out);

    // Depth-first without recursion, so that a deeply nested file cannot exhaust the stack.
    struct Frame {
        XmlNodeId node;
        XmlNodeId nextChild;
        std::size_t written;  // characters of the node's text already written
    };
    std::vector<Frame> stack;
    stack.push_back({XmlDocument::kRoot, document.FirstChild(XmlDocument::kRoot), 0});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const std::u16string_view text = document.Text(frame.node);
        if (frame.nextChild == kNoXmlNode) {
            out.Put(text.substr(frame.written), Escape::Text);
            if (document.Kind(frame.node) == XmlNodeKind::Element) {
                out.Markup("</");
                out.Put(document.Name(frame.node), Escape::None);
                out.Markup(">");
            }
            stack.pop_back();
            continue;
        }
        const XmlNodeId child = frame.nextChild;
        frame.nextChild = document.NextSibling(child);
        const std::size_t offset = document.Offset(child);
        if (offset > 0 && frame.written < text.size()) {
            const std::u16string_view piece = text.substr(frame.written, offset);
            out.Put(piece, Escape::Text);
            frame.written += piece.size();
        }
        WriteLeaf(document, child, out);
        if (document.Kind(child) == XmlNodeKind::Element &&
            !WritesAsEmptyElement(document, child)) {
            stack.push_back({child, document.FirstChild(child), 0});
        }
    }
    return out.Finish();
}

namespace {

class FileSink : public XmlSink {
  public:
    explicit FileSink(const std::filesystem::path& path)
        : file_(path, std::ios::binary | std::ios::trunc) {}
    bool IsOpen() const { return file_.is_open(); }
    bool Write(const char* data, std::size_t size) override {
        file_.write(data, static_cast<std::streamsize>(size));
        return static_cast<bool>(file_);
    }
    bool Close() {
        file_.close();
        return !file_.fail();
    }

  private:
    std::ofstream file_;
};

}  // namespace

bool SaveXmlFile(const XmlDocument& document, const std::filesystem::path& path) {
    FileSink sink(path);
    if (!sink.IsOpen()) {
        return false;
    }
    const bool written = WriteXml(document, sink);
    return sink.Close() && written;
}

std::string XmlToBytes(const XmlDocument& document) {
    StringXmlSink sink;
    WriteXml(document, sink);
    return std::move(sink.bytes);
}

}  // namespace melvane
