// Both passes of SheetTransposer over standard input with every line cut into pieces at seeded
// random places, the way documents hand their runs over; prints each line's pieces joined by
// U+241F. sheet_differential.py builds it against two builds of chords/ and compares them, as
// melvane-cli --text only ever passes whole lines.
//
// usage: pieces_driver STEPS SPELLING classic|aware auto|german|english en|de SEED
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "chords/sheet.h"

namespace {

// UTF-8 as far as it is valid; any other byte becomes a unit of its own (0xDC00 + byte), so
// random bytes survive the round trip and reach the transposer.
std::u16string Decode(std::string_view bytes) {
    std::u16string text;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const auto next = [&](std::size_t k) {
            return i + k < bytes.size() && (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80
                       ? static_cast<unsigned char>(bytes[i + k]) & 0x3F
                       : -1;
        };
        if (b < 0x80) {
            text += static_cast<char16_t>(b);
            ++i;
        } else if ((b & 0xE0) == 0xC0 && next(1) >= 0) {
            text += static_cast<char16_t>(((b & 0x1F) << 6) | next(1));
            i += 2;
        } else if ((b & 0xF0) == 0xE0 && next(1) >= 0 && next(2) >= 0) {
            text += static_cast<char16_t>(((b & 0x0F) << 12) | (next(1) << 6) | next(2));
            i += 3;
        } else {
            text += static_cast<char16_t>(0xDC00 + b);
            ++i;
        }
    }
    return text;
}

void Encode(std::u16string_view text, std::string& out) {
    for (char16_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::cerr << "usage: pieces_driver STEPS SPELLING classic|aware auto|german|english "
                     "en|de SEED\n";
        return 2;
    }
    melvane::TransposeSettings settings;
    settings.steps = std::atoi(argv[1]);
    settings.spelling = std::atoi(argv[2]);
    settings.recognition = std::string_view(argv[3]) == "classic"
                               ? melvane::Recognition::Classic
                               : melvane::Recognition::SheetAware;
    const std::string_view naming = argv[4];
    settings.naming = naming == "german"    ? melvane::NoteNaming::German
                      : naming == "english" ? melvane::NoteNaming::English
                                            : melvane::NoteNaming::Auto;
    settings.germanReader = std::string_view(argv[5]) == "de";
    std::mt19937 rng(static_cast<unsigned>(std::atoi(argv[6])));

    const std::string input(std::istreambuf_iterator<char>(std::cin), {});
    const std::u16string text = Decode(input);
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

    const melvane::NoteTable table = melvane::BuildNoteTables();
    melvane::SheetTransposer sheet(table, settings);
    for (std::u16string_view line : lines) {
        sheet.Learn(line);
    }
    std::string out;
    for (std::u16string_view line : lines) {
        // Cuts anywhere, empty pieces included; a few lines stay whole.
        std::vector<std::u16string_view> pieces;
        const std::size_t cuts = rng() % 4 == 0 ? 0 : 1 + rng() % 6;
        std::size_t at = 0;
        for (std::size_t c = 0; c < cuts; ++c) {
            const std::size_t cut =
                at + (line.size() - at == 0 ? 0 : rng() % (line.size() - at + 1));
            pieces.push_back(line.substr(at, cut - at));
            at = cut;
        }
        pieces.push_back(line.substr(at));
        const std::vector<std::u16string> moved = sheet.TransposeLine(pieces);
        for (std::size_t i = 0; i < moved.size(); ++i) {
            if (i > 0) {
                Encode(u"\u241F", out);
            }
            Encode(moved[i], out);
        }
        out += '\n';
    }
    std::cout << out;
    return 0;
}
