#include "odt/odt_content.h"

#include <algorithm>
#include <string>
#include <vector>

#include "chords/transpose.h"
#include "documents/messages.h"
#include "odt/xml_reader.h"
#include "odt/xml_writer.h"

namespace melvane {
namespace {

bool IsTextName(std::u16string_view name) {
    return name.substr(0, 5) == u"text:";
}

// Every chord starts with a note letter from A to H, so a text without one has nothing to move;
// most lyrics are skipped here without a copy.
bool MayHoldChord(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= u'A' && c <= u'H'; });
}

// Transposes the runs of one node's text; see WalkTextNodes.
std::size_t TransposeRuns(XmlDocument& document, XmlNodeId node, const ChordShift& shift,
                          std::vector<std::size_t>& newOffsets) {
    const std::u16string& text = document.Text(node);
    if (!MayHoldChord(text)) {
        return 0;
    }
    if (document.ChildCount(node) == 0) {
        std::u16string moved = TransposeText(shift.notes, text, shift.steps, shift.spelling);
        if (moved == text) {
            return 0;
        }
        document.SetText(node, std::move(moved));
        return 1;
    }

    // The new text is only built once a run has changed; until then it is the old one.
    const std::u16string_view old = text;
    std::u16string result;
    std::size_t changed = 0;
    std::size_t position = 0;
    newOffsets.clear();
    const auto takeRun = [&](std::size_t length) {
        length = std::min(length, old.size() - position);
        const std::u16string_view run = old.substr(position, length);
        std::size_t newLength = length;
        const bool candidate = MayHoldChord(run);
        const std::u16string moved =
            candidate ? TransposeText(shift.notes, run, shift.steps, shift.spelling) : u"";
        if (candidate && moved != run) {
            if (changed++ == 0) {
                result.assign(old.substr(0, position));
            }
            result += moved;
            newLength = moved.size();
        } else if (changed > 0) {
            result += run;
        }
        position += length;
        return newLength;
    };
    for (XmlNodeId child = document.FirstChild(node); child != kNoXmlNode;
         child = document.NextSibling(child)) {
        newOffsets.push_back(takeRun(document.Offset(child)));
    }
    takeRun(text.size() - position);
    if (changed == 0) {
        return 0;
    }
    document.SetText(node, std::move(result));
    std::size_t index = 0;
    for (XmlNodeId child = document.FirstChild(node); child != kNoXmlNode;
         child = document.NextSibling(child)) {
        document.SetOffset(child, newOffsets[index++]);
    }
    return changed;
}

std::u16string ParseErrorText(const XmlParseError& error) {
    const auto number = [](std::uint64_t value) {
        const std::string digits = std::to_string(value);
        return std::u16string(digits.begin(), digits.end());
    };
    return MessageText(Message::XmlParseError, Language::English,
                       {error.message, number(error.line), number(error.column)});
}

}  // namespace

std::size_t WalkTextNodes(XmlDocument& document, XmlNodeId node, const ChordShift& shift) {
    std::size_t changed = 0;
    std::vector<std::size_t> offsets;
    // An explicit stack: a deeply nested file must not exhaust the call stack.
    std::vector<XmlNodeId> pending{node};
    while (!pending.empty()) {
        const XmlNodeId current = pending.back();
        pending.pop_back();
        if (IsTextName(document.Name(current))) {
            changed += TransposeRuns(document, current, shift, offsets);
        }
        // Siblings are taken last to first; each node's text is its own, so the order of the
        // visits does not matter.
        for (XmlNodeId child = document.FirstChild(current); child != kNoXmlNode;
             child = document.NextSibling(child)) {
            pending.push_back(child);
        }
    }
    return changed;
}

namespace {

// Walks a loaded text and writes it into `written`; `sourceSize` sizes the buffer, the new text
// being about as long as the old.
ContentResult TransposeLoaded(XmlLoadResult& loaded, std::size_t sourceSize,
                              const ChordShift& shift, UserMessages& messages,
                              std::string& written) {
    ContentResult result;
    switch (loaded.status) {
        case XmlLoadStatus::Missing:
        case XmlLoadStatus::Empty:
            result.status = ContentStatus::Missing;
            return result;
        case XmlLoadStatus::ReadFailed:
            result.status = ContentStatus::Unreadable;
            return result;
        case XmlLoadStatus::ParseError:
            messages.Show({MessageText(Message::ErrorTitle, Language::English),
                           ParseErrorText(loaded.error), MessageIcon::None});
            result.status = ContentStatus::ParseError;
            return result;
        case XmlLoadStatus::Loaded:
            break;
    }
    XmlDocument& document = loaded.document;
    const XmlNodeId top = document.DocumentElement();
    if (top != kNoXmlNode && document.Name(top) == u"office:document-content") {
        result.piecesChanged = WalkTextNodes(document, top, shift);
    }
    StringXmlSink sink;
    sink.bytes.reserve(sourceSize + sourceSize / 32 + 4096);
    WriteXml(document, sink);
    written = std::move(sink.bytes);
    result.status = ContentStatus::Transposed;
    return result;
}

}  // namespace

ContentResult TransposeContentXml(std::string& bytes, const ChordShift& shift,
                                  UserMessages& messages) {
    XmlLoadResult loaded = LoadXmlBytes(bytes);
    const std::size_t sourceSize = bytes.size();
    if (loaded.status != XmlLoadStatus::Loaded) {
        return TransposeLoaded(loaded, sourceSize, shift, messages, bytes);
    }
    // The source's bytes are not needed once parsed: at most the tree and the new text are held.
    std::string().swap(bytes);
    return TransposeLoaded(loaded, sourceSize, shift, messages, bytes);
}

ContentResult TransposeContentXml(const XmlSource& source, const ChordShift& shift,
                                  UserMessages& messages, std::string& written) {
    std::size_t sourceSize = 0;
    XmlLoadResult loaded = LoadXmlFrom([&](const XmlAllocate& allocate) {
        return source([&](std::size_t size) {
            sourceSize = size;
            return allocate(size);
        });
    });
    return TransposeLoaded(loaded, sourceSize, shift, messages, written);
}

}  // namespace melvane
