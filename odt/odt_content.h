// The song sheet's text: content.xml loaded, its text elements transposed, written back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "chords/note_table.h"
#include "chords/sheet.h"
#include "odt/xml_document.h"
#include "odt/xml_reader.h"

namespace melvane {

struct ChordShift {
    const NoteTable& notes;
    TransposeSettings transpose;
};

// Transposes the text of every node below and including `node` whose name starts with "text:".
// Each run of a node's text between two of its children (and before the first, after the last)
// is one piece, and every child stays between the same two runs. Returns how many pieces
// changed.
//
// The lines handed to the line driver are a paragraph's text up to each line break, with a tab
// element standing in as a tab and a space element as a space; text of "text:" elements outside
// any paragraph is a line per run.
std::size_t WalkTextNodes(XmlDocument& document, XmlNodeId node, const ChordShift& shift);

enum class ContentStatus {
    Transposed,  // walked (when it is an office document) and written back
    Missing,     // no content.xml, or an empty one: left as it is
    ParseError,  // not well-formed: reported, left as it is
    Unreadable,  // the text could not be read (its source says why)
};

struct ContentResult {
    ContentStatus status = ContentStatus::Missing;
    std::size_t piecesChanged = 0;
    XmlParseError error;  // with ParseError
};

// Parses the bytes of content.xml (in one pass over memory), transposes them and puts the
// written XML in their place. A parse error leaves the bytes as they were.
ContentResult TransposeContentXml(std::string& bytes, const ChordShift& shift);
// The same for a text read straight into the parser's buffer (see LoadXmlFrom), so that it is
// held once while it is parsed; the written XML goes to `written`.
ContentResult TransposeContentXml(const XmlSource& source, const ChordShift& shift,
                                  std::string& written);

}  // namespace melvane
