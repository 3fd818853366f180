// The readable text of an OpenDocument text: what a person sees, paragraph by paragraph.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "odt/xml_document.h"

namespace melvane {

// One string per paragraph or heading, in document order (table cells included): tab elements
// as "\t", line-break elements as "\n", space elements as their spaces; spans and links give
// their text, and a paragraph nested in another (a note, a frame) stands on its own.
std::vector<std::u16string> ParagraphsOf(const XmlDocument& content);

// The same read from a document file. False when it is no readable container or its
// content.xml is missing or broken.
bool ReadOdtParagraphs(const std::filesystem::path& document,
                       std::vector<std::u16string>& paragraphs);

}  // namespace melvane
