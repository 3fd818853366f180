#include "odt/xml_document.h"

namespace melvane {

XmlDocument::XmlDocument() {
    names_.emplace_back();
    nameIds_.emplace(names_.front(), 0);
    nodes_.push_back(Node{});
    nodes_.front().kind = XmlNodeKind::Document;
}

XmlAttributeView XmlDocument::Attribute(XmlNodeId node, std::size_t index) const {
    const StoredAttribute& attribute = attributes_[nodes_[node].firstAttribute + index];
    return {
        names_[attribute.name],
        std::u16string_view(attributeValues_).substr(attribute.valueStart, attribute.valueLength)};
}

XmlNodeId XmlDocument::DocumentElement() const {
    for (XmlNodeId child = FirstChild(kRoot); child != kNoXmlNode; child = NextSibling(child)) {
        if (Kind(child) == XmlNodeKind::Element) {
            return child;
        }
    }
    return kNoXmlNode;
}

XmlNodeId XmlDocument::AppendChild(XmlNodeId parent, XmlNodeKind kind, XmlNameId name,
                                   std::size_t offset) {
    const auto id = static_cast<XmlNodeId>(nodes_.size());
    Node& node = nodes_.emplace_back();
    node.kind = kind;
    node.name = name;
    node.offset = offset;
    node.firstAttribute = static_cast<std::uint32_t>(attributes_.size());

    Node& up = nodes_[parent];
    if (up.lastChild == kNoXmlNode) {
        up.firstChild = id;
    } else {
        nodes_[up.lastChild].nextSibling = id;
    }
    up.lastChild = id;
    ++up.childCount;
    return id;
}

void XmlDocument::AppendAttribute(XmlNodeId element, XmlNameId name, std::u16string_view value) {
    Node& node = nodes_[element];
    // Attributes of a node lie back to back; only the newest node can still grow its range.
    if (node.firstAttribute + node.attributeCount != attributes_.size()) {
        return;
    }
    attributes_.push_back(
        {name, static_cast<std::uint32_t>(value.size()), attributeValues_.size()});
    attributeValues_.append(value);
    ++node.attributeCount;
}

void XmlDocument::ReserveForFileSize(std::size_t bytes) {
    // Even terse markup spends more than 24 bytes on an element with its tags.
    nodes_.reserve(bytes / 24 + 16);
    attributes_.reserve(bytes / 24 + 16);
}

XmlNameId XmlDocument::InternName(std::u16string_view name) {
    const auto found = nameIds_.find(name);
    if (found != nameIds_.end()) {
        return found->second;
    }
    const auto id = static_cast<XmlNameId>(names_.size());
    names_.emplace_back(name);
    nameIds_.emplace(names_.back(), id);
    return id;
}

}  // namespace melvane
