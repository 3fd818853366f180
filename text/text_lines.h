// A text sheet's lines for the line driver, and its transposed bytes. A line is listed without
// its end (LF, CRLF or CR, mixed as they come) and never with the byte order mark; everything
// that is not a changed piece goes out as the very bytes that came in.
//
// ChordPro is listed by its structure: on a line with "[...]" only each bracket's content is
// listed, as a one-piece line of its own, so the lyrics around it are never touched and the
// line gains or loses no space; of the directives "{...}" only the value of {key} is listed;
// "#" comment lines are not listed. Its other lines are listed whole, as in any text sheet.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "chords/note_table.h"
#include "chords/sheet.h"
#include "text/text_encoding.h"

namespace melvane {

// Where transposed bytes go: a file, a stream or a test's string.
class TextSink {
  public:
    virtual ~TextSink() = default;
    // False when the bytes could not be written; later writes are then not attempted.
    virtual bool Write(std::string_view bytes) = 0;
};

enum class ChordProListing {
    Off,
    On,
    FromFirstSign,  // a stream: from the first line that shows ChordPro on
};

struct TextListing {
    TextFormat format;
    ChordProListing chordPro = ChordProListing::Off;
    // No byte order mark and the whole cannot be seen first (a stream): each line's encoding is
    // decided on its own, as EncodingWithoutMark decides a whole text's.
    bool decideEachLine = false;
};

// True when a line shows ChordPro: a directive line ("{title: ...}") or a bracketed chord
// touching a letter ("[C]Some", "Some[G]where").
bool ShowsChordPro(std::string_view bytes, const TextFormat& format);

// How a whole text is read: its encoding, and ChordPro when its name says so or a line shows it.
TextListing ListingFor(std::string_view bytes, bool chordProByName);

struct TextOutcome {
    std::size_t changed = 0;  // pieces changed: lines, or ChordPro's bracketed chords and keys
    bool written = true;      // the sink took every byte
};

// The whole text transposed into `sink`.
TextOutcome TransposeTextBytes(std::string_view bytes, const TextListing& listing,
                               const NoteTable& notes, const TransposeSettings& settings,
                               TextSink& sink);

// A stream transposed into `sink`. Sheet-aware recognition reads all of it first; classic
// recognition transposes it line by line as it arrives, each line decided on its own where the
// whole would be (see TextListing).
TextOutcome TransposeTextStream(std::istream& in, const NoteTable& notes,
                                const TransposeSettings& settings, TextSink& sink);

// Every line of the text as a person reads it, for showing the sheet.
void ReadTextLines(std::string_view bytes, std::vector<std::u16string>& lines);

}  // namespace melvane
