#include "text/text_lines.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <type_traits>

#include "chords/lines.h"

namespace melvane {
namespace {

constexpr std::size_t kFlushAt = std::size_t{1} << 18;
constexpr std::size_t kWriteDirectlyFrom = std::size_t{1} << 16;
constexpr std::size_t kReadBlock = std::size_t{1} << 16;

bool IsLittleEndian(TextEncoding encoding) {
    return encoding == TextEncoding::Utf16LE;
}

// The code unit at byte `at`.
char16_t UnitAt(std::string_view bytes, std::size_t at, std::size_t unit, bool little) {
    const auto first = static_cast<unsigned char>(bytes[at]);
    if (unit == 1) {
        return first;
    }
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<char16_t>(little ? second << 8 | first : first << 8 | second);
}

// Calls line(begin, end) for every line of bytes[start, limit), the end without the line end;
// `limit` is where the last whole code unit ends. No line is listed after a final line end.
template <class Line>
void ForEachLine(std::string_view bytes, std::size_t start, const TextFormat& format, Line&& line) {
    const std::size_t unit = format.UnitSize();
    const std::size_t limit = bytes.size() - (bytes.size() - std::min(start, bytes.size())) % unit;
    if (unit == 1) {
        // The next line feed and carriage return are each found once and kept until passed.
        const char* data = bytes.data();
        const auto find = [&](char c, std::size_t from) {
            const void* hit = std::memchr(data + from, c, limit - from);
            return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) : limit;
        };
        std::size_t nextLf = start < limit ? find('\n', start) : limit;
        std::size_t nextCr = start < limit ? find('\r', start) : limit;
        for (std::size_t pos = start; pos < limit;) {
            if (nextLf < pos) {
                nextLf = find('\n', pos);
            }
            if (nextCr < pos) {
                nextCr = find('\r', pos);
            }
            const std::size_t end = std::min(nextLf, nextCr);
            line(pos, end);
            pos = end + 1;
            if (end < limit && data[end] == '\r' && pos < limit && data[pos] == '\n') {
                ++pos;
            }
        }
        return;
    }
    const bool little = IsLittleEndian(format.encoding);
    std::size_t pos = start;
    for (std::size_t at = start; at < limit; at += 2) {
        const char16_t c = UnitAt(bytes, at, 2, little);
        if (c != u'\n' && c != u'\r') {
            continue;
        }
        line(pos, at);
        if (c == u'\r' && at + 2 < limit && UnitAt(bytes, at + 2, 2, little) == u'\n') {
            at += 2;
        }
        pos = at + 2;
    }
    if (pos < limit) {
        line(pos, limit);
    }
}

// ---- ChordPro structure, on a line's code units (bytes of UTF-8 or Windows-1252, whose ASCII
// characters are always bytes of their own, or UTF-16 units) -------------------------------

template <class Unit>
std::uint32_t Value(Unit c) {
    return static_cast<std::make_unsigned_t<Unit>>(c);
}

template <class Unit>
bool IsBlank(Unit c) {
    return c == ' ' || c == '\t';
}

// A letter of any script, as far as a line's structure needs to know: ASCII letters and every
// character beyond ASCII.
template <class Unit>
bool IsWordCharacter(Unit c) {
    const std::uint32_t v = Value(c);
    return (v | 0x20) - 'a' < 26 || v >= 0x80;
}

template <class Unit>
std::basic_string_view<Unit> Trimmed(std::basic_string_view<Unit> line, std::size_t& offset) {
    std::size_t begin = 0;
    std::size_t end = line.size();
    while (begin < end && IsBlank(line[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(line[end - 1])) {
        --end;
    }
    offset = begin;
    return line.substr(begin, end - begin);
}

// Where a directive's name starts ("{title: ...}", "{ soc }"), or 0 when `trimmed` is none.
template <class Unit>
std::size_t DirectiveName(std::basic_string_view<Unit> trimmed) {
    if (trimmed.size() < 3 || trimmed.front() != '{' || trimmed.back() != '}') {
        return 0;
    }
    std::size_t name = 1;
    while (name < trimmed.size() - 1 && IsBlank(trimmed[name])) {
        ++name;
    }
    return (Value(trimmed[name]) | 0x20) - 'a' < 26 ? name : 0;
}

// The next "[...]" at or after `from` holding no other bracket: where its content begins and
// ends, or false.
template <class Unit>
bool NextBracket(std::basic_string_view<Unit> line, std::size_t from, std::size_t& begin,
                 std::size_t& end) {
    // find() is memchr for bytes: most of a line is lyrics.
    for (std::size_t open = line.find('[', from); open != line.npos; open = line.find('[', open)) {
        std::size_t close = open + 1;
        while (close < line.size() && line[close] != ']' && line[close] != '[') {
            ++close;
        }
        if (close < line.size() && line[close] == ']') {
            begin = open + 1;
            end = close;
            return true;
        }
        open = close;
    }
    return false;
}

template <class Unit>
bool LineShowsChordPro(std::basic_string_view<Unit> line) {
    std::size_t offset = 0;
    if (DirectiveName(Trimmed(line, offset)) != 0) {
        return true;
    }
    std::size_t begin = 0;
    std::size_t end = 0;
    for (std::size_t from = 0; NextBracket(line, from, begin, end); from = end + 1) {
        const std::basic_string_view<Unit> content = line.substr(begin, end - begin);
        const bool chordLike = !content.empty() && (Value(content[0]) | 0x20) - 'a' < 8 &&
                               std::none_of(content.begin(), content.end(), IsBlank<Unit>);
        const bool touching = (begin >= 2 && IsWordCharacter(line[begin - 2])) ||
                              (end + 1 < line.size() && IsWordCharacter(line[end + 1]));
        if (chordLike && touching) {
            return true;
        }
    }
    return false;
}

// The directive's name without regard to case.
template <class Unit>
bool NameIs(std::basic_string_view<Unit> name, std::string_view lower) {
    return name.size() == lower.size() &&
           std::equal(name.begin(), name.end(), lower.begin(), [](Unit c, char l) {
               const std::uint32_t v = Value(c);
               return (v - 'A' < 26 ? v + 0x20 : v) == Value(l);
           });
}

// Calls piece(begin, end) for what a ChordPro line lists; false when the line is listed whole.
// `songStart` is set by a directive that starts a song ({title}, {new_song}); `keyValue` is set
// while {key}'s value is listed.
template <class Unit, class Piece>
bool ForEachChordProPiece(std::basic_string_view<Unit> line, Piece&& piece, bool& songStart,
                          bool& keyValue) {
    std::size_t offset = 0;
    const std::basic_string_view<Unit> trimmed = Trimmed(line, offset);
    if (!trimmed.empty() && trimmed.front() == '#') {
        return true;
    }
    if (const std::size_t start = DirectiveName(trimmed); start != 0) {
        std::size_t name = start;
        while (name < trimmed.size() - 1 && trimmed[name] != ':' && !IsBlank(trimmed[name])) {
            ++name;
        }
        const std::basic_string_view<Unit> directive = trimmed.substr(start, name - start);
        songStart = songStart || NameIs(directive, "title") || NameIs(directive, "t") ||
                    NameIs(directive, "new_song") || NameIs(directive, "ns");
        if (NameIs(directive, "key")) {
            std::size_t begin = name;
            std::size_t end = trimmed.size() - 1;
            while (begin < end && IsBlank(trimmed[begin])) {
                ++begin;
            }
            if (begin < end && trimmed[begin] == ':') {
                ++begin;
            }
            while (begin < end && IsBlank(trimmed[begin])) {
                ++begin;
            }
            while (end > begin && IsBlank(trimmed[end - 1])) {
                --end;
            }
            if (begin < end) {
                keyValue = true;
                piece(offset + begin, offset + end);
                keyValue = false;
            }
        }
        return true;
    }
    std::size_t begin = 0;
    std::size_t end = 0;
    bool any = false;
    for (std::size_t from = 0; NextBracket(line, from, begin, end); from = end + 1) {
        any = true;
        if (begin < end) {
            piece(begin, end);
        }
    }
    return any;
}

// ---- listing and writing -----------------------------------------------------------------

class LineLister {
  public:
    LineLister(const TextListing& listing, TextSink& sink) : listing_(listing), sink_(sink) {}

    // Lists the lines of block[start, ...); when writing, the block is written to its end, the
    // bytes before `start` included.
    void ListBlock(std::string_view block, std::size_t start, bool writing,
                   const LineDocument::TakeLine& take) {
        block_ = block;
        copied_ = 0;
        ForEachLine(block, start, listing_.format,
                    [&](std::size_t begin, std::size_t end) { ListLine(begin, end, take); });
        if (writing) {
            WriteUpTo(block.size());
        }
    }

    // A whole text listed again: the last pass's song mark does not carry over.
    void StartPass() { songStart_ = false; }

    void Apply(std::u16string_view text) {
        WriteUpTo(pieceBegin_);
        AppendEncoded(out_, text, encoding_);
        copied_ = pieceEnd_;
        if (out_.size() >= kFlushAt) {
            Flush();
        }
    }

    bool Flush() {
        if (!out_.empty()) {
            Send(out_);
            out_.clear();
        }
        return !failed_;
    }

  private:
    void ListLine(std::size_t begin, std::size_t end, const LineDocument::TakeLine& take) {
        const std::string_view bytes = block_.substr(begin, end - begin);
        encoding_ = listing_.format.encoding;
        if (listing_.format.UnitSize() == 1) {
            if (listing_.decideEachLine) {
                encoding_ = EncodingWithoutMark(bytes);
            }
            const auto piece = [&](std::size_t from, std::size_t to) {
                line_.clear();
                AppendDecoded(line_, bytes.substr(from, to - from), encoding_);
                Take(line_, begin + from, begin + to, take);
            };
            if (ChordPro(bytes) && ForEachChordProPiece(bytes, piece, songStart_, keyValue_)) {
                return;
            }
            line_.clear();
            AppendDecoded(line_, bytes, encoding_);
            Take(line_, begin, end, take);
            return;
        }
        line_.clear();
        AppendDecoded(line_, bytes, encoding_);
        const std::u16string_view units = line_;
        const auto piece = [&](std::size_t from, std::size_t to) {
            Take(units.substr(from, to - from), begin + 2 * from, begin + 2 * to, take);
        };
        if (ChordPro(units) && ForEachChordProPiece(units, piece, songStart_, keyValue_)) {
            return;
        }
        Take(units, begin, end, take);
    }

    template <class Unit>
    bool ChordPro(std::basic_string_view<Unit> line) {
        switch (listing_.chordPro) {
            case ChordProListing::Off:
                return false;
            case ChordProListing::On:
                return true;
            case ChordProListing::FromFirstSign:
                seenChordPro_ = seenChordPro_ || LineShowsChordPro(line);
                return seenChordPro_;
        }
        return false;
    }

    void Take(std::u16string_view text, std::size_t begin, std::size_t end,
              const LineDocument::TakeLine& take) {
        pieceBegin_ = begin;
        pieceEnd_ = end;
        const LinePiece piece{text, PieceId{begin}};
        LineInfo info;
        info.songStart = songStart_;
        info.keyValue = keyValue_;
        songStart_ = false;
        take(std::span(&piece, 1), info);
    }

    void WriteUpTo(std::size_t position) {
        const std::string_view run = block_.substr(copied_, position - copied_);
        copied_ = position;
        if (run.size() >= kWriteDirectlyFrom) {
            Flush();
            Send(run);
        } else {
            out_.append(run);
            if (out_.size() >= kFlushAt) {
                Flush();
            }
        }
    }

    void Send(std::string_view bytes) {
        if (!failed_ && !bytes.empty()) {
            failed_ = !sink_.Write(bytes);
        }
    }

    TextListing listing_;
    TextSink& sink_;
    bool seenChordPro_ = false;
    bool songStart_ = false;  // the next line listed starts a song
    bool keyValue_ = false;   // the line listed is {key}'s value
    bool failed_ = false;
    std::string_view block_;
    std::size_t copied_ = 0;  // bytes of the block written or stood in for
    std::size_t pieceBegin_ = 0;
    std::size_t pieceEnd_ = 0;
    TextEncoding encoding_ = TextEncoding::Utf8;  // the listed line's
    std::u16string line_;                         // kept from line to line
    std::string out_;
};

// A whole text in memory; when the sheet is learned first, the second pass writes.
class TextLines final : public LineDocument {
  public:
    TextLines(std::string_view bytes, const TextListing& listing, TextSink& sink, bool learnFirst)
        : bytes_(bytes),
          lister_(listing, sink),
          start_(listing.format.bomLength),
          passesLeft_(learnFirst ? 2 : 1) {}

    void ListLines(const TakeLine& take) override {
        --passesLeft_;
        lister_.StartPass();
        lister_.ListBlock(bytes_, start_, passesLeft_ == 0, take);
    }

    void Apply(PieceId, std::u16string_view text) override { lister_.Apply(text); }

    bool Finish() { return lister_.Flush(); }

  private:
    std::string_view bytes_;
    LineLister lister_;
    std::size_t start_;
    int passesLeft_;
};

// A stream transposed in one pass, a block of whole lines at a time.
class StreamLines final : public LineDocument {
  public:
    StreamLines(std::istream& in, TextSink& sink) : in_(in), sink_(sink) {}

    void ListLines(const TakeLine& take) override {
        std::vector<char> buffer(kReadBlock);
        std::string pending;
        bool first = true;
        bool atEnd = false;
        std::size_t start = 0;  // the byte order mark's length until the first block is listed
        while (!atEnd) {
            in_.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const auto got = static_cast<std::size_t>(in_.gcount());
            atEnd = got < buffer.size();
            pending.append(buffer.data(), got);
            if (first) {
                first = false;
                TextListing listing;
                listing.chordPro = ChordProListing::FromFirstSign;
                listing.decideEachLine = !FindByteOrderMark(pending, listing.format);
                start = listing.format.bomLength;
                lister_.emplace(listing, sink_);
                format_ = listing.format;
            }
            const std::size_t cut = atEnd ? pending.size() : WholeLinesEnd(pending, start);
            if (cut == 0 && !atEnd) {
                continue;  // no whole line yet
            }
            lister_->ListBlock(std::string_view(pending).substr(0, cut), start, true, take);
            lister_->Flush();
            pending.erase(0, cut);
            start = 0;
        }
    }

    void Apply(PieceId, std::u16string_view text) override { lister_->Apply(text); }

    bool Finish() { return !lister_ || lister_->Flush(); }

  private:
    // Where the last line end that is surely whole ends: a carriage return at the very end may
    // be followed by a line feed still to come.
    std::size_t WholeLinesEnd(std::string_view bytes, std::size_t start) const {
        const std::size_t unit = format_.UnitSize();
        const bool little = IsLittleEndian(format_.encoding);
        std::size_t at = bytes.size() - (bytes.size() - start) % unit;
        bool last = true;
        while (at > start) {
            at -= unit;
            const char16_t c = UnitAt(bytes, at, unit, little);
            if (c == u'\n' || (c == u'\r' && !last)) {
                return at + unit;
            }
            last = false;
        }
        return 0;
    }

    std::istream& in_;
    TextSink& sink_;
    TextFormat format_;
    std::optional<LineLister> lister_;
};

}  // namespace

bool ShowsChordPro(std::string_view bytes, const TextFormat& format) {
    if (format.UnitSize() == 1) {
        const std::string_view text = bytes.substr(format.bomLength);
        if (text.find('[') == std::string_view::npos && text.find('{') == std::string_view::npos) {
            return false;
        }
    }
    bool shows = false;
    std::u16string line;
    ForEachLine(bytes, format.bomLength, format, [&](std::size_t begin, std::size_t end) {
        if (shows) {
            return;
        }
        if (format.UnitSize() == 1) {
            shows = LineShowsChordPro(bytes.substr(begin, end - begin));
        } else {
            line.clear();
            AppendDecoded(line, bytes.substr(begin, end - begin), format.encoding);
            shows = LineShowsChordPro(std::u16string_view(line));
        }
    });
    return shows;
}

TextListing ListingFor(std::string_view bytes, bool chordProByName) {
    TextListing listing;
    listing.format = DetectTextFormat(bytes);
    listing.chordPro = chordProByName || ShowsChordPro(bytes, listing.format)
                           ? ChordProListing::On
                           : ChordProListing::Off;
    return listing;
}

TextOutcome TransposeTextBytes(std::string_view bytes, const TextListing& listing,
                               const NoteTable& notes, const TransposeSettings& settings,
                               TextSink& sink) {
    TextLines lines(bytes, listing, sink, NeedsLearning(settings));
    TextOutcome outcome;
    outcome.changed = TransposeLines(lines, notes, settings);
    outcome.written = lines.Finish();
    return outcome;
}

TextOutcome TransposeTextStream(std::istream& in, const NoteTable& notes,
                                const TransposeSettings& settings, TextSink& sink) {
    if (NeedsLearning(settings)) {
        std::string bytes;
        std::streambuf* buffer = in.rdbuf();
        const auto size = buffer->pubseekoff(0, std::ios::end, std::ios::in);
        if (size > 0 && buffer->pubseekoff(0, std::ios::beg, std::ios::in) == 0) {
            bytes.reserve(static_cast<std::size_t>(size));
        }
        std::vector<char> block(kReadBlock);
        while (in) {
            in.read(block.data(), static_cast<std::streamsize>(block.size()));
            bytes.append(block.data(), static_cast<std::size_t>(in.gcount()));
        }
        return TransposeTextBytes(bytes, ListingFor(bytes, false), notes, settings, sink);
    }
    StreamLines lines(in, sink);
    TextOutcome outcome;
    outcome.changed = TransposeLines(lines, notes, settings);
    outcome.written = lines.Finish();
    return outcome;
}

void ReadTextLines(std::string_view bytes, std::vector<std::u16string>& lines) {
    const TextFormat format = DetectTextFormat(bytes);
    ForEachLine(bytes, format.bomLength, format, [&](std::size_t begin, std::size_t end) {
        std::u16string& line = lines.emplace_back();
        AppendDecoded(line, bytes.substr(begin, end - begin), format.encoding);
    });
}

}  // namespace melvane
