// libFuzzer target over both passes of sheet-aware transposition: any sheet, any step, either
// spelling and naming, each line cut into pieces where the input says. Neither pass may crash,
// and a line keeps its shape: as many tokens and tabs as before, a piece for every piece, and
// a line without a note letter comes back as it was.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "chords/sheet.h"

namespace {

struct Shape {
    std::size_t tokens = 0;
    std::size_t tabs = 0;
};

Shape ShapeOf(std::u16string_view text) {
    Shape shape;
    bool inToken = false;
    for (char16_t c : text) {
        const bool separator = c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v';
        shape.tabs += c == u'\t';
        shape.tokens += !separator && !inToken;
        inToken = !separator;
    }
    return shape;
}

bool HasNoteLetter(std::u16string_view text) {
    for (char16_t c : text) {
        if ((c >= u'A' && c <= u'H') || (c >= u'a' && c <= u'h')) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const melvane::NoteTable table = melvane::BuildNoteTables();
    if (size < 2) {
        return 0;
    }
    melvane::TransposeSettings settings;
    settings.steps = static_cast<int>(data[0] % 25) - 12;
    // Sharps, flats, or by key.
    settings.spelling = (data[0] / 25) % 2 != 0 ? melvane::kSpellByKey : data[1] & 1;
    settings.naming = static_cast<melvane::NoteNaming>((data[1] >> 1) % 3);
    settings.germanReader = (data[1] & 8) != 0;
    const std::size_t pieceLength = 1 + (data[1] >> 4);  // 16 or more: mostly whole lines

    std::u16string text((size - 2) / 2, u'\0');
    std::memcpy(text.data(), data + 2, text.size() * 2);
    std::vector<std::u16string_view> lines;
    const std::u16string_view all = text;
    for (std::size_t start = 0; start <= all.size();) {
        std::size_t end = all.find(u'\n', start);
        if (end == std::u16string_view::npos) {
            end = all.size();
        }
        lines.push_back(all.substr(start, end - start));
        start = end + 1;
    }

    // A line starting with "#" starts a song, as a heading does in a document.
    const auto startsSong = [](std::u16string_view line) {
        return !line.empty() && line.front() == u'#';
    };
    melvane::SheetTransposer sheet(table, settings);
    for (std::u16string_view line : lines) {
        if (startsSong(line)) {
            sheet.StartSong();
        }
        sheet.Learn(line);
    }
    std::size_t song = 0;
    sheet.UseSong(song);
    std::size_t index = 0;
    for (std::u16string_view line : lines) {
        if (startsSong(line)) {
            sheet.UseSong(++song);
        }
        sheet.UseLine(index++);
        // Pieces of blanks alone stand in for a document's tab and spaces elements.
        std::vector<std::u16string_view> pieces;
        std::vector<std::uint8_t> standIns;
        for (std::size_t at = 0; at < line.size(); at += pieceLength) {
            pieces.push_back(line.substr(at, pieceLength));
            standIns.push_back(pieces.back().find_first_not_of(u" \t") ==
                               std::u16string_view::npos);
        }
        const std::vector<std::u16string> moved = sheet.TransposeLine(pieces, standIns);
        for (std::size_t i = 0; i < moved.size() && i < pieces.size(); ++i) {
            if (standIns[i] != 0 && moved[i] != pieces[i]) {
                std::abort();
            }
        }
        const std::u16string whole = sheet.TransposeLine(line);
        std::u16string joined;
        for (const std::u16string& piece : moved) {
            joined += piece;
        }
        const Shape before = ShapeOf(line);
        const Shape after = ShapeOf(joined);
        const Shape wholeAfter = ShapeOf(whole);
        if (moved.size() != pieces.size() || after.tokens != before.tokens ||
            after.tabs != before.tabs || wholeAfter.tokens != before.tokens ||
            wholeAfter.tabs != before.tabs || (!HasNoteLetter(line) && whole != line)) {
            std::abort();
        }
    }
    return 0;
}
