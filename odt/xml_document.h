// A small XML tree that keeps what a rewrite must give back: the text of every node with the
// places of its children in it, comments, CDATA sections, processing instructions, the document
// type declaration with its internal subset, and how the file was declared.
//
// One document object owns all nodes; a node is named by its id. Character data of an element is
// one text, and each child records how many characters of that text stand between the previous
// sibling (or the start of the parent) and itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace melvane {

enum class XmlNodeKind : std::uint8_t {
    Document,
    Element,
    Comment,
    CData,
    DocumentType,
    ProcessingInstruction,
};

enum class XmlEncoding : std::uint8_t { Utf8, Utf16, Latin1 };
enum class XmlStandalone : std::uint8_t { Absent, No, Yes };
// How a line feed reported by the parser is stored in node texts.
enum class LineBreakStyle : std::uint8_t { Lf, CrLf, Cr };

using XmlNodeId = std::uint32_t;
inline constexpr XmlNodeId kNoXmlNode = UINT32_MAX;
// A name as the document keeps it: every distinct name is stored once.
using XmlNameId = std::uint32_t;

struct XmlAttributeView {
    std::u16string_view name;
    std::u16string_view value;
};

class XmlDocument {
  public:
    // The document root always exists; it holds the text outside the document element.
    static constexpr XmlNodeId kRoot = 0;

    XmlDocument();
    XmlDocument(XmlDocument&&) = default;
    XmlDocument& operator=(XmlDocument&&) = default;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    XmlNodeKind Kind(XmlNodeId node) const { return nodes_[node].kind; }
    // Elements: the qualified name as written; processing instructions: the target.
    std::u16string_view Name(XmlNodeId node) const { return names_[nodes_[node].name]; }
    const std::u16string& Text(XmlNodeId node) const { return nodes_[node].text; }
    void SetText(XmlNodeId node, std::u16string text) { nodes_[node].text = std::move(text); }
    std::u16string& MutableText(XmlNodeId node) { return nodes_[node].text; }
    // Characters of the parent's text between the previous sibling (or the parent's start) and
    // this node.
    std::size_t Offset(XmlNodeId node) const { return nodes_[node].offset; }
    void SetOffset(XmlNodeId node, std::size_t offset) { nodes_[node].offset = offset; }

    XmlNodeId FirstChild(XmlNodeId node) const { return nodes_[node].firstChild; }
    XmlNodeId NextSibling(XmlNodeId node) const { return nodes_[node].nextSibling; }
    std::size_t ChildCount(XmlNodeId node) const { return nodes_[node].childCount; }

    std::size_t AttributeCount(XmlNodeId node) const { return nodes_[node].attributeCount; }
    XmlAttributeView Attribute(XmlNodeId node, std::size_t index) const;

    // The first element child of the root, or kNoXmlNode.
    XmlNodeId DocumentElement() const;

    // Building. Attributes belong to the node created last: add them before the next node.
    XmlNodeId AppendChild(XmlNodeId parent, XmlNodeKind kind, std::u16string_view name = {},
                          std::size_t offset = 0) {
        return AppendChild(parent, kind, InternName(name), offset);
    }
    void AppendAttribute(XmlNodeId element, std::u16string_view name, std::u16string_view value) {
        AppendAttribute(element, InternName(name), value);
    }
    // The same with a name already interned, for loaders that meet the same names again and
    // again.
    XmlNameId InternName(std::u16string_view name);
    XmlNodeId AppendChild(XmlNodeId parent, XmlNodeKind kind, XmlNameId name, std::size_t offset);
    void AppendAttribute(XmlNodeId element, XmlNameId name, std::u16string_view value);
    // Room for a document loaded from this many bytes, so that its tables are not copied as
    // they grow. Generous: what is reserved but never used is never touched either.
    void ReserveForFileSize(std::size_t bytes);

    XmlEncoding encoding = XmlEncoding::Utf8;
    XmlStandalone standalone = XmlStandalone::Absent;
    LineBreakStyle lineBreaks = LineBreakStyle::Lf;

  private:
    struct Node {
        std::u16string text;
        std::size_t offset = 0;
        XmlNodeId firstChild = kNoXmlNode;
        XmlNodeId lastChild = kNoXmlNode;
        XmlNodeId nextSibling = kNoXmlNode;
        std::uint32_t childCount = 0;
        std::uint32_t firstAttribute = 0;
        std::uint32_t attributeCount = 0;
        XmlNameId name = 0;
        XmlNodeKind kind = XmlNodeKind::Element;
    };
    // Attribute values are kept back to back in one buffer: they are never changed, and song
    // sheets repeat the same few style names thousands of times.
    struct StoredAttribute {
        XmlNameId name;
        std::uint32_t valueLength;
        std::size_t valueStart;
    };

    std::vector<Node> nodes_;
    std::vector<StoredAttribute> attributes_;
    std::u16string attributeValues_;
    // A deque keeps each name where it is, so the map's views stay valid as names are added.
    std::deque<std::u16string> names_;  // index 0 is the empty name
    std::unordered_map<std::u16string_view, XmlNameId> nameIds_;
};

}  // namespace melvane
