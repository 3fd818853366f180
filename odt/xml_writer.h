// Writes an XmlDocument back as XML in the encoding it was declared with.
#pragma once

#include <filesystem>
#include <string>

#include "odt/xml_document.h"

namespace melvane {

// Where written bytes go: a file, a string, a test's probe.
class XmlSink {
  public:
    virtual ~XmlSink() = default;
    virtual bool Write(const char* data, std::size_t size) = 0;
};

class StringXmlSink : public XmlSink {
  public:
    bool Write(const char* data, std::size_t size) override {
        bytes.append(data, size);
        return true;
    }
    std::string bytes;
};

// Bytes reach the sink in blocks of this size.
inline constexpr std::size_t kXmlWriteBuffer = 4096;

// The declaration, then the root's text and children. False when the sink refused bytes.
bool WriteXml(const XmlDocument& document, XmlSink& sink);

// Writes into a file created anew. False when it could not be created or written completely.
bool SaveXmlFile(const XmlDocument& document, const std::filesystem::path& path);

std::string XmlToBytes(const XmlDocument& document);

}  // namespace melvane
