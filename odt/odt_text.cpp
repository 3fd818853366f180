#include "odt/odt_text.h"

#include <algorithm>
#include <charconv>

#include "odt/xml_reader.h"
#include "package/package.h"

namespace melvane {
namespace {

// Deeper nesting than any real document has is not followed, so a crafted file cannot exhaust
// the stack.
constexpr int kMaxDepth = 200;

bool IsParagraph(std::u16string_view name) {
    return name == u"text:p" || name == u"text:h";
}

std::size_t SpaceCount(const XmlDocument& content, XmlNodeId element) {
    for (std::size_t i = 0; i < content.AttributeCount(element); ++i) {
        const XmlAttributeView attribute = content.Attribute(element, i);
        if (attribute.name == u"text:c") {
            std::string digits(attribute.value.begin(), attribute.value.end());
            std::size_t count = 1;
            std::from_chars(digits.data(), digits.data() + digits.size(), count);
            return std::min<std::size_t>(count, 1000);
        }
    }
    return 1;
}

// Appends the visible text of `element` and its inline children.
void AppendInline(const XmlDocument& content, XmlNodeId element, std::u16string& out, int depth) {
    const std::u16string_view text = content.Text(element);
    std::size_t position = 0;
    for (XmlNodeId child = content.FirstChild(element); child != kNoXmlNode;
         child = content.NextSibling(child)) {
        const std::size_t length = std::min(content.Offset(child), text.size() - position);
        out += text.substr(position, length);
        position += length;
        if (content.Kind(child) != XmlNodeKind::Element) {
            continue;
        }
        const std::u16string_view name = content.Name(child);
        if (name == u"text:tab") {
            out += u'\t';
        } else if (name == u"text:line-break") {
            out += u'\n';
        } else if (name == u"text:s") {
            out.append(SpaceCount(content, child), u' ');
        } else if (!IsParagraph(name) && depth < kMaxDepth) {
            AppendInline(content, child, out, depth + 1);
        }
    }
    out += text.substr(position);
}

void Collect(const XmlDocument& content, XmlNodeId node, std::vector<std::u16string>& out,
             int depth) {
    if (depth > kMaxDepth) {
        return;
    }
    for (XmlNodeId child = content.FirstChild(node); child != kNoXmlNode;
         child = content.NextSibling(child)) {
        if (content.Kind(child) != XmlNodeKind::Element) {
            continue;
        }
        if (IsParagraph(content.Name(child))) {
            std::u16string paragraph;
            AppendInline(content, child, paragraph, depth + 1);
            out.push_back(std::move(paragraph));
        }
        Collect(content, child, out, depth + 1);
    }
}

}  // namespace

std::vector<std::u16string> ParagraphsOf(const XmlDocument& content) {
    std::vector<std::u16string> paragraphs;
    Collect(content, XmlDocument::kRoot, paragraphs, 0);
    return paragraphs;
}

bool ReadOdtParagraphs(const std::filesystem::path& document,
                       std::vector<std::u16string>& paragraphs) {
    const OpenedPackage package = OpenPackage(document);
    std::string content;
    if (!package.status.Ok() || !package.reader->ReadEntry("content.xml", content).Ok()) {
        return false;
    }
    const XmlLoadResult loaded = LoadXmlBytes(content);
    if (loaded.status != XmlLoadStatus::Loaded) {
        return false;
    }
    paragraphs = ParagraphsOf(loaded.document);
    return true;
}

}  // namespace melvane
