#include "odt/odt_content.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <unordered_map>
#include <utility>
#include <string>
#include <vector>

#include "chords/lines.h"
#include "odt/xml_reader.h"
#include "odt/xml_writer.h"

namespace melvane {
namespace {

bool IsTextName(std::u16string_view name) {
    return name.substr(0, 5) == u"text:";
}

// One piece of a line: run `run` of a node's text (the text before its first child is run 0),
// or text that only stands for an element (a tab, spaces), which is never written back. A
// content entry is capped far below 4 GiB, so 32 bits hold every count.
struct RunPiece {
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

// Where songs start in a songbook, and which paragraphs look like a song's title. Read from the
// paragraphs (not inside another paragraph) and the automatic styles of content.xml: a heading
// and a page break start a song; a paragraph whose text is all bold, or larger than the
// paragraph after it, may be a title (the line driver decides).
class SongMarks {
  public:
    SongMarks(const XmlDocument& document, XmlNodeId top) : document_(document) {
        ReadStyles(top);
        // Paragraphs in document order; a paragraph's title mark waits for the next one's size.
        std::optional<Paragraph> previous;
        bool breakAfterPrevious = false;
        const auto mark = [&](const Paragraph& p, const Paragraph* next) {
            LineInfo info;
            info.songStart = p.heading || p.breakBefore || breakAfterPrevious;
            info.title = p.text && (p.allBold || (next != nullptr && next->size > 0 &&
                                                  p.size > next->size));
            if (info.songStart || info.title) {
                marks_.emplace(p.node, info);
            }
            breakAfterPrevious = p.breakAfter;
        };
        // Depth first, holding only the path down to the node: a songbook's body has tens of
        // thousands of paragraphs side by side.
        std::vector<XmlNodeId> path;
        XmlNodeId node = document_.FirstChild(top);
        while (node != kNoXmlNode || !path.empty()) {
            if (node == kNoXmlNode) {
                node = document_.NextSibling(path.back());
                path.pop_back();
                continue;
            }
            if (document_.Kind(node) == XmlNodeKind::Element && IsParagraph(document_.Name(node))) {
                Paragraph paragraph = Read(node);
                if (previous) {
                    mark(*previous, &paragraph);
                }
                previous = paragraph;  // a paragraph inside it is a note's, not the songbook's
            } else if (document_.Kind(node) == XmlNodeKind::Element &&
                       document_.FirstChild(node) != kNoXmlNode) {
                path.push_back(node);
                node = document_.FirstChild(node);
                continue;
            }
            node = document_.NextSibling(node);
        }
        if (previous) {
            mark(*previous, nullptr);
        }
    }

    LineInfo Of(XmlNodeId paragraph) const {
        const auto found = marks_.find(paragraph);
        return found == marks_.end() ? LineInfo{} : found->second;
    }

  private:
    struct Style {
        std::u16string_view parent;
        bool breakBefore = false;
        bool breakAfter = false;
        std::optional<bool> bold;
        int size = 0;  // hundredths of a point; 0 when not given
    };
    struct Paragraph {
        XmlNodeId node;
        bool heading;
        bool breakBefore;
        bool breakAfter;
        bool text = false;
        bool allBold = true;
        int size = 0;
    };

    std::u16string_view AttributeOf(XmlNodeId node, std::u16string_view name) const {
        for (std::size_t i = 0; i < document_.AttributeCount(node); ++i) {
            const XmlAttributeView attribute = document_.Attribute(node, i);
            if (attribute.name == name) {
                return attribute.value;
            }
        }
        return {};
    }

    static int PointSize(std::u16string_view value) {
        if (value.size() < 3 || value.substr(value.size() - 2) != u"pt") {
            return 0;
        }
        int hundredths = 0;
        int decimals = -1;
        for (char16_t c : value.substr(0, value.size() - 2)) {
            if (c == u'.' && decimals < 0) {
                decimals = 0;
            } else if (c >= u'0' && c <= u'9' && decimals < 2 && hundredths < 1000000) {
                hundredths = hundredths * 10 + (c - u'0');
                decimals += decimals >= 0 ? 1 : 0;
            } else if (!(c >= u'0' && c <= u'9')) {
                return 0;
            }
        }
        for (int d = std::max(decimals, 0); d < 2; ++d) {
            hundredths *= 10;
        }
        return hundredths;
    }

    void ReadStyles(XmlNodeId top) {
        for (XmlNodeId section = document_.FirstChild(top); section != kNoXmlNode;
             section = document_.NextSibling(section)) {
            if (document_.Name(section) != u"office:automatic-styles") {
                continue;
            }
            for (XmlNodeId node = document_.FirstChild(section); node != kNoXmlNode;
                 node = document_.NextSibling(node)) {
                if (document_.Name(node) != u"style:style") {
                    continue;
                }
                Style style;
                style.parent = AttributeOf(node, u"style:parent-style-name");
                for (XmlNodeId p = document_.FirstChild(node); p != kNoXmlNode;
                     p = document_.NextSibling(p)) {
                    const std::u16string_view name = document_.Name(p);
                    if (name == u"style:paragraph-properties") {
                        style.breakBefore = AttributeOf(p, u"fo:break-before") == u"page";
                        style.breakAfter = AttributeOf(p, u"fo:break-after") == u"page";
                    } else if (name == u"style:text-properties") {
                        const std::u16string_view weight = AttributeOf(p, u"fo:font-weight");
                        if (!weight.empty()) {
                            style.bold = weight == u"bold" || (weight.size() == 3 &&
                                                              weight >= u"600" && weight <= u"900");
                        }
                        style.size = PointSize(AttributeOf(p, u"fo:font-size"));
                    }
                }
                styles_.emplace(AttributeOf(node, u"style:name"), style);
            }
        }
    }

    // A style and its automatic parents, nearest first; a loop is cut.
    template <typename Get>
    auto Inherited(std::u16string_view name, Get get) const
        -> decltype(get(std::declval<const Style&>())) {
        for (int depth = 0; depth < 16 && !name.empty(); ++depth) {
            const auto found = styles_.find(name);
            if (found == styles_.end()) {
                break;
            }
            if (const auto value = get(found->second)) {
                return value;
            }
            name = found->second.parent;
        }
        return {};
    }

    Paragraph Read(XmlNodeId node) const {
        const std::u16string_view styleName = AttributeOf(node, u"text:style-name");
        const auto has = [&](auto field) {
            return Inherited(styleName, [&](const Style& s) { return s.*field; });
        };
        Paragraph paragraph{node, document_.Name(node) == u"text:h", has(&Style::breakBefore),
                            has(&Style::breakAfter)};
        const std::optional<bool> bold =
            Inherited(styleName, [](const Style& s) { return s.bold; });
        const int size = Inherited(styleName, [](const Style& s) { return s.size; });
        Emphasis(node, bold.value_or(false), size, paragraph);
        return paragraph;
    }

    // Walks a paragraph's spans: is all its text bold, and its largest type.
    void Emphasis(XmlNodeId top, bool bold, int size, Paragraph& paragraph) const {
        struct Frame {
            XmlNodeId node;
            bool bold;
            int size;
        };
        std::vector<Frame> frames{{top, bold, size}};
        while (!frames.empty()) {
            const Frame frame = frames.back();
            frames.pop_back();
            const std::u16string& text = document_.Text(frame.node);
            if (std::any_of(text.begin(), text.end(), [](char16_t c) { return c > u' '; })) {
                paragraph.text = true;
                paragraph.allBold = paragraph.allBold && frame.bold;
                paragraph.size = std::max(paragraph.size, frame.size);
            }
            for (XmlNodeId child = document_.FirstChild(frame.node); child != kNoXmlNode;
                 child = document_.NextSibling(child)) {
                if (document_.Kind(child) != XmlNodeKind::Element) {
                    continue;
                }
                const std::u16string_view style = AttributeOf(child, u"text:style-name");
                const std::optional<bool> childBold =
                    Inherited(style, [](const Style& s) { return s.bold; });
                const int childSize = Inherited(style, [](const Style& s) { return s.size; });
                frames.push_back({child, childBold.value_or(frame.bold),
                                  childSize > 0 ? childSize : frame.size});
            }
        }
    }

    const XmlDocument& document_;
    std::unordered_map<std::u16string_view, Style> styles_;
    std::unordered_map<XmlNodeId, LineInfo> marks_;
};

// Hands the lines of content.xml to a callback in document order, each as its pieces; nothing
// is kept, so both passes walk the tree again instead of holding every line. Text of "text:"
// elements outside any paragraph makes a line per run.
class LineCollector {
  public:
    using OnLine = std::function<void(const std::vector<RunPiece>&, const LineInfo&)>;
    // `marks` tells what starts with a paragraph that is not inside another one.
    LineCollector(const XmlDocument& document, const SongMarks& marks, OnLine onLine)
        : document_(document), marks_(marks), onLine_(std::move(onLine)) {}

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
                if (open_.empty()) {
                    // An empty heading still starts its song: the mark waits for a line.
                    const LineInfo mark = marks_.Of(node);
                    info_.songStart |= mark.songStart;
                    info_.title = mark.title;
                }
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
                onLine_(single_, LineInfo{});
            }
            return;
        }
        open_.back().push_back({node, static_cast<std::uint32_t>(run),
                                static_cast<std::uint32_t>(start),
                                static_cast<std::uint32_t>(length)});
    }

    void StandIn(std::uint32_t at) { open_.back().push_back({kNoXmlNode, 0, at, 1}); }

    void EndLine() {
        std::vector<RunPiece>& line = open_.back();
        if (!line.empty()) {
            const LineInfo info = open_.size() == 1 ? std::exchange(info_, LineInfo{}) : LineInfo{};
            onLine_(line, info);
            line.clear();
        }
    }

    const XmlDocument& document_;
    const SongMarks& marks_;
    LineInfo info_;                             // for the next line of an outer paragraph
    std::vector<std::vector<RunPiece>> open_;  // the line being built, per open paragraph
    OnLine onLine_;
    std::function<void()> onParagraphLeft_;
    std::vector<RunPiece> single_;
};

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

// The document's lines for the line driver. The tree is only changed once every line has been
// read, and then only where the walk has left for good: the changes of each paragraph are
// written as the walk leaves it, so they are never held for the whole document.
class OdtLines : public LineDocument {
  public:
    OdtLines(XmlDocument& document, XmlNodeId top) : document_(document), top_(top) {}

    void ListLines(const TakeLine& take) override {
        if (!marks_) {
            marks_.emplace(document_, top_);
        }
        LineCollector collector(document_, *marks_, [&](const std::vector<RunPiece>& pieces,
                                                        const LineInfo& info) {
            line_.clear();
            for (const RunPiece& piece : pieces) {
                line_.push_back(
                    piece.node == kNoXmlNode
                        ? LinePiece{kStandIns.substr(piece.start, piece.length)}
                        : LinePiece{std::u16string_view(document_.Text(piece.node))
                                                 .substr(piece.start, piece.length),
                                             (PieceId{piece.node} << 32) | piece.run});
            }
            outsideParagraphs_ = collector_->OutsideParagraphs();
            take(line_, info);
        });
        collector_ = &collector;
        collector.OnParagraphLeft([this] {
            if (!waitForTheEnd_) {
                Flush();
            }
        });
        collector.Collect(top_);
        collector_ = nullptr;
        Flush();
    }

    void Apply(PieceId piece, std::u16string_view text) override {
        changes_.push_back({static_cast<XmlNodeId>(piece >> 32), static_cast<std::uint32_t>(piece),
                            static_cast<std::uint32_t>(newTexts_.size()),
                            static_cast<std::uint32_t>(text.size())});
        newTexts_ += text;
        // A change to text outside paragraphs may belong to an element still open: then
        // everything waits for the end.
        waitForTheEnd_ |= outsideParagraphs_;
    }

  private:
    void Flush() {
        // A node's runs can belong to different lines (a span around a line break).
        const auto before = [](const NewRun& a, const NewRun& b) {
            return a.node != b.node ? a.node < b.node : a.run < b.run;
        };
        if (!std::is_sorted(changes_.begin(), changes_.end(), before)) {
            std::stable_sort(changes_.begin(), changes_.end(), before);
        }
        for (std::size_t i = 0; i < changes_.size();) {
            std::size_t end = i;
            while (end < changes_.size() && changes_[end].node == changes_[i].node) {
                ++end;
            }
            ReplaceRuns(document_, changes_[i].node, changes_.data() + i, changes_.data() + end,
                        newTexts_, scratch_);
            i = end;
        }
        changes_.clear();
        newTexts_.clear();
    }

    XmlDocument& document_;
    XmlNodeId top_;
    std::optional<SongMarks> marks_;
    LineCollector* collector_ = nullptr;
    std::vector<LinePiece> line_;
    bool outsideParagraphs_ = false;
    bool waitForTheEnd_ = false;
    std::vector<NewRun> changes_;
    std::u16string newTexts_;
    ReplaceScratch scratch_;
};

}  // namespace

std::size_t WalkTextNodes(XmlDocument& document, XmlNodeId node, const ChordShift& shift) {
    OdtLines lines(document, node);
    return TransposeLines(lines, shift.notes, shift.transpose);
}

namespace {

// Walks a loaded text and writes it into `written`; `sourceSize` sizes the buffer, the new text
// being about as long as the old.
ContentResult TransposeLoaded(XmlLoadResult& loaded, std::size_t sourceSize,
                              const ChordShift& shift, std::string& written) {
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
            result.error = std::move(loaded.error);
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

ContentResult TransposeContentXml(std::string& bytes, const ChordShift& shift) {
    XmlLoadResult loaded = LoadXmlBytes(bytes);
    const std::size_t sourceSize = bytes.size();
    if (loaded.status != XmlLoadStatus::Loaded) {
        return TransposeLoaded(loaded, sourceSize, shift, bytes);
    }
    // The source's bytes are not needed once parsed: at most the tree and the new text are held.
    std::string().swap(bytes);
    return TransposeLoaded(loaded, sourceSize, shift, bytes);
}

ContentResult TransposeContentXml(const XmlSource& source, const ChordShift& shift,
                                  std::string& written) {
    std::size_t sourceSize = 0;
    XmlLoadResult loaded = LoadXmlFrom([&](const XmlAllocate& allocate) {
        return source([&](std::size_t size) {
            sourceSize = size;
            return allocate(size);
        });
    });
    return TransposeLoaded(loaded, sourceSize, shift, written);
}

}  // namespace melvane
