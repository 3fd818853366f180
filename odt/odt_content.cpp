#include "odt/odt_content.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "chords/sheet.h"
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
        std::u16string moved =
            TransposeText(shift.notes, text, shift.transpose.steps, shift.transpose.spelling);
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
            candidate
                ? TransposeText(shift.notes, run, shift.transpose.steps, shift.transpose.spelling)
                : u"";
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

// ---- sheet-aware: the document as lines -------------------------------------------------

// One piece of a line: run `run` of a node's text (the text before its first child is run 0),
// or text that only stands for an element (a tab, spaces), which is never written back. A
// content entry is capped far below 4 GiB, so 32 bits hold every count.
struct LinePiece {
    XmlNodeId node = kNoXmlNode;
    std::uint32_t run = 0;
    std::uint32_t start = 0;  // in the node's text, or in kStandIns
    std::uint32_t length = 0;
};

// What a tab and a text:s element stand for in a line. One space is as good as the element's
// count: spaces only separate tokens here, and columns are kept only with spaces of the chord's
// own piece, which a stand-in never is. So a file full of text:c="1000000" costs nothing.
constexpr std::u16string_view kStandIns = u"\t ";

bool IsParagraph(std::u16string_view name) {
    return name == u"text:p" || name == u"text:h";
}

// Hands the lines of content.xml to a callback in document order, each as its pieces; nothing
// is kept, so both passes walk the tree again instead of holding every line. Text of "text:"
// elements outside any paragraph makes a line per run.
class LineCollector {
  public:
    using OnLine = std::function<void(const std::vector<LinePiece>&)>;
    LineCollector(const XmlDocument& document, OnLine onLine)
        : document_(document), onLine_(std::move(onLine)) {}

    // Called each time the walk leaves a paragraph that is not inside another one: every node
    // inside it has then been read in full and is never visited again.
    void OnParagraphLeft(std::function<void()> onLeft) { onParagraphLeft_ = std::move(onLeft); }
    // The line being handed over is text outside any paragraph (a run of an element that may
    // still be open).
    bool OutsideParagraphs() const { return open_.empty(); }

    void Collect(XmlNodeId top) {
        // Explicit stacks: a deeply nested file must not exhaust the call stack.
        struct Frame {
            XmlNodeId node;
            XmlNodeId nextChild;
            std::size_t run;
            std::size_t position;  // in the node's text
            bool paragraph;
        };
        std::vector<Frame> frames;
        const auto enter = [&](XmlNodeId node) {
            const bool paragraph = IsParagraph(document_.Name(node));
            if (paragraph) {
                open_.emplace_back();
            }
            frames.push_back({node, document_.FirstChild(node), 0, 0, paragraph});
        };
        enter(top);
        while (!frames.empty()) {
            Frame& frame = frames.back();
            const std::u16string& text = document_.Text(frame.node);
            if (frame.nextChild == kNoXmlNode) {
                TakeRun(frame.node, frame.run, frame.position, text.size() - frame.position);
                const bool paragraph = frame.paragraph;
                if (paragraph) {
                    EndLine();
                    open_.pop_back();
                }
                frames.pop_back();
                if (paragraph && open_.empty() && onParagraphLeft_) {
                    onParagraphLeft_();
                }
                continue;
            }
            const XmlNodeId child = frame.nextChild;
            const std::size_t length =
                std::min(document_.Offset(child), text.size() - frame.position);
            TakeRun(frame.node, frame.run, frame.position, length);
            frame.position += length;
            ++frame.run;
            frame.nextChild = document_.NextSibling(child);

            const std::u16string_view name = document_.Name(child);
            if (!open_.empty() && name == u"text:line-break") {
                EndLine();
            } else if (!open_.empty() && name == u"text:tab") {
                StandIn(0);
            } else if (!open_.empty() && name == u"text:s") {
                StandIn(1);
            } else {
                enter(child);  // the reference to `frame` is not used after this
            }
        }
    }

  private:
    void TakeRun(XmlNodeId node, std::size_t run, std::size_t start, std::size_t length) {
        if (!IsTextName(document_.Name(node))) {
            return;
        }
        if (open_.empty()) {
            if (length > 0) {
                single_.assign(
                    1, {node, static_cast<std::uint32_t>(run), static_cast<std::uint32_t>(start),
                        static_cast<std::uint32_t>(length)});
                onLine_(single_);
            }
            return;
        }
        open_.back().push_back({node, static_cast<std::uint32_t>(run),
                                static_cast<std::uint32_t>(start),
                                static_cast<std::uint32_t>(length)});
    }

    void StandIn(std::uint32_t at) { open_.back().push_back({kNoXmlNode, 0, at, 1}); }

    void EndLine() {
        std::vector<LinePiece>& line = open_.back();
        if (!line.empty()) {
            onLine_(line);
            line.clear();
        }
    }

    const XmlDocument& document_;
    std::vector<std::vector<LinePiece>> open_;  // the line being built, per open paragraph
    OnLine onLine_;
    std::function<void()> onParagraphLeft_;
    std::vector<LinePiece> single_;
};

bool MayHoldAnyChord(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) {
        return (c >= u'A' && c <= u'H') || (c >= u'a' && c <= u'h');
    });
}

// A run's new text, kept in one shared buffer: a songbook has tens of thousands of them.
struct NewRun {
    XmlNodeId node;
    std::uint32_t run;
    std::uint32_t start;  // in the buffer of new texts
    std::uint32_t length;
};

// Buffers ReplaceRuns keeps from node to node.
struct ReplaceScratch {
    std::u16string text;
    std::vector<std::size_t> offsets;
};

// Rewrites one node's text with some of its runs replaced; children keep their places. The new
// text goes into the old one's memory when it fits, else into memory of its exact size: tens of
// thousands of chord lines must not leave as many freed blocks behind.
void ReplaceRuns(XmlDocument& document, XmlNodeId node, const NewRun* first, const NewRun* last,
                 std::u16string_view newTexts, ReplaceScratch& scratch) {
    const std::u16string_view old = document.Text(node);
    std::u16string& result = scratch.text;
    result.clear();
    std::size_t position = 0;
    std::size_t run = 0;
    const auto takeRun = [&](std::size_t length) {
        length = std::min(length, old.size() - position);
        const std::size_t before = result.size();
        if (first != last && first->run == run) {
            result += newTexts.substr(first->start, first->length);
            ++first;
        } else {
            result += old.substr(position, length);
        }
        position += length;
        ++run;
        return result.size() - before;
    };
    std::vector<std::size_t>& offsets = scratch.offsets;
    offsets.clear();
    for (XmlNodeId child = document.FirstChild(node); child != kNoXmlNode;
         child = document.NextSibling(child)) {
        offsets.push_back(takeRun(document.Offset(child)));
    }
    takeRun(old.size() - position);
    std::u16string& text = document.MutableText(node);
    if (result.size() <= text.capacity()) {
        text.assign(result);
    } else {
        document.SetText(node, std::u16string(result));
    }
    std::size_t index = 0;
    for (XmlNodeId child = document.FirstChild(node); child != kNoXmlNode;
         child = document.NextSibling(child)) {
        document.SetOffset(child, offsets[index++]);
    }
}

std::size_t WalkLines(XmlDocument& document, XmlNodeId top, const ChordShift& shift) {
    SheetTransposer sheet(shift.notes, shift.transpose);
    std::u16string line;
    std::vector<std::u16string_view> texts;
    const auto gather = [&](const std::vector<LinePiece>& pieces) {
        texts.clear();
        line.clear();
        for (const LinePiece& piece : pieces) {
            texts.push_back(piece.node == kNoXmlNode
                                ? kStandIns.substr(piece.start, piece.length)
                                : std::u16string_view(document.Text(piece.node))
                                      .substr(piece.start, piece.length));
            line.append(texts.back());
        }
    };
    LineCollector(document, [&](const std::vector<LinePiece>& pieces) {
        gather(pieces);
        sheet.Learn(line);
    }).Collect(top);

    // The tree is only changed once every line has been read, and then only where the walk
    // has left for good: the changes of each paragraph are written as the walk leaves it, so
    // they are never held for the whole document.
    std::vector<NewRun> changes;
    std::u16string newTexts;
    ReplaceScratch scratch;
    std::size_t changed = 0;
    // A change to text outside paragraphs may belong to an element still open: then everything
    // waits for the end.
    bool waitForTheEnd = false;
    const auto apply = [&] {
        // A node's runs can belong to different lines (a span around a line break).
        const auto before = [](const NewRun& a, const NewRun& b) {
            return a.node != b.node ? a.node < b.node : a.run < b.run;
        };
        if (!std::is_sorted(changes.begin(), changes.end(), before)) {
            std::stable_sort(changes.begin(), changes.end(), before);
        }
        for (std::size_t i = 0; i < changes.size();) {
            std::size_t end = i;
            while (end < changes.size() && changes[end].node == changes[i].node) {
                ++end;
            }
            ReplaceRuns(document, changes[i].node, changes.data() + i, changes.data() + end,
                        newTexts, scratch);
            i = end;
        }
        changed += changes.size();
        changes.clear();
        newTexts.clear();
    };
    LineCollector collector(document, [&](const std::vector<LinePiece>& pieces) {
        gather(pieces);
        if (!MayHoldAnyChord(line)) {
            return;
        }
        std::vector<std::u16string> moved = sheet.TransposeLine(texts);
        for (std::size_t i = 0; i < moved.size(); ++i) {
            const LinePiece& piece = pieces[i];
            if (piece.node != kNoXmlNode && moved[i] != texts[i]) {
                changes.push_back({piece.node, piece.run,
                                   static_cast<std::uint32_t>(newTexts.size()),
                                   static_cast<std::uint32_t>(moved[i].size())});
                newTexts += moved[i];
                waitForTheEnd |= collector.OutsideParagraphs();
            }
        }
    });
    collector.OnParagraphLeft([&] {
        if (!waitForTheEnd) {
            apply();
        }
    });
    collector.Collect(top);
    apply();
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
    if (shift.transpose.recognition == Recognition::SheetAware) {
        return WalkLines(document, node, shift);
    }
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
