#include "cli/text_mode.h"

#include <iterator>
#include <string>
#include <vector>

#include "chords/transpose.h"
#include "platform/utf.h"

namespace melvane::cli {
namespace {

void TransposeLine(const NoteTable& table, std::string_view line, std::ostream& out,
                   std::int64_t steps, int spelling) {
    // A line feed never occurs inside a UTF-8 sequence, so each line decodes on its own.
    const std::u16string text = DecodeUtf8Lossless(line);
    out << EncodeUtf8Lossless(TransposeText(table, text, steps, spelling));
}

bool RunClassic(const NoteTable& table, std::istream& in, std::ostream& out, std::int64_t steps,
                int spelling) {
    std::vector<char> buffer(1 << 16);
    std::string pending;  // an unfinished line carried over to the next read
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) {
            break;
        }
        std::string_view chunk(buffer.data(), got);
        for (std::size_t newline = chunk.find('\n'); newline != std::string_view::npos;
             newline = chunk.find('\n')) {
            if (pending.empty()) {
                TransposeLine(table, chunk.substr(0, newline + 1), out, steps, spelling);
            } else {
                pending.append(chunk.substr(0, newline + 1));
                TransposeLine(table, pending, out, steps, spelling);
                pending.clear();
            }
            chunk.remove_prefix(newline + 1);
        }
        pending.append(chunk);
    }
    if (!pending.empty()) {
        TransposeLine(table, pending, out, steps, spelling);
    }
    out.flush();
    return static_cast<bool>(out);
}

bool RunSheetAware(const NoteTable& table, std::istream& in, std::ostream& out,
                   const TransposeSettings& settings) {
    const std::string input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

    // Every line decoded once into one text; a line feed never occurs inside a UTF-8 sequence.
    struct Line {
        std::size_t byteStart, byteLength, textStart, textLength;
    };
    std::vector<Line> lines;
    std::u16string text;
    text.reserve(input.size());
    for (std::size_t start = 0; start <= input.size();) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos) {
            end = input.size();
        }
        const std::size_t textStart = text.size();
        AppendUtf8Lossless(text, std::string_view(input).substr(start, end - start));
        lines.push_back({start, end - start, textStart, text.size() - textStart});
        start = end + 1;
    }

    SheetTransposer sheet(table, settings);
    const std::u16string_view all = text;
    for (const Line& line : lines) {
        sheet.Learn(all.substr(line.textStart, line.textLength));
    }

    std::string result;
    result.reserve(input.size() + input.size() / 16);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        const std::u16string_view old = all.substr(line.textStart, line.textLength);
        const std::u16string moved = sheet.TransposeLine(old);
        if (moved == old) {
            // Unchanged lines go out as the very bytes that came in.
            result.append(input, line.byteStart, line.byteLength);
        } else {
            result += EncodeUtf8Lossless(moved);
        }
        if (line.byteStart + line.byteLength < input.size()) {
            result += '\n';
        }
    }
    out.write(result.data(), static_cast<std::streamsize>(result.size()));
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace

bool RunTextMode(const NoteTable& table, std::istream& in, std::ostream& out,
                 const TransposeSettings& settings) {
    if (settings.recognition == Recognition::Classic) {
        return RunClassic(table, in, out, settings.steps, settings.spelling);
    }
    return RunSheetAware(table, in, out, settings);
}

}  // namespace melvane::cli
