// The song sheet's text: content.xml loaded, its text elements transposed, written back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "chords/note_table.h"
#include "odt/xml_document.h"
#include "odt/xml_reader.h"
#include "platform/user_messages.h"

namespace melvane {

struct ChordShift {
    const NoteTable& notes;
    std::int64_t steps = 0;
    int spelling = 0;  // 0 sharps, 1 flats
};

// Transposes the text of every node below and including `node` whose name starts with "text:".
// Each run of a node's text between two of its children (and before the first, after the last)
// is one piece: chords never join across a tab or line-break element, and every child stays
// between the same two runs. Returns how many pieces changed.
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
};

// Parses the bytes of content.xml (in one pass over memory), transposes them and puts the
// written XML in their place. A parse error is shown through `messages` (in English, as the
// parser words it) and leaves the bytes as they were.
ContentResult TransposeContentXml(std::string& bytes, const ChordShift& shift,
                                  UserMessages& messages);
// The same for a text read straight into the parser's buffer (see LoadXmlFrom), so that it is
// held once while it is parsed; the written XML goes to `written`.
ContentResult TransposeContentXml(const XmlSource& source, const ChordShift& shift,
                                  UserMessages& messages, std::string& written);

}  // namespace melvane
