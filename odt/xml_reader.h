// Loads an XML file into an XmlDocument with expat.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "odt/xml_document.h"

namespace melvane {

enum class XmlLoadStatus {
    Loaded,
    Missing,     // no file, or it cannot be opened
    Empty,       // the file has no bytes
    ReadFailed,  // the file broke off while being read
    ParseError,  // the parser stopped at an error; see XmlParseError
};

struct XmlParseError {
    int code = 0;
    std::u16string message;    // the parser's own text for the code
    std::uint64_t line = 0;    // 1-based
    std::uint64_t column = 0;  // 1-based
};

struct XmlLoadResult {
    XmlLoadStatus status = XmlLoadStatus::Missing;
    XmlDocument document;  // meaningful only when Loaded
    XmlParseError error;   // meaningful only for ParseError
};

// The file is fed to the parser in chunks of this many bytes.
inline constexpr std::size_t kXmlReadChunk = 16384;

// The most expat takes in one call (its length is an int).
inline constexpr std::size_t kXmlParseCallLimit = std::size_t{1} << 30;

XmlLoadResult LoadXmlFile(const std::filesystem::path& path);
// The same from bytes in memory, parsed in one call.
XmlLoadResult LoadXmlBytes(std::string_view bytes);

// A text read straight into the parser's buffer: the source asks `allocate` once for room for
// the whole text (nullptr when there is none), fills it and returns true; false when the text
// could not be read. A source that never asks gives an empty text.
using XmlAllocate = std::function<char*(std::size_t size)>;
using XmlSource = std::function<bool(const XmlAllocate& allocate)>;
// Parsed in one call over the filled buffer, with no copy of the text on the way.
XmlLoadResult LoadXmlFrom(const XmlSource& source);

// The line-break style of a file, judged from its first chunk of bytes.
LineBreakStyle DetectLineBreakStyle(std::string_view firstChunk);

}  // namespace melvane
