#include "cli/text_mode.h"

#include <algorithm>
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

// The whole of `in`. A file's size is asked first, so the text is read into place once.
std::string ReadAll(std::istream& in) {
    std::string input;
    std::streambuf* buffer = in.rdbuf();
    const auto size = buffer->pubseekoff(0, std::ios::end, std::ios::in);
    if (size > 0 && buffer->pubseekoff(0, std::ios::beg, std::ios::in) == 0) {
        input.reserve(static_cast<std::size_t>(size) + 1);
    }
    std::vector<char> block(1 << 16);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        input.append(block.data(), static_cast<std::size_t>(in.gcount()));
    }
    return input;
}

bool RunSheetAware(const NoteTable& table, std::istream& in, std::ostream& out,
                   const TransposeSettings& settings) {
    const std::string input = ReadAll(in);
    // Each line is decoded on its own, once per pass, into one buffer: a line feed never occurs
    // inside a UTF-8 sequence, and a decoded copy of the whole input would cost more in fresh
    // memory than decoding twice does.
    std::u16string line;
    const auto forEachLine = [&input, &line](auto&& use) {
        for (std::size_t start = 0; start <= input.size();) {
            const std::size_t end = std::min(input.find('\n', start), input.size());
            line.clear();
            AppendUtf8Lossless(line, std::string_view(input).substr(start, end - start));
            use(start, end);
            start = end + 1;
        }
    };

    SheetTransposer sheet(table, settings);
    forEachLine([&](std::size_t, std::size_t) { sheet.Learn(line); });

    // Unchanged lines go out as the very bytes that came in, written in runs.
    const auto write = [&out](std::string_view bytes) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    };
    std::size_t copied = 0;  // bytes of `input` already written or standing for it
    std::u16string moved;
    forEachLine([&](std::size_t start, std::size_t end) {
        moved.clear();
        if (sheet.TransposeLineInto(line, moved)) {
            write(std::string_view(input).substr(copied, start - copied));
            write(EncodeUtf8Lossless(moved));
            copied = end;
        }
    });
    write(std::string_view(input).substr(copied));
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
